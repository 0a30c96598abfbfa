#pragma once

#include "ReportBand.h"

#include <QList>
#include <QStringList>

// One element of a band as it prints for one row or page: its final top and
// height (after the elements above it grew) and its text broken into lines.
struct LaidOutElement
{
    const ReportElement* element = nullptr;
    int top = 0;
    int height = 0;
    int lineHeight = 0;
    int inset = 0; // free space inside the box on the left and right
    QStringList lines; // text elements only

    int left() const { return element->left; }
    int width() const { return element->width; }
    int bottom() const { return top + height; }
    // Top of text line i.
    int lineTop(int i) const { return top + i * lineHeight; }
};

// A band as it prints for one row or page. Coordinates in twips from the
// band's top-left corner.
struct LaidOutBand
{
    const ReportBand* band = nullptr;
    int height = 0;
    QList<LaidOutElement> elements;
};
