#include "ReportPreview.h"

#include "ReportLayout.h"
#include "ReportPrinter.h"
#include "ReportRenderer.h"
#include "WidgetHooks.h"

#include <QPrintPreviewDialog>
#include <QPrinter>

std::unique_ptr<QPrintPreviewDialog> ReportPreview::create(ReportLayout& layout, QWidget* parent)
{
    auto dialog = std::make_unique<QPrintPreviewDialog>(parent);
    dialog->setObjectName(QStringLiteral("ReportPreview"));
    ReportPrinter::setUp(dialog->printer(), layout);
    dialog->setWindowTitle(layout.caption().isEmpty() ? layout.title() : layout.caption());
    dialog->setModal(true);
    dialog->setWindowState(dialog->windowState() | Qt::WindowMaximized);
    // The dialog repaints whenever it likes: a failure is reported once.
    QPrintPreviewDialog* window = dialog.get();
    QObject::connect(window, &QPrintPreviewDialog::paintRequested, window,
                     [&layout, window, failed = false](QPrinter* printer) mutable {
                         if (failed)
                             return;
                         ReportRenderer renderer(layout);
                         failed = !renderer.paint(printer);
                         if (!renderer.cancelled())
                             return;
                         // The first pages are drawn while the dialog is being
                         // shown: then it never appears on screen.
                         if (!window->isVisible())
                             window->setAttribute(Qt::WA_DontShowOnScreen);
                         QMetaObject::invokeMethod(window, &QDialog::reject, Qt::QueuedConnection);
                     });
    return dialog;
}

void ReportPreview::show(ReportLayout& layout, QWidget* parent)
{
    const std::unique_ptr<QPrintPreviewDialog> dialog = create(layout, parent);
    ShowModal(dialog.get());
}
