#include "ReportWindowHooks.h"

#include "AuditError.h"
#include "ReportEngineHooks.h"
#include "ReportLayout.h"
#include "ReportRenderer.h"
#include "WidgetHooks.h"
#include "frmEmailAddress.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace {

QPageSize pageSizeOf(const ReportLayout& layout)
{
    if (layout.paperSize() == ReportLayout::LetterSize)
        return QPageSize(QPageSize::Letter);
    return QPageSize(QSizeF(layout.paperSize()) / 1440.0, QPageSize::Inch);
}

// The layout places everything from the paper's corner with its own margins.
void preparePrinter(QPrinter& printer, const ReportLayout& layout)
{
    printer.setDocName(layout.title());
    printer.setFullPage(true);
    printer.setPageLayout(
        QPageLayout(pageSizeOf(layout), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
}

// The default printer, no dialog, all pages.
bool printReport(ReportLayout& layout, QString* error)
{
    QPrinter printer(QPrinter::HighResolution);
    if (printer.outputFormat() != QPrinter::NativeFormat || !printer.isValid()) {
        *error = QStringLiteral("No printer is installed: nothing was printed.");
        return false;
    }
    preparePrinter(printer, layout);
    ReportRenderer renderer(layout);
    if (renderer.paint(&printer))
        return true;
    const AuditError failure = renderer.lastError();
    *error = QStringLiteral("Error %1 - %2").arg(failure.number).arg(failure.description);
    return false;
}

// Maximised and modal; pages are drawn whenever the preview asks for them.
void previewReport(ReportLayout& layout)
{
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer, layout);
    QPrintPreviewDialog dialog(&printer);
    dialog.setObjectName(QStringLiteral("ReportPreview"));
    dialog.setWindowTitle(layout.caption());
    bool failed = false;
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&layout, &failed](QPrinter* device) {
                         // A failure was reported once; repaints do not repeat it.
                         if (!failed)
                             failed = !ReportRenderer(layout).paint(device);
                     });
    dialog.setWindowState(Qt::WindowMaximized);
    ShowModal(&dialog);
}

void askMailAddress()
{
    frmEmailAddress dialog;
    ShowModal(&dialog);
}

} // namespace

void InstallReportWindowHooks()
{
    ReportEngineHooks hooks;
    hooks.print = printReport;
    hooks.preview = previewReport;
    hooks.askMailAddress = askMailAddress;
    ReportEngineHooks::install(hooks);
}
