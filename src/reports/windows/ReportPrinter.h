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
    // and the layout's error handler has been told. Also false, with no error,
    // when the layout's progress was cancelled: a PDF file begun by then is
    // removed. (A CUPS job cannot be withdrawn once drawing has begun: Qt
    // submits the pages drawn so far.)
    static bool print(ReportLayout& layout, QPrinter* printer = nullptr, QString* error = nullptr);
};
