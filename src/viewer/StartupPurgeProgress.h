#pragma once

#include <QElapsedTimer>
#include <QString>

class QProgressDialog;

// A small window that shows a start-up purge is running once it has taken
// more than half a second; before that nothing shows. Interactive runs only:
// start-up installs it with Install().
class StartupPurgeProgress
{
public:
    StartupPurgeProgress();
    ~StartupPurgeProgress();
    StartupPurgeProgress(const StartupPurgeProgress&) = delete;
    StartupPurgeProgress& operator=(const StartupPurgeProgress&) = delete;

    // Called now and then while the purge runs: shows the window once the
    // delay is over and lets it paint.
    void tick(const QString& what);
    bool isShown() const;

    static constexpr int ShowAfterMs = 500;

    // Makes the start-up purge run under one of these.
    static void Install();

private:
    QElapsedTimer m_elapsed;
    QProgressDialog* m_dialog = nullptr;
};
