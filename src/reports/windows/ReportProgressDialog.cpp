#include "ReportProgressDialog.h"

#include <QApplication>
#include <QCursor>
#include <QMainWindow>
#include <QProgressDialog>
#include <QStatusBar>
#include <algorithm>
#include <limits>

namespace {

int defaultShowDelay = ReportProgressDialog::DefaultShowDelay;

// How long the status stays in the main window's status bar.
constexpr int StatusTimeout = 10000;

int clampToInt(qint64 value)
{
    return int(std::clamp<qint64>(value, 0, std::numeric_limits<int>::max()));
}

} // namespace

ReportProgressDialog::ReportProgressDialog(const QString& title, QWidget* owner)
    : m_title(title), m_owner(owner), m_showDelay(defaultShowDelay)
{
}

ReportProgressDialog::~ReportProgressDialog()
{
    end();
}

void ReportProgressDialog::setDefaultShowDelay(int milliseconds)
{
    defaultShowDelay = milliseconds;
}

void ReportProgressDialog::begin(qint64 total)
{
    if (!m_rendering.isValid())
        m_rendering.start();
    m_total = total;
    m_done = 0;
    update();
}

void ReportProgressDialog::step(qint64 done)
{
    m_done = done;
    if (!m_dialog && m_rendering.isValid() && m_rendering.elapsed() >= m_showDelay)
        showDialog();
    update();
    // Paint and answer the window system; before the window is up the
    // operator's clicks wait, so that nothing else starts meanwhile.
    QCoreApplication::processEvents(m_dialog ? QEventLoop::AllEvents
                                             : QEventLoop::ExcludeUserInputEvents);
}

void ReportProgressDialog::end()
{
    m_rendering.invalidate();
    // Destroyed rather than hidden: a hidden QProgressDialog may show itself
    // again from its own timer.
    m_dialog.reset();
    if (m_cursorSet) {
        QGuiApplication::restoreOverrideCursor();
        m_cursorSet = false;
    }
}

void ReportProgressDialog::showStatus(const QString& text)
{
    m_status = text;
    for (QWidget* window = m_owner; window; window = window->parentWidget()) {
        if (auto* main = qobject_cast<QMainWindow*>(window)) {
            main->statusBar()->showMessage(text, StatusTimeout);
            return;
        }
    }
}

void ReportProgressDialog::showDialog()
{
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner)
        owner = m_owner;
    m_dialog = std::make_unique<QProgressDialog>(owner);
    m_dialog->setObjectName(QStringLiteral("ReportProgress"));
    m_dialog->setWindowTitle(m_title);
    m_dialog->setCancelButtonText(QObject::tr("&Cancel"));
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    m_dialog->setMinimumWidth(360);
    QObject::connect(m_dialog.get(), &QProgressDialog::canceled, m_dialog.get(),
                     [this] { m_cancelled = true; });
    update();
    m_dialog->show();
    // The hourglass of the run would hide that Cancel can be pressed.
    QGuiApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    m_cursorSet = true;
}

void ReportProgressDialog::update()
{
    if (!m_dialog)
        return;
    if (m_total <= 0) {
        // Counting the pages: how many entries there are is not known yet.
        m_dialog->setRange(0, 0);
        m_dialog->setLabelText(QObject::tr("Reading entries: %L1").arg(m_done));
        return;
    }
    m_dialog->setRange(0, clampToInt(m_total));
    m_dialog->setValue(clampToInt(qMin(m_done, m_total)));
    m_dialog->setLabelText(QObject::tr("Entry %L1 of %L2").arg(m_done).arg(m_total));
}
