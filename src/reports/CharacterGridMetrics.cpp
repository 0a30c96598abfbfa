#include "CharacterGridMetrics.h"

#include <algorithm>

namespace {

constexpr int Row = CharacterGridMetrics::RowTwips;
constexpr int Col = CharacterGridMetrics::ColumnTwips;

// Code points that take two columns (East Asian wide and fullwidth
// characters, emoji presentation), first and last of each range, sorted.
constexpr char32_t WideRanges[][2] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},
    {0x23F0, 0x23F0},   {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},
    {0x2648, 0x2653},   {0x267F, 0x267F},   {0x2693, 0x2693},   {0x26A1, 0x26A1},
    {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},   {0x26CE, 0x26CE},
    {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},
    {0x2728, 0x2728},   {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},
    {0x2757, 0x2757},   {0x2795, 0x2797},   {0x27B0, 0x27B0},   {0x27BF, 0x27BF},
    {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},   {0x2E80, 0x303E},
    {0x3041, 0x33FF},   {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},
    {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},
    {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE4},
    {0x17000, 0x18CFF}, {0x1B000, 0x1B2FF}, {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF},
    {0x1F18E, 0x1F18E}, {0x1F191, 0x1F19A}, {0x1F200, 0x1F202}, {0x1F210, 0x1F23B},
    {0x1F240, 0x1F248}, {0x1F250, 0x1F251}, {0x1F260, 0x1F265}, {0x1F300, 0x1F320},
    {0x1F32D, 0x1F335}, {0x1F337, 0x1F37C}, {0x1F37E, 0x1F393}, {0x1F3A0, 0x1F3CA},
    {0x1F3CF, 0x1F3D3}, {0x1F3E0, 0x1F3F0}, {0x1F3F4, 0x1F3F4}, {0x1F3F8, 0x1F43E},
    {0x1F440, 0x1F440}, {0x1F442, 0x1F4FC}, {0x1F4FF, 0x1F53D}, {0x1F54B, 0x1F54E},
    {0x1F550, 0x1F567}, {0x1F57A, 0x1F57A}, {0x1F595, 0x1F596}, {0x1F5A4, 0x1F5A4},
    {0x1F5FB, 0x1F64F}, {0x1F680, 0x1F6C5}, {0x1F6CC, 0x1F6CC}, {0x1F6D0, 0x1F6D2},
    {0x1F6D5, 0x1F6D7}, {0x1F6DC, 0x1F6DF}, {0x1F6EB, 0x1F6EC}, {0x1F6F4, 0x1F6FC},
    {0x1F7E0, 0x1F7EB}, {0x1F7F0, 0x1F7F0}, {0x1F90C, 0x1F93A}, {0x1F93C, 0x1F945},
    {0x1F947, 0x1F9FF}, {0x1FA70, 0x1FAFF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

int roundTo(int value, int step)
{
    return (value + step / 2) / step * step;
}

// Row numbers of one band: text at design position y sits in slot y / 240;
// every slot that holds a horizontal line gets an extra row for it, above the
// text of that slot.
class BandRows
{
public:
    explicit BandRows(const ReportBand& band)
    {
        for (const ReportElement& e : band.elements) {
            if (e.kind == ReportElementKind::HorizontalLine)
                m_lineSlots.append(slot(e.top));
        }
        std::sort(m_lineSlots.begin(), m_lineSlots.end());
        m_lineSlots.erase(std::unique(m_lineSlots.begin(), m_lineSlots.end()), m_lineSlots.end());
    }

    int textRow(int y) const { return slot(y) + linesUpTo(slot(y) + 1); }
    int lineRow(int y) const { return slot(y) + linesUpTo(slot(y)); }
    // The first row after everything that ends at y.
    int endRow(int y) const
    {
        const int s = slot(y);
        return s + linesUpTo(s) + (m_lineSlots.contains(s) ? 1 : 0);
    }

private:
    static int slot(int y) { return std::max(0, y) / Row; }
    // Line rows in the slots before s.
    int linesUpTo(int s) const
    {
        return int(std::lower_bound(m_lineSlots.begin(), m_lineSlots.end(), s) -
                   m_lineSlots.begin());
    }

    QList<int> m_lineSlots;
};

void snapBand(ReportBand& band)
{
    const BandRows rows(band);
    const QList<ReportElement> design = band.elements;

    int endRow = rows.endRow(band.height);
    for (ReportElement& e : band.elements) {
        switch (e.kind) {
        case ReportElementKind::HorizontalLine: {
            const int c1 = CharacterGridMetrics::column(e.left);
            const int c2 = CharacterGridMetrics::column(e.right());
            e.top = rows.lineRow(e.top) * Row;
            e.left = c1 * Col;
            e.width = std::max(0, c2 - c1) * Col;
            e.height = 0;
            endRow = std::max(endRow, e.top / Row + 1);
            break;
        }
        case ReportElementKind::VerticalLine: {
            const int first = rows.lineRow(e.top);
            const int end = std::max(first + 1, rows.endRow(e.bottom()));
            e.left = CharacterGridMetrics::column(e.left) * Col;
            e.width = 0;
            e.top = first * Row;
            e.height = (end - first) * Row;
            endRow = std::max(endRow, end);
            break;
        }
        case ReportElementKind::Label:
        case ReportElementKind::Field: {
            const int row = rows.textRow(e.top);
            const int rowCount = std::max(1, (e.height + Row / 2) / Row);
            int c1 = CharacterGridMetrics::column(e.left);
            int c2 = CharacterGridMetrics::column(e.right());
            // Keep clear of a vertical line drawn in the first or last column.
            for (const ReportElement& line : design) {
                if (line.kind != ReportElementKind::VerticalLine)
                    continue;
                const int lineFirst = rows.lineRow(line.top);
                const int lineEnd = rows.endRow(line.bottom());
                if (lineEnd <= row || lineFirst >= row + rowCount)
                    continue;
                const int lineColumn = CharacterGridMetrics::column(line.left);
                if (lineColumn == c1)
                    ++c1;
                if (lineColumn == c2 - 1)
                    --c2;
            }
            e.left = c1 * Col;
            e.width = std::max(1, c2 - c1) * Col;
            e.top = row * Row;
            e.height = rowCount * Row;
            endRow = std::max(endRow, row + rowCount);
            break;
        }
        }
    }
    band.height = endRow * Row;
}

} // namespace

int CharacterGridMetrics::columns(char32_t c)
{
    if (c < 0x0300)
        return 1;
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_Enclosing:
        return 0;
    case QChar::Other_Format: // joiners, direction marks
        return c == 0x00AD ? 1 : 0;
    default:
        break;
    }
    if (c >= 0x1160 && c <= 0x11FF)
        return 0; // vowels and finals of a Hangul syllable spelt in jamo
    const auto* end = std::end(WideRanges);
    const auto* range = std::lower_bound(
        std::begin(WideRanges), end, c, [](const char32_t(&r)[2], char32_t v) { return r[1] < v; });
    return range != end && c >= (*range)[0] ? 2 : 1;
}

ReportLayout CharacterGridMetrics::snapLayout(const ReportLayout& layout)
{
    ReportLayout grid = layout;
    grid.setLeftMargin(roundTo(layout.leftMargin(), Col));
    grid.setRightMargin(roundTo(layout.rightMargin(), Col));
    grid.setTopMargin(roundTo(layout.topMargin(), Row));
    grid.setBottomMargin(roundTo(layout.bottomMargin(), Row));
    grid.setPaperSize(
        QSize(layout.paperSize().width() / Col * Col, layout.paperSize().height() / Row * Row));
    for (int kind = 0; kind < ReportBand::KindCount; ++kind)
        snapBand(grid.band(ReportBand::Kind(kind)));
    return grid;
}
