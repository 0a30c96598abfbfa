#pragma once

#include "ReportProgress.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <memory>

class QProgressDialog;
class QWidget;

// The progress of an interactive report run: a QProgressDialog with a Cancel
// button, window-modal over the window that is modal when it appears (the
// report dialog, or the preview when printing from it). It appears only when
// a render has run longer than the show delay (half a second), so short
// reports never flash a window, and it keeps the event loop turning while
// the report renders. The status at the end goes to the status bar of the
// main window under the owner, when there is one.
class ReportProgressDialog : public ReportProgress
{
public:
    static constexpr int DefaultShowDelay = 500; // milliseconds

    // owner: the window to be modal over when no window is modal.
    explicit ReportProgressDialog(const QString& title, QWidget* owner = nullptr);
    ~ReportProgressDialog() override;
    ReportProgressDialog(const ReportProgressDialog&) = delete;
    ReportProgressDialog& operator=(const ReportProgressDialog&) = delete;

    // How long a render runs before the window appears (tests use 0).
    void setShowDelay(int milliseconds) { m_showDelay = milliseconds; }
    // The delay that new progress windows start with.
    static void setDefaultShowDelay(int milliseconds);

    void begin(qint64 total) override;
    void step(qint64 done) override;
    bool cancelled() const override { return m_cancelled; }
    void end() override;
    void showStatus(const QString& text) override;

    // The window while it is up, else nullptr.
    QProgressDialog* dialog() const { return m_dialog.get(); }
    // The last status shown ("" before any).
    QString status() const { return m_status; }

private:
    void showDialog();
    void update();

    QString m_title;
    QPointer<QWidget> m_owner;
    std::unique_ptr<QProgressDialog> m_dialog;
    QElapsedTimer m_rendering; // since the render began; invalid between renders
    qint64 m_total = 0;
    qint64 m_done = 0;
    int m_showDelay;
    bool m_cancelled = false;
    bool m_cursorSet = false;
    QString m_status;
};
