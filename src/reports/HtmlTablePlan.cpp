#include "HtmlTablePlan.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Edges closer than this are one column edge; tops closer than a half line
// are one row.
constexpr int EdgeTolerance = 60;
constexpr int RowTolerance = 120;

} // namespace

HtmlTablePlan::HtmlTablePlan(const ReportLayout& layout)
{
    QList<int> edges{0};
    for (int kind = 0; kind < ReportBand::KindCount; ++kind) {
        for (const ReportElement& e : layout.band(ReportBand::Kind(kind)).elements) {
            edges.append(e.left);
            if (e.kind != ReportElementKind::VerticalLine)
                edges.append(e.right());
        }
    }
    std::sort(edges.begin(), edges.end());
    for (int edge : edges) {
        if (m_edges.isEmpty() || edge - m_edges.last() >= EdgeTolerance)
            m_edges.append(edge);
    }
    for (qsizetype i = 1; i < m_edges.size(); ++i)
        m_widths.append(m_edges.at(i) - m_edges.at(i - 1));

    for (int kind = 0; kind < ReportBand::KindCount; ++kind)
        planBand(layout.band(ReportBand::Kind(kind)));
}

int HtmlTablePlan::tableWidth() const
{
    return m_edges.isEmpty() ? 0 : m_edges.last() - m_edges.first();
}

// The index of the column edge nearest to x.
int HtmlTablePlan::columnAt(int x) const
{
    const auto it = std::lower_bound(m_edges.begin(), m_edges.end(), x);
    if (it == m_edges.end())
        return int(m_edges.size()) - 1;
    const int after = int(it - m_edges.begin());
    if (after > 0 && x - m_edges.at(after - 1) < *it - x)
        return after - 1;
    return after;
}

void HtmlTablePlan::planBand(const ReportBand& band)
{
    QList<Row>& rows = m_rows[band.kind];
    QList<int>& styleOf = m_styleOf[band.kind];
    const QList<ReportElement>& elements = band.elements;
    styleOf.fill(0, elements.size());
    if (band.height <= 0 && elements.isEmpty())
        return;

    // Rows: text elements grouped by top, with a spacer above the first.
    QList<int> tops;
    for (const ReportElement& e : elements) {
        if (e.isText())
            tops.append(e.top);
    }
    std::sort(tops.begin(), tops.end());
    QList<int> rowTops;
    for (int top : tops) {
        if (rowTops.isEmpty() || top - rowTops.last() >= RowTolerance)
            rowTops.append(top);
    }
    if (rowTops.isEmpty() || rowTops.first() >= EdgeTolerance)
        rowTops.prepend(0);
    const int rowCount = int(rowTops.size());
    auto rowOf = [&](int top) {
        int row = 0;
        while (row + 1 < rowCount && rowTops.at(row + 1) <= top)
            ++row;
        return row;
    };
    auto rowEnd = [&](int row) {
        return row + 1 < rowCount ? rowTops.at(row + 1) : std::max(band.height, rowTops.at(row));
    };

    const int columns = int(m_widths.size());
    for (int r = 0; r < rowCount; ++r) {
        Row row;
        row.top = rowTops.at(r);
        row.height = rowEnd(r) - row.top;

        // Text cells of this row, left to right; overlapping ones share a cell.
        QList<int> members;
        for (int i = 0; i < elements.size(); ++i) {
            if (elements.at(i).isText() && rowOf(elements.at(i).top) == r)
                members.append(i);
        }
        std::sort(members.begin(), members.end(),
                  [&](int a, int b) { return elements.at(a).left < elements.at(b).left; });
        QList<Cell> texts;
        for (int i : members) {
            const ReportElement& e = elements.at(i);
            int first = columnAt(e.left);
            const int end = std::max(first + 1, columnAt(e.right()));
            if (!texts.isEmpty() && first < texts.last().column + texts.last().span)
                first = texts.last().column + texts.last().span;
            if (first >= end) {
                texts.last().elements.append(i);
                continue;
            }
            Cell cell;
            cell.column = first;
            cell.span = end - first;
            cell.elements.append(i);
            texts.append(cell);
        }
        // Gaps between them: one cell per column, so that any edge can carry a rule.
        int column = 0;
        for (const Cell& text : texts) {
            for (; column < text.column && column < columns; ++column)
                row.cells.append(Cell{column, 1, {}, false, false, false, false});
            row.cells.append(text);
            column = text.column + text.span;
        }
        for (; column < columns; ++column)
            row.cells.append(Cell{column, 1, {}, false, false, false, false});
        rows.append(row);
    }

    // Lines become borders of the cells they run along.
    for (const ReportElement& e : elements) {
        if (e.kind == ReportElementKind::HorizontalLine) {
            // The row edge nearest to the line: the top of a row or the band's bottom.
            int boundary = 0;
            auto edgeAt = [&](int b) {
                return b < rowCount ? rowTops.at(b) : rowEnd(rowCount - 1);
            };
            for (int b = 1; b <= rowCount; ++b) {
                if (std::abs(edgeAt(b) - e.top) < std::abs(edgeAt(boundary) - e.top))
                    boundary = b;
            }
            const int first = columnAt(e.left);
            const int end = columnAt(e.right());
            const bool below = boundary == rowCount;
            Row& row = rows[below ? rowCount - 1 : boundary];
            for (Cell& cell : row.cells) {
                if (cell.column >= first && cell.column + cell.span <= end)
                    (below ? cell.bottom : cell.top) = true;
            }
        } else if (e.kind == ReportElementKind::VerticalLine) {
            const int edge = columnAt(e.left);
            for (int r = 0; r < rowCount; ++r) {
                const int overlap =
                    std::min(rowEnd(r), e.bottom()) - std::max(rowTops.at(r), e.top);
                if (overlap < RowTolerance)
                    continue;
                for (Cell& cell : rows[r].cells) {
                    if (cell.column == edge)
                        cell.left = true;
                    else if (cell.column + cell.span == edge)
                        cell.right = true;
                }
            }
        }
    }

    for (int i = 0; i < elements.size(); ++i) {
        const ReportElement& e = elements.at(i);
        if (!e.isText())
            continue;
        const Style style{e.font, e.alignment};
        qsizetype found = -1;
        for (qsizetype s = 0; s < m_styles.size(); ++s) {
            const Style& known = m_styles.at(s);
            if (known.font == style.font && known.alignment == style.alignment)
                found = s;
        }
        if (found < 0) {
            found = m_styles.size();
            m_styles.append(style);
        }
        styleOf[i] = int(found);
    }
}
