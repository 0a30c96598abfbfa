#include "TextPageSink.h"

#include "CharacterGridMetrics.h"
#include "ReportLayout.h"

namespace {

constexpr int Col = CharacterGridMetrics::ColumnTwips;
constexpr int Row = CharacterGridMetrics::RowTwips;

const QChar Horizontal = QLatin1Char('-');
const QChar Vertical = QLatin1Char('|');
const QChar Crossing = QLatin1Char('+');

} // namespace

TextPageSink::TextPageSink(QIODevice* device, const ReportLayout& gridLayout)
    : m_out(device), m_leftColumns(gridLayout.leftMargin() / Col),
      m_pageColumns(gridLayout.paperSize().width() / Col)
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
    m_rows.clear();
    return true;
}

QString& TextPageSink::row(int index)
{
    while (m_rows.size() <= index)
        m_rows.append(QString(m_pageColumns, QLatin1Char(' ')));
    return m_rows[index];
}

void TextPageSink::put(int rowIndex, int column, QChar c)
{
    if (rowIndex < 0 || column < 0)
        return;
    QString& r = row(rowIndex);
    if (r.size() <= column)
        r.append(QString(column + 1 - r.size(), QLatin1Char(' ')));
    r[column] = c;
}

// A line character; where a horizontal and a vertical line meet, "+".
void TextPageSink::putLine(int rowIndex, int column, QChar c)
{
    if (rowIndex < 0 || column < 0)
        return;
    QString& r = row(rowIndex);
    const QChar old = column < r.size() ? r.at(column) : QLatin1Char(' ');
    if ((old == Horizontal && c == Vertical) || (old == Vertical && c == Horizontal) ||
        old == Crossing)
        c = Crossing;
    put(rowIndex, column, c);
}

void TextPageSink::putText(int rowIndex, int column, int width, ReportAlignment alignment,
                           const QString& text)
{
    const QString shown = text.size() > width ? text.left(width) : text;
    const int spare = width - int(shown.size());
    int start = column;
    if (alignment == ReportAlignment::Right)
        start += spare;
    else if (alignment == ReportAlignment::Center)
        start += spare / 2;
    for (qsizetype i = 0; i < shown.size(); ++i)
        put(rowIndex, start + int(i), shown.at(i));
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
            const int r = (originY + item.top) / Row;
            for (int c = column; c <= column + e.width / Col; ++c)
                putLine(r, c, Horizontal);
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
    qsizetype last = m_rows.size();
    while (last > 0 && m_rows.at(last - 1).trimmed().isEmpty())
        --last;
    if (m_page > 1)
        m_out.append('\f');
    for (qsizetype i = 0; i < last; ++i) {
        QStringView r = m_rows.at(i);
        qsizetype end = r.size();
        while (end > 0 && r[end - 1] == QLatin1Char(' '))
            --end;
        m_out.append(r.first(end));
        m_out.append('\n');
    }
    m_rows.clear();
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
