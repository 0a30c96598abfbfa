#include "HtmlPageSink.h"

#include "ReportLayout.h"

#include <cstring>
#include <tuple>
#include <utility>

namespace {

// Twips as CSS points.
QString pt(int twips)
{
    return QString::number(twips / 20.0, 'f', twips % 20 == 0 ? 0 : 2) + QLatin1String("pt");
}

const char* alignmentName(ReportAlignment alignment)
{
    switch (alignment) {
    case ReportAlignment::Right:
        return "right";
    case ReportAlignment::Center:
        return "center";
    case ReportAlignment::Left:
        break;
    }
    return "left";
}

// Writes bytes at out, which has room for them; returns their end.
char* put(char* out, QByteArrayView bytes)
{
    std::memcpy(out, bytes.data(), size_t(bytes.size()));
    return out + bytes.size();
}

// Writes code units below 0x80, or UTF-8 bytes, escaped.
template <typename Unit>
char* putEscaped(char* out, const Unit* units, qsizetype size)
{
    for (qsizetype i = 0; i < size; ++i) {
        const auto c = units[i];
        switch (c) {
        case '&':
            out = put(out, "&amp;");
            break;
        case '<':
            out = put(out, "&lt;");
            break;
        case '>':
            out = put(out, "&gt;");
            break;
        case '"':
            out = put(out, "&quot;");
            break;
        case '\'':
            out = put(out, "&#39;");
            break;
        default:
            *out++ = char(c);
            break;
        }
    }
    return out;
}

// The most bytes a text takes escaped: three bytes of UTF-8 a code unit, each
// at most an entity of six.
qsizetype escapedRoom(QStringView text)
{
    return 18 * text.size();
}

const char* bandName(ReportBand::Kind kind)
{
    switch (kind) {
    case ReportBand::ReportHeader:
        return "report-header";
    case ReportBand::PageHeader:
        return "page-header";
    case ReportBand::Detail:
        break;
    case ReportBand::PageFooter:
        return "page-footer";
    case ReportBand::ReportFooter:
        return "report-footer";
    }
    return "detail";
}

} // namespace

HtmlPageSink::HtmlPageSink(QIODevice* device, const ReportLayout& layout)
    : m_layout(layout), m_plan(layout), m_out(device)
{
}

QString HtmlPageSink::escaped(QStringView text)
{
    QByteArray out;
    appendEscaped(out, text);
    return QString::fromUtf8(out);
}

void HtmlPageSink::appendEscaped(QByteArray& out, QStringView text)
{
    const qsizetype at = out.size();
    out.resize(at + escapedRoom(text));
    out.resize(writeEscaped(out.data() + at, text) - out.constData());
}

char* HtmlPageSink::writeEscaped(char* out, QStringView text)
{
    // ASCII is written as it is read; other text as UTF-8 first (the
    // characters escaped are ASCII, so escaping the bytes is the same).
    const char16_t* units = text.utf16();
    const qsizetype n = text.size();
    char16_t all = 0;
    bool special = false;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = units[i];
        all |= c;
        special |= (c == u'&') | (c == u'<') | (c == u'>') | (c == u'"') | (c == u'\'');
    }
    if (all < 0x80 && !special) {
        for (qsizetype i = 0; i < n; ++i)
            out[i] = char(units[i]);
        return out + n;
    }
    if (all < 0x80)
        return putEscaped(out, units, n);
    const QByteArray utf8 = text.toUtf8();
    return putEscaped(out, reinterpret_cast<const uchar*>(utf8.constData()), utf8.size());
}

bool HtmlPageSink::beginDocument(int)
{
    // The language of the captions; values in other scripts set their own
    // direction (dir="auto" on every text cell).
    QString lang = m_layout.locale().bcp47Name();
    if (lang.isEmpty() || lang == QLatin1String("C"))
        lang = QStringLiteral("en");
    m_out.append(QStringLiteral("<!DOCTYPE html>\n<html lang=\"%1\">\n<head>\n"
                                "<meta charset=\"utf-8\">\n")
                     .arg(escaped(lang)));
    m_out.append(QStringLiteral("<title>%1</title>\n").arg(escaped(m_layout.title())));
    writeStyleSheet();
    m_out.append(QLatin1String("</head>\n<body>\n"));
    return flush(false);
}

void HtmlPageSink::writeStyleSheet()
{
    const int width = m_plan.tableWidth();
    const QString rule = QStringLiteral("1px solid #000");
    QString css;
    css += QStringLiteral("body{margin:0;padding:12pt;background:#e8e8e8;color:#000;"
                          "font-family:Arial,'Liberation Sans',Helvetica,sans-serif}\n");
    css += QStringLiteral(".page{background:#fff;margin:0 auto 12pt auto;width:%1;"
                          "padding:%2 %3 %4 %5;box-shadow:0 1px 4px #999}\n")
               .arg(pt(width), pt(m_layout.topMargin()), pt(m_layout.rightMargin()),
                    pt(m_layout.bottomMargin()), pt(m_layout.leftMargin()));
    css += QStringLiteral("table{border-collapse:collapse;table-layout:fixed;width:%1}\n")
               .arg(pt(width));
    // Cells wrap where a client's font is wider than Arial rather than cut.
    css += QStringLiteral("td{padding:0 1.5pt;vertical-align:top;white-space:pre-wrap;"
                          "overflow-wrap:anywhere;font-size:8.25pt;line-height:1.15}\n");
    css += QStringLiteral(".bt{border-top:%1}.bb{border-bottom:%1}.bl{border-left:%1}"
                          ".br{border-right:%1}\n")
               .arg(rule);
    const QList<HtmlTablePlan::Style>& styles = m_plan.styles();
    for (qsizetype i = 0; i < styles.size(); ++i) {
        const HtmlTablePlan::Style& s = styles.at(i);
        css += QStringLiteral(".s%1{font-size:%2pt;font-weight:%3;text-align:%4}\n")
                   .arg(i)
                   .arg(s.font.pointSize)
                   .arg(QLatin1String(s.font.bold ? "bold" : "normal"),
                        QLatin1String(alignmentName(s.alignment)));
    }
    css += QStringLiteral("@media print{body{padding:0;background:none}"
                          ".page{box-shadow:none;margin:0;break-after:page}}\n");
    m_out.append(QLatin1String("<style>\n"));
    m_out.append(css);
    m_out.append(QLatin1String("</style>\n"));
}

bool HtmlPageSink::beginPage(int page)
{
    // What the page needs to read right is inline too: mail clients often
    // drop the style sheet.
    if (m_pageTable.isEmpty()) {
        QString table = QStringLiteral("<table style=\"border-collapse:collapse;table-layout:fixed;"
                                       "width:%1;font-family:Arial,sans-serif\">\n<colgroup>")
                            .arg(pt(m_plan.tableWidth()));
        for (int w : m_plan.columnWidths())
            table += QStringLiteral("<col style=\"width:%1\">").arg(pt(w));
        table += QLatin1String("</colgroup>\n");
        m_pageTable = table.toUtf8();
    }
    m_out.append(QLatin1StringView("<div class=\"page\" id=\"page"));
    m_out.appendUtf8(QByteArray::number(page));
    m_out.append(QLatin1StringView("\">\n"));
    m_out.appendUtf8(m_pageTable);
    return flush(false);
}

const QList<HtmlPageSink::RowTags>& HtmlPageSink::rowTags(ReportBand::Kind kind)
{
    const auto slot = static_cast<std::size_t>(kind);
    if (m_haveRowTags[slot])
        return m_rowTags[slot];
    QList<RowTags>& tags = m_rowTags[slot];
    for (const HtmlTablePlan::Row& row : m_plan.rows(kind)) {
        RowTags rowTags;
        rowTags.open = QStringLiteral("<tr style=\"height:%1;vertical-align:top\">")
                           .arg(pt(row.height))
                           .toUtf8();
        for (const HtmlTablePlan::Cell& cell : row.cells) {
            QString classes;
            QString style;
            if (!cell.elements.isEmpty()) {
                const int index = m_plan.styleOf(kind, cell.elements.first());
                const HtmlTablePlan::Style& s = m_plan.styles().at(index);
                classes += QLatin1Char('s') + QString::number(index);
                style += QStringLiteral("font-size:%1pt").arg(s.font.pointSize);
                if (s.font.bold)
                    style += QLatin1String(";font-weight:bold");
                if (s.alignment != ReportAlignment::Left)
                    style += QStringLiteral(";text-align:%1")
                                 .arg(QLatin1String(alignmentName(s.alignment)));
            }
            for (auto [flag, name, side] :
                 {std::tuple{cell.top, "bt", "top"}, std::tuple{cell.bottom, "bb", "bottom"},
                  std::tuple{cell.left, "bl", "left"}, std::tuple{cell.right, "br", "right"}}) {
                if (!flag)
                    continue;
                if (!classes.isEmpty())
                    classes += QLatin1Char(' ');
                classes += QLatin1String(name);
                if (!style.isEmpty())
                    style += QLatin1Char(';');
                style += QStringLiteral("border-%1:1px solid #000").arg(QLatin1String(side));
            }
            QString open = QStringLiteral("<td");
            if (cell.span > 1)
                open += QStringLiteral(" colspan=\"%1\"").arg(cell.span);
            if (!classes.isEmpty())
                open += QStringLiteral(" class=\"%1\"").arg(classes);
            if (!style.isEmpty())
                open += QStringLiteral(" style=\"%1\"").arg(style);
            if (!cell.elements.isEmpty())
                open += QLatin1String(" dir=\"auto\"");
            open += QLatin1Char('>');
            rowTags.cells.append(open.toUtf8());
        }
        tags.append(rowTags);
    }
    m_haveRowTags[slot] = true;
    return tags;
}

bool HtmlPageSink::drawBand(const LaidOutBand& band, int, int sliceTop, int sliceBottom)
{
    if (!bandMarkup(band, sliceTop, sliceBottom))
        return true;
    m_out.appendUtf8(m_html);
    return flush(false);
}

QList<ReportPageSink::StandIn> HtmlPageSink::takeStandIns()
{
    return std::exchange(m_standIns, {});
}

QByteArray HtmlPageSink::drawnAlone(const LaidOutBand& band, int, int sliceTop, int sliceBottom,
                                    const StandIn&)
{
    return bandMarkup(band, sliceTop, sliceBottom) ? m_html : QByteArray();
}

bool HtmlPageSink::bandMarkup(const LaidOutBand& band, int sliceTop, int sliceBottom)
{
    const ReportBand::Kind kind = band.band->kind;
    const QList<HtmlTablePlan::Row>& rows = m_plan.rows(kind);
    if (rows.isEmpty())
        return false;
    const QList<RowTags>& tags = rowTags(kind);
    const bool whole = sliceTop <= 0 && sliceBottom >= band.height;

    // Room for the whole band: its fixed markup and every line escaped.
    qsizetype room = 64;
    for (const RowTags& row : tags) {
        room += row.open.size() + 8;
        for (const QByteArray& cell : row.cells)
            room += cell.size() + 8;
    }
    for (const LaidOutElement& item : band.elements) {
        for (const QString& line : item.lines)
            room += escapedRoom(line) + 4;
    }
    QByteArray& html = m_html;
    html.resize(room);
    char* out = html.data();
    // One marker per row: the rest of a row split over two pages has none.
    if (kind == ReportBand::Detail && sliceTop <= 0) {
        out = put(out, "<tbody class=\"report-row\">\n");
    } else if (kind == ReportBand::Detail) {
        out = put(out, "<tbody data-band=\"detail-continued\">\n");
    } else {
        out = put(out, "<tbody data-band=\"");
        out = put(out, bandName(kind));
        out = put(out, "\">\n");
    }
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const HtmlTablePlan::Row& row = rows.at(r);
        // A band split over pages: each part shows the text lines that fall
        // in it; a row that shows nothing is taken back.
        char* const rowStart = out;
        out = put(out, tags.at(r).open);
        bool shown = whole;
        bool hasText = false;
        for (qsizetype c = 0; c < row.cells.size(); ++c) {
            const HtmlTablePlan::Cell& cell = row.cells.at(c);
            out = put(out, tags.at(r).cells.at(c));
            bool firstLine = true;
            hasText = hasText || !cell.elements.isEmpty();
            for (int index : cell.elements) {
                const LaidOutElement& item = band.elements.at(index);
                for (int i = 0; i < item.lines.size(); ++i) {
                    const int top = item.lineTop(i);
                    if (!whole && (top < sliceTop || top >= sliceBottom))
                        continue;
                    shown = true;
                    if (!firstLine)
                        out = put(out, "<br>");
                    out = writeEscaped(out, item.lines.at(i));
                    firstLine = false;
                }
            }
            out = put(out, "</td>");
        }
        if (!shown && !hasText)
            shown = row.top >= sliceTop && row.top < sliceBottom;
        if (!shown) {
            out = rowStart;
            continue;
        }
        out = put(out, "</tr>\n");
    }
    out = put(out, "</tbody>\n");
    html.resize(out - html.constData());
    return true;
}

bool HtmlPageSink::endPage()
{
    m_out.append(QLatin1String("</table>\n</div>\n"));
    return flush(false);
}

bool HtmlPageSink::endDocument()
{
    m_out.append(QLatin1String("</body>\n</html>\n"));
    return flush(true);
}

bool HtmlPageSink::flush(bool force)
{
    if (m_out.flush(force))
        return true;
    return fail(m_out.error().number, m_out.error().description);
}
