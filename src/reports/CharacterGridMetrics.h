#pragma once

#include "ReportLayout.h"
#include "ReportTextMetrics.h"

// The character grid of the plain-text output: one column is 80 twips wide
// (18 to the inch) and one line 240 twips high (the height of every text box
// in the layouts). A character takes the columns a terminal gives it: East
// Asian wide characters and emoji two, combining marks none. At 80 twips the narrowest columns of
// the tabular layouts still hold their whole heading ("Level" in 493 twips, "AutoIndex" in 838) and
// a boxed summary line is 131 characters wide.
class CharacterGridMetrics : public ReportTextMetrics
{
public:
    static constexpr int ColumnTwips = 80;
    static constexpr int RowTwips = 240;

    int lineHeight(const ReportFont&) const override { return RowTwips; }
    qreal advance(char32_t c, const ReportFont&) const override { return columns(c) * ColumnTwips; }
    qreal fixedAdvance() const override { return ColumnTwips; }

    // Columns of one code point: 0, 1 or 2.
    static int columns(char32_t c);

    // The layout moved onto the grid: every position a whole number of columns
    // and rows, each horizontal line on a row of its own, and text boxes kept
    // off the vertical lines at their edges. Run-time settings are kept;
    // margins and paper size are rounded to whole columns and rows.
    static ReportLayout snapLayout(const ReportLayout& layout);

    static int column(int x) { return (x + ColumnTwips / 2) / ColumnTwips; }
};
