#pragma once

#include "ReportLayout.h"
#include "ReportTextMetrics.h"

// The character grid of the plain-text output: one character is 80 twips wide
// (18 to the inch) and one line 240 twips high (the height of every text box
// in the layouts). At 80 twips the narrowest columns of the tabular layouts
// still hold their whole heading ("Level" in 493 twips, "AutoIndex" in 838)
// and a boxed summary line is 131 characters wide.
class CharacterGridMetrics : public ReportTextMetrics
{
public:
    static constexpr int ColumnTwips = 80;
    static constexpr int RowTwips = 240;

    int lineHeight(const ReportFont&) const override { return RowTwips; }
    // Every UTF-16 code unit takes one column.
    qreal advance(QChar, const ReportFont&) const override { return ColumnTwips; }
    qreal fixedAdvance() const override { return ColumnTwips; }

    // The layout moved onto the grid: every position a whole number of columns
    // and rows, each horizontal line on a row of its own, and text boxes kept
    // off the vertical lines at their edges. Run-time settings are kept;
    // margins and paper size are rounded to whole columns and rows.
    static ReportLayout snapLayout(const ReportLayout& layout);

    static int column(int x) { return (x + ColumnTwips / 2) / ColumnTwips; }
};
