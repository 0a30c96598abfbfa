#pragma once

#include "ReportTextMetrics.h"

#include <QFont>

// Arial's own character widths and line spacing, built in: pages are laid out
// the same on every machine and without a display or font database. The
// painter draws with the same face (Liberation Sans answers for Arial), so
// each line it draws fits where the layout put it. Characters Arial lacks are
// drawn from fixed fallback faces (fallbackFamilies); a line holding any of
// them is spaced by the taller face, so a box grows by the height of the fonts
// actually used.
class ArialMetrics : public ReportTextMetrics
{
public:
    int lineHeight(const ReportFont& font) const override;
    int lineHeight(const ReportFont& font, QStringView text) const override;
    qreal advance(char32_t c, const ReportFont& font) const override;
    // Half a millimetre, so that text never touches a rule beside its box.
    int horizontalInset() const override { return 30; }

    // The faces that draw what Arial lacks, in the order they are tried: one
    // for Chinese, Japanese and Korean whose characters map back to
    // themselves in a PDF's text layer, and a monochrome one for emoji and
    // symbols (colour emoji print blank on many PDF readers).
    static QStringList fallbackFamilies();
    // The face of a layout font as it draws (no hinting, no size set), and
    // its families with the fallback faces behind it. A family list is taken
    // literally: "Arial" must be given as the face that answers for it, or
    // the fallback faces would draw Latin text too.
    static QFont layoutFace(const ReportFont& font);
    static QStringList drawingFamilies(const QFont& layoutFace);
};
