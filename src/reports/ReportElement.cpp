#include "ReportElement.h"

ReportElement ReportElement::label(const QString& name, const QString& text, int left, int top,
                                   int width, int height, ReportAlignment alignment,
                                   const ReportFont& font)
{
    ReportElement e;
    e.kind = ReportElementKind::Label;
    e.name = name;
    e.text = text;
    e.left = left;
    e.top = top;
    e.width = width;
    e.height = height;
    e.alignment = alignment;
    e.font = font;
    return e;
}

ReportElement ReportElement::textBox(const QString& name, const QString& field, int left, int top,
                                     int width, int height, ReportAlignment alignment,
                                     const ReportFont& font)
{
    ReportElement e = label(name, QString(), left, top, width, height, alignment, font);
    e.kind = ReportElementKind::Field;
    e.field = field;
    return e;
}

ReportElement ReportElement::horizontalLine(const QString& name, int left, int top, int width)
{
    ReportElement e;
    e.kind = ReportElementKind::HorizontalLine;
    e.name = name;
    e.left = left;
    e.top = top;
    e.width = width;
    return e;
}

ReportElement ReportElement::verticalLine(const QString& name, int left, int top, int height)
{
    ReportElement e;
    e.kind = ReportElementKind::VerticalLine;
    e.name = name;
    e.left = left;
    e.top = top;
    e.height = height;
    return e;
}
