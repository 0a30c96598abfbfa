#include "StartupPurgeProgress.h"

#include "AppState.h"
#include "AuditDatabase.h"
#include "Purge.h"
#include "StatementProgress.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>

StartupPurgeProgress::StartupPurgeProgress()
{
    m_elapsed.start();
}

StartupPurgeProgress::~StartupPurgeProgress()
{
    delete m_dialog;
}

bool StartupPurgeProgress::isShown() const
{
    return m_dialog && m_dialog->isVisible();
}

void StartupPurgeProgress::tick(const QString& what)
{
    if (m_elapsed.elapsed() < ShowAfterMs)
        return;
    if (!m_dialog) {
        // No parent: the viewer is not shown yet.
        m_dialog = new QProgressDialog(QString(), QString(), 0, 0);
        m_dialog->setObjectName(QStringLiteral("prgStartupPurge"));
        m_dialog->setWindowTitle(AppTitle);
        m_dialog->setCancelButton(nullptr);
        m_dialog->setMinimumDuration(0);
        m_dialog->setMinimumWidth(360);
        m_dialog->show();
    }
    m_dialog->setLabelText(
        QStringLiteral("%1 (%2 s)").arg(what).arg(m_elapsed.elapsed() / 1000));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void StartupPurgeProgress::Install()
{
    SetAutoPurgeRunner([](const std::function<void(const PurgeWait&)>& purge) {
        StartupPurgeProgress progress;
        const QString deleting = QStringLiteral("Deleting old entries...");
        StatementProgress whileDeleting(AuditDatabase::instance().connection(),
                                     [&progress, &deleting] { progress.tick(deleting); });
        purge([&progress] {
            QEventLoop loop;
            QTimer::singleShot(PurgeWaitMs, &loop, &QEventLoop::quit);
            progress.tick(QStringLiteral("Waiting for the list to show the deletion..."));
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        });
    });
}
