#pragma once

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QString>
#include <functional>

// While it lives, calls a function now and then during every statement that
// changes rows on one connection of the audit database, so that a long one (a
// purge of half a million entries takes seconds) lets the program paint
// meanwhile. The backend decides how: SQLite calls back from inside the
// statement, a server's statement runs while the program waits on its socket.
// The function must not use that connection. Where the backend cannot watch
// the connection the object does nothing.
class StatementProgress
{
public:
    // tick runs at most every intervalMs.
    StatementProgress(const QSqlDatabase& db, std::function<void()> tick, int intervalMs = 50);
    ~StatementProgress();
    StatementProgress(const StatementProgress&) = delete;
    StatementProgress& operator=(const StatementProgress&) = delete;

    bool isActive() const { return m_active; }

    // Called by the backend during a statement: runs the function when its
    // interval has passed and it is not already running.
    void poll();

private:
    QSqlDatabase m_db;
    std::function<void()> m_tick;
    int m_intervalMs;
    QElapsedTimer m_sinceTick;
    bool m_inTick = false;
    bool m_active = false;
};
