#include "ReportPrinter.h"

#include "ReportLayout.h"
#include "ReportRenderer.h"

#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <memory>

void ReportPrinter::setUp(QPrinter* printer, const ReportLayout& layout)
{
    const QSize paper = layout.paperSize();
    const QPageSize size =
        paper == ReportLayout::LetterSize
            ? QPageSize(QPageSize::Letter)
            : QPageSize(QSizeF(paper.width() / 1440.0, paper.height() / 1440.0), QPageSize::Inch);
    QPageLayout page(size, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    page.setMode(QPageLayout::FullPageMode);
    printer->setPageLayout(page);
    printer->setFullPage(true);
    printer->setDocName(layout.title());
    printer->setPrintRange(QPrinter::AllPages);
}

bool ReportPrinter::print(ReportLayout& layout, QPrinter* printer, QString* error)
{
    std::unique_ptr<QPrinter> defaultPrinter;
    if (!printer) {
        defaultPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer = defaultPrinter.get();
    }
    // Without any printer Qt falls back to PDF output, which has no file.
    if (printer->printerName().isEmpty() && printer->outputFileName().isEmpty()) {
        const QString reason = QStringLiteral("No printer is installed.");
        layout.raiseError(ReportErrorNumber::PrinterError, reason);
        if (error)
            *error = reason;
        return false;
    }
    setUp(printer, layout);
    ReportRenderer renderer(layout);
    if (renderer.paint(printer))
        return true;
    if (renderer.cancelled()) {
        if (printer->outputFormat() == QPrinter::PdfFormat && !printer->outputFileName().isEmpty())
            QFile::remove(printer->outputFileName());
        if (error)
            error->clear();
        return false;
    }
    if (error)
        *error = renderer.lastError().description;
    return false;
}
