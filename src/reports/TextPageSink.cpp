#include "TextPageSink.h"

#include "CharacterGridMetrics.h"
#include "ReportLayout.h"

namespace {

constexpr int Col = CharacterGridMetrics::ColumnTwips;
constexpr int Row = CharacterGridMetrics::RowTwips;

constexpr char16_t Blank = u' ';
constexpr char16_t Horizontal = u'-';
constexpr char16_t Vertical = u'|';
constexpr char16_t Crossing = u'+';

} // namespace

TextPageSink::TextPageSink(QIODevice* device, const ReportLayout& gridLayout)
    : m_out(device), m_leftColumns(gridLayout.leftMargin() / Col),
      m_width(std::max(gridLayout.paperSize().width() / Col,
                       m_leftColumns + gridLayout.designWidth() / Col + 1))
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
    return true;
}

// The cells of a new row, blank until written; nullptr for a row above the page.
char16_t* TextPageSink::addRows(int index)
{
    if (index < 0)
        return nullptr;
    if (index >= m_rowCount) {
        const qsizetype needed = qsizetype(index + 1) * m_width;
        if (m_cells.size() < needed)
            m_cells.resize(needed);
        std::fill(m_cells.begin() + qsizetype(m_rowCount) * m_width, m_cells.begin() + needed,
                  Blank);
        m_rowCount = index + 1;
    }
    return m_cells.data() + qsizetype(index) * m_width;
}

// A line character; where a horizontal and a vertical line meet, "+".
void TextPageSink::putLine(int rowIndex, int column, char16_t c)
{
    char16_t* cells = row(rowIndex);
    if (!cells || column < 0 || column >= m_width)
        return;
    const char16_t old = cells[column];
    if ((old == Horizontal && c == Vertical) || (old == Vertical && c == Horizontal) ||
        old == Crossing)
        c = Crossing;
    cells[column] = c;
}

void TextPageSink::putText(int rowIndex, int column, int width, ReportAlignment alignment,
                           const QString& text)
{
    char16_t* cells = row(rowIndex);
    if (!cells)
        return;
    const int length = int(std::min<qsizetype>(text.size(), width));
    const int spare = width - length;
    int start = column;
    if (alignment == ReportAlignment::Right)
        start += spare;
    else if (alignment == ReportAlignment::Center)
        start += spare / 2;
    const char16_t* source = reinterpret_cast<const char16_t*>(text.constData());
    for (int i = 0; i < length; ++i) {
        const int c = start + i;
        if (c >= 0 && c < m_width)
            cells[c] = source[i];
    }
}

bool TextPageSink::drawBand(const LaidOutBand& band, int originY, int sliceTop, int sliceBottom)
{
    // Lines first: text that meets a line stays readable.
    for (const LaidOutElement& item : band.elements) {
        const ReportElement& e = *item.element;
        const int column = m_leftColumns + e.left / Col;
        if (e.kind == ReportElementKind::HorizontalLine) {
            if (item.top < sliceTop || item.top >= sliceBottom)
                continue;
            char16_t* cells = row((originY + item.top) / Row);
            const int end = std::min(column + e.width / Col, m_width - 1);
            for (int c = std::max(column, 0); cells && c <= end; ++c)
                cells[c] = cells[c] == Vertical || cells[c] == Crossing ? Crossing : Horizontal;
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

bool TextPageSink::endPage()
{
    // Trailing blanks of each line and blank lines at the page's end are dropped.
    int last = m_rowCount;
    auto lengthOf = [&](int r) {
        const char16_t* cells = m_cells.constData() + qsizetype(r) * m_width;
        int end = m_width;
        while (end > 0 && cells[end - 1] == Blank)
            --end;
        return end;
    };
    while (last > 0 && lengthOf(last - 1) == 0)
        --last;
    if (m_page > 1)
        m_out.append('\f');
    for (int r = 0; r < last; ++r) {
        m_out.append(QStringView(m_cells.constData() + qsizetype(r) * m_width, lengthOf(r)));
        m_out.append('\n');
    }
    m_rowCount = 0;
    return flush(false);
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
