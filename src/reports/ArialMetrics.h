#pragma once

#include "ReportTextMetrics.h"

// Arial's own character widths and line spacing, built in: pages are laid out
// the same on every machine and without a display or font database. The
// painter draws with the same face (Liberation Sans answers for Arial), so
// each line it draws fits where the layout put it.
class ArialMetrics : public ReportTextMetrics
{
public:
    int lineHeight(const ReportFont& font) const override;
    qreal advance(QChar c, const ReportFont& font) const override;
    // Half a millimetre, so that text never touches a rule beside its box.
    int horizontalInset() const override { return 30; }
};
