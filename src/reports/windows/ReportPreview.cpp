#include "ReportPreview.h"

#include "ReportLayout.h"
#include "ReportPrinter.h"
#include "ReportRenderer.h"
#include "WidgetHooks.h"

#include <QGuiApplication>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QScreen>
#include <QPrinter>

std::unique_ptr<QPrintPreviewDialog> ReportPreview::create(ReportLayout& layout, QWidget* parent)
{
    auto dialog = std::make_unique<QPrintPreviewDialog>(parent);
    dialog->setObjectName(QStringLiteral("ReportPreview"));
    ReportPrinter::setUp(dialog->printer(), layout);
    dialog->setWindowTitle(layout.caption().isEmpty() ? layout.title() : layout.caption());
    dialog->setModal(true);
    // A usable size of its own (without a window manager nothing maximises)
    // and pages as wide as the window, then maximised where that is honoured.
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        dialog->resize(area.width() * 9 / 10, area.height() * 9 / 10);
        dialog->move(area.center() - dialog->rect().center());
    }
    if (auto* pages = dialog->findChild<QPrintPreviewWidget*>())
        pages->fitToWidth();
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
