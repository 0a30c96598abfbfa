#pragma once

#include <QString>

class QPrinter;
class ReportLayout;

// Prints a bound layout without a print dialog, every page, drawn by the
// painter back end.
class ReportPrinter
{
public:
    // Gives the printer the layout's paper (Letter unless set), portrait,
    // full-page mode (the layout's own margins apply) and the title as the
    // document name.
    static void setUp(QPrinter* printer, const ReportLayout& layout);

    // Prints on printer, or on the system's default printer when none is
    // given. False when nothing could be printed: error (when given) says why,
    // and the layout's error handler has been told.
    static bool print(ReportLayout& layout, QPrinter* printer = nullptr,
                      QString* error = nullptr);
};
