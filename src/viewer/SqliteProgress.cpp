#include "SqliteProgress.h"

#include <QSqlDriver>
#include <QVariant>
#include <dlfcn.h>
#include <sqlite3.h>

namespace {

using ProgressHandlerFunction = decltype(&sqlite3_progress_handler);

// Qt's SQLite driver is a plugin that brings the system's SQLite library with
// it; the program does not link that library itself, so the one function it
// needs is taken from the library already loaded (never loading a second one).
ProgressHandlerFunction progressHandlerFunction()
{
    static const ProgressHandlerFunction function = []() -> ProgressHandlerFunction {
        void* library = dlopen("libsqlite3.so.0", RTLD_NOW | RTLD_NOLOAD);
        if (!library)
            return nullptr;
        return reinterpret_cast<ProgressHandlerFunction>(
            dlsym(library, "sqlite3_progress_handler"));
    }();
    return function;
}

sqlite3* connectionHandle(const QSqlDatabase& db)
{
    if (!db.isOpen() || !db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.data());
}

} // namespace

SqliteProgress::SqliteProgress(const QSqlDatabase& db, std::function<void()> tick, int intervalMs,
                               int steps)
    : m_tick(std::move(tick)), m_intervalMs(intervalMs)
{
    const ProgressHandlerFunction install = progressHandlerFunction();
    sqlite3* handle = connectionHandle(db);
    if (!install || !handle || !m_tick)
        return;
    m_handle = handle;
    install(handle, steps, &SqliteProgress::callback, this);
}

SqliteProgress::~SqliteProgress()
{
    if (m_handle)
        progressHandlerFunction()(static_cast<sqlite3*>(m_handle), 0, nullptr, nullptr);
}

int SqliteProgress::callback(void* self)
{
    auto* progress = static_cast<SqliteProgress*>(self);
    // A tick that itself runs long (or re-enters) must not stack up.
    if (progress->m_inTick)
        return 0;
    if (progress->m_sinceTick.isValid() && progress->m_sinceTick.elapsed() < progress->m_intervalMs)
        return 0;
    progress->m_inTick = true;
    progress->m_tick();
    progress->m_inTick = false;
    progress->m_sinceTick.start();
    return 0; // never interrupts the statement
}
