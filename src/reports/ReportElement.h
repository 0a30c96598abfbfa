#pragma once

#include <QString>

// One element of a report band: a fixed label, a field that shows one column of
// the current row, or a horizontal or vertical line. Geometry is in twips
// (1/1440 inch) relative to the band's top-left corner.

enum class ReportElementKind
{
    Label,
    Field,
    HorizontalLine,
    VerticalLine
};

enum class ReportAlignment
{
    Left,
    Right,
    Center
};

struct ReportFont
{
    QString family = QStringLiteral("Arial");
    qreal pointSize = 8.25;
    bool bold = false;

    friend bool operator==(const ReportFont&, const ReportFont&) = default;
};

struct ReportElement
{
    ReportElementKind kind = ReportElementKind::Label;
    QString name;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    // Label: the fixed text, which may hold the placeholders %i (title),
    // %d and %t (date and time of printing), %p and %P (page and page count).
    QString text;
    // Field: the column of the current row that it shows.
    QString field;
    ReportFont font;
    ReportAlignment alignment = ReportAlignment::Left;
    // The element grows downwards to show all of a longer text; otherwise the
    // text is cut to what fits in the box.
    bool canGrow = false;
    // Field format: a date picture ("mm/dd/yyyy hh:nn AM/PM", where mm is the
    // month and nn the minutes), "General Date" (the locale's short date and
    // time with seconds) or "Yes/No" (zero "No", anything else "Yes").
    QString format;

    bool isText() const
    {
        return kind == ReportElementKind::Label || kind == ReportElementKind::Field;
    }
    bool isLine() const { return !isText(); }
    int right() const { return left + width; }
    int bottom() const { return top + height; }

    static ReportElement label(const QString& name, const QString& text, int left, int top,
                               int width, int height,
                               ReportAlignment alignment = ReportAlignment::Left,
                               const ReportFont& font = ReportFont());
    static ReportElement textBox(const QString& name, const QString& field, int left, int top,
                                 int width, int height,
                                 ReportAlignment alignment = ReportAlignment::Left,
                                 const ReportFont& font = ReportFont());
    static ReportElement horizontalLine(const QString& name, int left, int top, int width);
    static ReportElement verticalLine(const QString& name, int left, int top, int height);
};
