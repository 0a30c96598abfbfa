#include "TextPageSink.h"

#include "CharacterGridMetrics.h"
#include "ReportLayout.h"

#include <QBuffer>
#include <QVarLengthArray>
#include <algorithm>
#include <cstring>
#include <utility>

namespace {

constexpr int Col = CharacterGridMetrics::ColumnTwips;
constexpr int Row = CharacterGridMetrics::RowTwips;

constexpr char16_t Blank = u' ';
constexpr char16_t Horizontal = u'-';
constexpr char16_t Vertical = u'|';
constexpr char16_t Crossing = u'+';
// The second cell of a wide character: written out as nothing.
constexpr char16_t Continuation = 0xFFFF;

} // namespace

TextPageSink::TextPageSink(QIODevice* device, const ReportLayout& gridLayout)
    : TextPageSink(device, gridLayout.leftMargin() / Col,
                   std::max(gridLayout.paperSize().width() / Col,
                            gridLayout.leftMargin() / Col + gridLayout.designWidth() / Col + 1))
{
}

TextPageSink::TextPageSink(QIODevice* device, int leftColumns, int width)
    : m_out(device), m_leftColumns(leftColumns), m_width(width)
{
}

bool TextPageSink::beginDocument(int)
{
    m_page = 0;
    return true;
}

bool TextPageSink::beginPage(int page)
{
    m_page = page;
    m_rowCount = 0;
    m_extra.clear();
    m_hasWide = false;
    return true;
}

// New rows up to index, none of their cells set.
void TextPageSink::addRows(int index)
{
    if (index < m_rowCount)
        return;
    const qsizetype needed = qsizetype(index + 1) * m_width;
    if (m_cells.size() < needed)
        m_cells.resize(needed);
    m_blank.resize(index + 1);
    m_reach.resize(index + 1);
    std::fill(m_blank.begin() + m_rowCount, m_blank.end(), 0);
    std::fill(m_reach.begin() + m_rowCount, m_reach.end(), 0);
    m_rowCount = index + 1;
}

// A row's cells are set blank all at once when it is first used, so that
// later writes find them set; nullptr for a row above the page.
char16_t* TextPageSink::fillRow(int index, int columns)
{
    if (index < 0)
        return nullptr;
    addRows(index);
    char16_t* cells = m_cells.data() + qsizetype(index) * m_width;
    if (!m_blank[index]) {
        if (m_blanks.size() < m_width)
            m_blanks.fill(Blank, m_width);
        std::memcpy(cells, m_blanks.constData(), m_width * sizeof(char16_t));
        m_blank[index] = 1;
    }
    int& reach = m_reach[index];
    reach = std::max(reach, std::min(columns, m_width));
    return cells;
}

// A line character; where a horizontal and a vertical line meet, "+".
void TextPageSink::putLine(int rowIndex, int column, char16_t c)
{
    char16_t* cells = row(rowIndex, m_hasWide ? m_width : column + 1);
    if (!cells || column < 0 || column >= m_width)
        return;
    const char16_t old = cells[column];
    if ((old == Horizontal && c == Vertical) || (old == Vertical && c == Horizontal) ||
        old == Crossing)
        c = Crossing;
    if (m_hasWide)
        setCell(cells, column, c);
    else
        cells[column] = c;
}

// Writes one cell; a wide character it cuts in half leaves a blank.
void TextPageSink::setCell(char16_t* cells, int column, char16_t c)
{
    const qsizetype index = (cells - m_cells.constData()) + column;
    if (!m_extra.isEmpty())
        m_extra.remove(index);
    if (cells[column] == Continuation && column > 0 && c != Continuation) {
        cells[column - 1] = Blank;
        m_extra.remove(index - 1);
    }
    if (column + 1 < m_width && cells[column + 1] == Continuation)
        cells[column + 1] = Blank;
    cells[column] = c;
}

void TextPageSink::putText(int rowIndex, int column, int width, ReportAlignment alignment,
                           const QString& text)
{
    // Most texts are one column a code unit on a page without wide characters.
    const char16_t* units = reinterpret_cast<const char16_t*>(text.constData());
    char16_t wide = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        wide |= units[i] >= 0x0300 ? 1 : 0;
    if (!m_hasWide && !wide) {
        const int length = int(std::min<qsizetype>(text.size(), width));
        const int spare = width - length;
        int start = column;
        if (alignment == ReportAlignment::Right)
            start += spare;
        else if (alignment == ReportAlignment::Center)
            start += spare / 2;
        char16_t* cells = row(rowIndex, start + length);
        if (!cells)
            return;
        // The part of the text inside the row.
        const int from = std::max(0, -start);
        const int to = std::min(length, m_width - start);
        if (to > from)
            std::memcpy(cells + start + from, units + from, (to - from) * sizeof(char16_t));
        return;
    }
    char16_t* cells = row(rowIndex, m_width);
    if (!cells)
        return;
    m_hasWide = true;
    // The characters that fit, as code points with their columns.
    struct Glyph
    {
        qsizetype from;
        int units;
        int columns;
    };
    QVarLengthArray<Glyph, 64> glyphs;
    int used = 0;
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text[i];
        const bool pair =
            c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        const char32_t code = pair ? QChar::surrogateToUcs4(c, text[i + 1]) : c.unicode();
        const int columns = CharacterGridMetrics::columns(code);
        if (used + columns > width)
            break;
        glyphs.append({i, pair ? 2 : 1, columns});
        used += columns;
        i += pair ? 2 : 1;
    }
    const int spare = width - used;
    int start = column;
    if (alignment == ReportAlignment::Right)
        start += spare;
    else if (alignment == ReportAlignment::Center)
        start += spare / 2;
    const qsizetype rowStart = cells - m_cells.constData();
    int c = start;
    for (const Glyph& g : glyphs) {
        const QStringView units = QStringView(text).sliced(g.from, g.units);
        if (g.columns == 0) {
            // A combining mark or joiner goes with the cell before it.
            if (c > 0 && c <= m_width)
                m_extra[rowStart + c - 1] += units;
            continue;
        }
        if (c < 0 || c + g.columns > m_width)
            break;
        char16_t first = units[0].unicode();
        if (first == Continuation)
            first = QChar::ReplacementCharacter;
        setCell(cells, c, first);
        if (g.units > 1)
            m_extra[rowStart + c] = units.sliced(1).toString();
        if (g.columns == 2)
            setCell(cells, c + 1, Continuation);
        c += g.columns;
    }
}

bool TextPageSink::drawBand(const LaidOutBand& band, int originY, int sliceTop, int sliceBottom)
{
    if (m_inStandIn)
        m_standInRows.append({std::max(0, (originY + sliceTop) / Row),
                              std::max(0, (originY + sliceBottom - 1) / Row + 1)});
    // Lines first: text that meets a line stays readable.
    for (const LaidOutElement& item : band.elements) {
        const ReportElement& e = *item.element;
        const int column = m_leftColumns + e.left / Col;
        if (e.kind == ReportElementKind::HorizontalLine) {
            if (item.top < sliceTop || item.top >= sliceBottom)
                continue;
            const int end = std::min(column + e.width / Col, m_width - 1);
            char16_t* cells = row((originY + item.top) / Row, m_hasWide ? m_width : end + 1);
            for (int c = std::max(column, 0); cells && c <= end; ++c) {
                const char16_t line =
                    cells[c] == Vertical || cells[c] == Crossing ? Crossing : Horizontal;
                if (m_hasWide)
                    setCell(cells, c, line);
                else
                    cells[c] = line;
            }
        } else if (e.kind == ReportElementKind::VerticalLine) {
            const int from = std::max(item.top, sliceTop);
            const int to = std::min(item.bottom(), sliceBottom);
            for (int y = from; y < to; y += Row)
                putLine((originY + y) / Row, column, Vertical);
        }
    }
    for (const LaidOutElement& item : band.elements) {
        const ReportElement& e = *item.element;
        if (!e.isText())
            continue;
        const int column = m_leftColumns + e.left / Col;
        for (int i = 0; i < item.lines.size(); ++i) {
            const int top = item.lineTop(i);
            if (top < sliceTop || top >= sliceBottom)
                continue;
            putText((originY + top) / Row, column, e.width / Col, e.alignment, item.lines.at(i));
        }
    }
    return true;
}

int TextPageSink::rowLength(int rowIndex) const
{
    if (rowIndex >= m_rowCount)
        return 0;
    const char16_t* cells = m_cells.constData() + qsizetype(rowIndex) * m_width;
    int end = m_reach[rowIndex];
    while (end > 0 && cells[end - 1] == Blank)
        --end;
    return end;
}

void TextPageSink::writeRows(int count, qint64* rowStarts)
{
    if (!m_hasWide) {
        // The rows in one go, into room for three bytes a cell and a line end.
        const qint64 base = m_out.position();
        char* const start = m_out.claim(qsizetype(count) * (3 * qsizetype(m_width) + 1));
        char* out = start;
        for (int r = 0; r < count; ++r) {
            if (rowStarts)
                rowStarts[r] = base + (out - start);
            const char16_t* cells = m_cells.constData() + qsizetype(r) * m_width;
            out = ReportStreamWriter::putUtf8(out, QStringView(cells, rowLength(r)));
            *out++ = '\n';
        }
        if (rowStarts)
            rowStarts[count] = base + (out - start);
        m_out.release(out);
        return;
    }
    for (int r = 0; r < count; ++r) {
        if (rowStarts)
            rowStarts[r] = m_out.position();
        const qsizetype rowStart = qsizetype(r) * m_width;
        const char16_t* cells = m_cells.constData() + rowStart;
        const int length = rowLength(r);
        // Whole, so that a surrogate pair split over a cell and its extra
        // reaches the encoder in one piece.
        QString line;
        for (int c = 0; c < length; ++c) {
            if (cells[c] != Continuation)
                line += QChar(cells[c]);
            const auto extra = m_extra.constFind(rowStart + c);
            if (extra != m_extra.constEnd())
                line += *extra;
        }
        m_out.append(line);
        m_out.append('\n');
    }
    if (rowStarts)
        rowStarts[count] = m_out.position();
}

bool TextPageSink::endPage()
{
    // Trailing blanks of each line and blank lines at the page's end are dropped.
    int last = m_rowCount;
    while (last > 0 && rowLength(last - 1) == 0)
        --last;
    if (m_page > 1)
        m_out.append('\f');
    if (m_standInRows.isEmpty()) {
        writeRows(last, nullptr);
    } else {
        QVarLengthArray<qint64, 128> rowStarts(last + 1);
        writeRows(last, rowStarts.data());
        for (const StandInRows& rows : std::as_const(m_standInRows)) {
            const int first = std::min(rows.first, last);
            const int end = std::max(first, std::min(rows.end, last));
            m_standIns.append({rowStarts[first], rowStarts[end] - rowStarts[first], end - first});
        }
        m_standInRows.clear();
    }
    m_rowCount = 0;
    m_extra.clear();
    m_hasWide = false;
    return flush(false);
}

QList<ReportPageSink::StandIn> TextPageSink::takeStandIns()
{
    return std::exchange(m_standIns, {});
}

QByteArray TextPageSink::drawnAlone(const LaidOutBand& band, int originY, int sliceTop,
                                    int sliceBottom, const StandIn& standIn)
{
    // One sink on one buffer for every stand-in.
    if (!m_alone) {
        m_aloneBuffer = std::make_unique<QBuffer>();
        m_aloneBuffer->open(QIODevice::WriteOnly);
        m_alone.reset(new TextPageSink(m_aloneBuffer.get(), m_leftColumns, m_width));
    }
    m_aloneBuffer->buffer().resize(0);
    m_aloneBuffer->seek(0);
    TextPageSink& alone = *m_alone;
    alone.beginPage(1);
    const int first = std::max(0, (originY + sliceTop) / Row);
    alone.drawBand(band, originY - first * Row, sliceTop, sliceBottom);
    if (standIn.rows > 0)
        alone.addRows(standIn.rows - 1);
    alone.writeRows(standIn.rows, nullptr);
    alone.flush(true);
    return m_aloneBuffer->data();
}

bool TextPageSink::endDocument()
{
    return flush(true);
}

bool TextPageSink::flush(bool force)
{
    if (m_out.flush(force))
        return true;
    return fail(m_out.error().number, m_out.error().description);
}
