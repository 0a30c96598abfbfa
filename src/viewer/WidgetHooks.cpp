#include "WidgetHooks.h"

#include "UiHooks.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

namespace {
ModalHandler modalHandler;

// Ends a local event loop when the watched window is hidden or closed.
class HideWatcher : public QObject
{
public:
    explicit HideWatcher(QEventLoop* loop) : m_loop(loop) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Hide)
            m_loop->quit();
        return QObject::eventFilter(watched, event);
    }

private:
    QEventLoop* m_loop;
};

QMessageBox::StandardButtons buttonsFor(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::Ok:
        return QMessageBox::Ok;
    case MsgButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MsgButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MsgButtons::RetryCancel:
        return QMessageBox::Retry | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon iconFor(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::None:
        return QMessageBox::NoIcon;
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::Exclamation:
        return QMessageBox::Warning;
    case MsgIcon::Critical:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

MsgAnswer answerFor(int button, MsgButtons buttons)
{
    switch (button) {
    case QMessageBox::Yes:
        return MsgAnswer::Yes;
    case QMessageBox::No:
        return MsgAnswer::No;
    case QMessageBox::Cancel:
        return MsgAnswer::Cancel;
    case QMessageBox::Ok:
        return MsgAnswer::Ok;
    case QMessageBox::Retry:
        return MsgAnswer::Retry;
    default:
        // Closed by Escape or the close box: the box's escape answer.
        if (buttons == MsgButtons::Ok)
            return MsgAnswer::Ok;
        if (buttons == MsgButtons::YesNo)
            return MsgAnswer::No;
        return MsgAnswer::Cancel;
    }
}
} // namespace

void InstallWidgetMessageResponder()
{
    SetMessageResponder([](const MessageRequest& request) {
        QMessageBox box(iconFor(request.icon), request.caption, request.text,
                        buttonsFor(request.buttons), QApplication::activeWindow());
        // The first button is the default, as with the platform's message box.
        if (request.buttons == MsgButtons::YesNo || request.buttons == MsgButtons::YesNoCancel)
            box.setDefaultButton(QMessageBox::Yes);
        else if (request.buttons == MsgButtons::RetryCancel)
            box.setDefaultButton(QMessageBox::Retry);
        else
            box.setDefaultButton(QMessageBox::Ok);
        // While the pointer shows busy, the operator must still see that a
        // message waits for an answer.
        const bool busy = QApplication::overrideCursor() != nullptr;
        if (busy)
            QApplication::setOverrideCursor(Qt::ArrowCursor);
        const int button = box.exec();
        if (busy)
            QApplication::restoreOverrideCursor();
        return answerFor(button, request.buttons);
    });
}

void ShowModal(QWidget* window)
{
    if (!window)
        return;
    if (modalHandler) {
        modalHandler(window);
        return;
    }
    if (auto* dialog = qobject_cast<QDialog*>(window)) {
        dialog->exec();
        return;
    }
    // A plain window: block the rest of the program until it is hidden.
    QPointer<QWidget> guard(window);
    QEventLoop loop;
    HideWatcher watcher(&loop);
    window->installEventFilter(&watcher);
    QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
    window->setWindowModality(Qt::ApplicationModal);
    window->show();
    loop.exec();
    if (guard)
        guard->removeEventFilter(&watcher);
}

ModalHandler SetModalHandler(ModalHandler handler)
{
    std::swap(modalHandler, handler);
    return handler;
}

void MakeTopmost(QWidget* window)
{
    if (!window || window->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        return;
    const bool visible = window->isVisible();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    // Changing a window flag hides the window; put it back where it was.
    if (visible)
        window->show();
}

void MakeNotTopmost(QWidget* window)
{
    if (!window || !window->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        return;
    const bool visible = window->isVisible();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, false);
    if (visible)
        window->show();
}

BusyCursor::BusyCursor()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyCursor::~BusyCursor()
{
    QGuiApplication::restoreOverrideCursor();
}
