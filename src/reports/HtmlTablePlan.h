#pragma once

#include "ReportLayout.h"

#include <QList>
#include <array>

// How a layout's bands become rows of one HTML table per page. The columns
// are the distinct left and right edges of all elements (edges closer than
// 60 twips count as one); each band's rows are its text elements grouped by
// top; lines become cell borders. A can-grow text then grows its row in the
// browser the way it grows its band on paper.
class HtmlTablePlan
{
public:
    struct Cell
    {
        int column = 0;
        int span = 1;
        QList<int> elements; // indexes into the band's elements; empty for a gap
        bool top = false;
        bool bottom = false;
        bool left = false;
        bool right = false;
    };
    struct Row
    {
        int top = 0;
        int height = 0;
        QList<Cell> cells;
    };
    struct Style
    {
        ReportFont font;
        ReportAlignment alignment = ReportAlignment::Left;
    };

    explicit HtmlTablePlan(const ReportLayout& layout);

    // Column widths in twips, from the band's left edge.
    const QList<int>& columnWidths() const { return m_widths; }
    int tableWidth() const;
    const QList<Row>& rows(ReportBand::Kind kind) const { return m_rows[kind]; }
    // Text styles; styleOf gives the index of a text element's style.
    const QList<Style>& styles() const { return m_styles; }
    int styleOf(ReportBand::Kind kind, int element) const
    {
        return m_styleOf[kind].value(element, 0);
    }

private:
    void planBand(const ReportBand& band);
    int columnAt(int x) const;

    QList<int> m_edges;
    QList<int> m_widths;
    std::array<QList<Row>, ReportBand::KindCount> m_rows;
    std::array<QList<int>, ReportBand::KindCount> m_styleOf;
    QList<Style> m_styles;
};
