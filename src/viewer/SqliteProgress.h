#pragma once

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <functional>

// While it lives, calls a function now and then during every statement that
// runs on one SQLite connection, so that a long statement (a purge of half a
// million entries takes seconds) can let the program paint meanwhile. The
// function must not use that connection. Where the SQLite library cannot be
// reached the object does nothing.
class SqliteProgress
{
public:
    // tick runs at most every intervalMs, checked every `steps` steps of the
    // statement's virtual machine.
    SqliteProgress(const QSqlDatabase& db, std::function<void()> tick, int intervalMs = 50,
                   int steps = 10000);
    ~SqliteProgress();
    SqliteProgress(const SqliteProgress&) = delete;
    SqliteProgress& operator=(const SqliteProgress&) = delete;

    bool isActive() const { return m_handle != nullptr; }

private:
    static int callback(void* self);

    void* m_handle = nullptr; // the connection's sqlite3*
    std::function<void()> m_tick;
    int m_intervalMs;
    QElapsedTimer m_sinceTick;
    bool m_inTick = false;
};
