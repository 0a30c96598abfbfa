#include "CharacterGridMetrics.h"

#include <algorithm>

namespace {

constexpr int Row = CharacterGridMetrics::RowTwips;
constexpr int Col = CharacterGridMetrics::ColumnTwips;

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
