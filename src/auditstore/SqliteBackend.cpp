#include "SqliteBackend.h"

#include "AuditDatabase.h"
#include "JetDialect.h"
#include "SqliteHandle.h"
#include "SqliteRows.h"
#include "StatementProgress.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <sqlite3.h>

namespace {

void setError(AuditError* error, const AuditError& value)
{
    if (error)
        *error = value;
}

// The connection's file names, tried in turn: read-write first; then read-only
// for a file or folder the user may only read; then, for a write-ahead file
// whose shared-memory file cannot be made in a read-only folder, as a file no
// one changes meanwhile. None of them creates or changes anything on open.
QStringList openModes() { return {QStringLiteral("mode=rw"), QStringLiteral("mode=ro"),
                                  QStringLiteral("mode=ro&immutable=1")}; }

bool tryOpen(QSqlDatabase& db, const QString& path, const QString& mode, AuditError* error)
{
    db.close();
    QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    url.setQuery(mode);
    db.setDatabaseName(url.toString(QUrl::FullyEncoded));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1")
                             .arg(AuditDatabase::BusyTimeoutMs));
    if (!db.open()) {
        setError(error, AuditDatabase::errorOf(db.lastError()));
        return false;
    }
    QSqlQuery pragma(db);
    pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    QSqlQuery check(db);
    if (!check.exec(QStringLiteral("SELECT 1 FROM Audit LIMIT 0"))) {
        setError(error, AuditDatabase::errorOf(check.lastError()));
        check.finish();
        db.close();
        return false;
    }
    return true;
}

// Whether a connection can write: SQLite opened the file for reading and
// writing, and the file and its folder (journal files go there) are writable.
bool connectionWrites(const QSqlDatabase& db, const QString& path)
{
    sqlite3* handle = SqliteHandleOf(db);
    const QFileInfo file(path);
    return handle && sqlite3_db_readonly(handle, "main") == 0 && file.isWritable() &&
           QFileInfo(file.absolutePath()).isWritable();
}

// SQLite calls back every so many steps of a statement's virtual machine.
constexpr int ProgressSteps = 10000;

int progressCallback(void* progress)
{
    static_cast<StatementProgress*>(progress)->poll();
    return 0; // never interrupts the statement
}

bool isCantOpenOrReadOnly(int number)
{
    const int primary = number & 0xff;
    return primary == SQLITE_CANTOPEN || primary == SQLITE_READONLY;
}

} // namespace

std::optional<QString> SqliteBackend::translate(const QString& jet, AuditError* error) const
{
    return JetDialect::toSqlite(jet, error);
}

QString SqliteBackend::location(const QString& connectionString) const
{
    return AuditDatabase::dataSourceOf(connectionString);
}

QSqlDatabase SqliteBackend::open(const QString& connectionString, const QString& name,
                                 AuditError* error, bool* readOnly) const
{
    const QString path = location(connectionString);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        setError(error, {ErrorDatabaseNotFound,
                         QStringLiteral("Could not find file '%1'.").arg(path)});
        return db;
    }
    // SQLite would take an empty file for a new database and write one on the
    // first change; it is not an audit database.
    if (QFileInfo(path).size() == 0) {
        setError(error, {ErrorNotADatabase, QStringLiteral("file is not a database")});
        return db;
    }
    // The file's journal mode is left as it is: opening writes nothing.
    AuditError first;
    for (const QString& mode : openModes()) {
        AuditError failure;
        if (tryOpen(db, path, mode, &failure)) {
            if (readOnly)
                *readOnly = !connectionWrites(db, path);
            return db;
        }
        if (!first.isError())
            first = failure;
        // A file that opened and is no audit database gives the first answer.
        if (!isCantOpenOrReadOnly(failure.number))
            break;
    }
    setError(error, first);
    return db;
}

std::unique_ptr<AuditRows> SqliteBackend::rows(QSqlDatabase db, const QString& translated,
                                               AuditError* error) const
{
    sqlite3* handle = SqliteHandleOf(db);
    if (!handle) {
        setError(error, {ErrorDatabaseNotFound, QStringLiteral("The audit database is not open.")});
        return nullptr;
    }
    const QByteArray text = translated.toUtf8();
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(handle, text.constData(), static_cast<int>(text.size()), &statement,
                           nullptr) != SQLITE_OK) {
        setError(error, SqliteRows::errorOf(handle));
        sqlite3_finalize(statement);
        return nullptr;
    }
    setError(error, {});
    return std::make_unique<SqliteRows>(statement);
}

bool SqliteBackend::storeKeys(QSqlDatabase db, const QString& table, const QList<qint64>& keys,
                              AuditError* error) const
{
    QSqlQuery query(db);
    bool ok = query.exec(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS %1 "
                                        "(AutoIndex INTEGER PRIMARY KEY)")
                             .arg(table)) &&
              query.exec(QStringLiteral("DELETE FROM temp.") + table) &&
              query.prepare(QStringLiteral("INSERT OR IGNORE INTO temp.%1 VALUES (?)").arg(table));
    for (qsizetype i = 0; ok && i < keys.size(); ++i) {
        query.bindValue(0, keys.at(i));
        ok = query.exec();
    }
    if (!ok)
        setError(error, AuditDatabase::errorOf(query.lastError()));
    return ok;
}

bool SqliteBackend::dropKeys(QSqlDatabase db, const QString& table, AuditError* error) const
{
    QSqlQuery query(db);
    if (query.exec(QStringLiteral("DROP TABLE temp.") + table))
        return true;
    setError(error, AuditDatabase::errorOf(query.lastError()));
    return false;
}

void SqliteBackend::keepStatistics(QSqlDatabase db) const
{
    // Inside a transaction (the report-then-delete's) the caller commits what
    // it changed; statistics wait for the next change.
    sqlite3* handle = SqliteHandleOf(db);
    if (!handle || !sqlite3_get_autocommit(handle))
        return;
    QSqlQuery pragma(db);
    pragma.exec(QStringLiteral("PRAGMA analysis_limit=1000"));
    pragma.exec(QStringLiteral("PRAGMA optimize"));
    qCDebug(lcAuditSql).noquote() << "sqlite: PRAGMA optimize";
}

bool SqliteBackend::isReadOnlyError(const AuditError& error) const
{
    return (error.number & 0xff) == SQLITE_READONLY;
}

bool SqliteBackend::watch(QSqlDatabase db, StatementProgress* progress) const
{
    sqlite3* handle = SqliteHandleOf(db);
    if (!handle)
        return false;
    sqlite3_progress_handler(handle, progress ? ProgressSteps : 0,
                             progress ? &progressCallback : nullptr, progress);
    return true;
}
