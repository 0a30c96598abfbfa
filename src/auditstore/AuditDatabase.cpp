#include "AuditDatabase.h"

#include "AppState.h"
#include "JetDialect.h"
#include "SqliteHandle.h"
#include "UiHooks.h"

#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>
#include <sqlite3.h>

Q_LOGGING_CATEGORY(lcAuditSql, "audit.sql", QtWarningMsg)

namespace {

AuditDatabase::StatementFault statementFault;

void setError(AuditError* error, const AuditError& value)
{
    if (error)
        *error = value;
}

AuditError errorOfHandle(sqlite3* db)
{
    return {sqlite3_errcode(db), QString::fromUtf8(sqlite3_errmsg(db))};
}

} // namespace

AuditDatabase& AuditDatabase::instance()
{
    static AuditDatabase database;
    return database;
}

QString AuditDatabase::connectionStringFor(const QString& databasePath)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + databasePath +
           QStringLiteral(";Mode=ReadWrite|Share Deny None;Persist Security Info=False");
}

QString AuditDatabase::dataSourceOf(const QString& connectionString)
{
    const QString key = QStringLiteral("Data Source=");
    const qsizetype start = connectionString.indexOf(key, 0, Qt::CaseInsensitive);
    if (start < 0)
        return QString();
    const qsizetype from = start + key.size();
    // A folder may hold ";": the name ends where the next known key begins.
    qsizetype end = -1;
    for (const char* next : {";Mode=", ";Persist Security Info=", ";Provider=", ";User ID=",
                             ";Password=", ";Jet OLEDB:"}) {
        const qsizetype at = connectionString.indexOf(QLatin1String(next), from,
                                                      Qt::CaseInsensitive);
        if (at >= 0 && (end < 0 || at < end))
            end = at;
    }
    return connectionString.mid(from, end < 0 ? -1 : end - from).trimmed();
}

AuditError AuditDatabase::errorOf(const QSqlError& sqlError)
{
    AuditError error;
    bool ok = false;
    error.number = sqlError.nativeErrorCode().toInt(&ok);
    if (!ok || error.number == 0)
        error.number = 1;
    error.description = sqlError.databaseText().isEmpty() ? sqlError.text()
                                                         : sqlError.databaseText();
    // SQLite refuses a text of several statements with the text of its last
    // result, "not an error"; the driver's own text says what happened.
    if (sqlError.driverText().contains(QLatin1String("multiple statements")))
        error.description = QStringLiteral("the text holds several statements; only one "
                                           "statement can run at a time");
    return error;
}

namespace {

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

} // namespace

QSqlDatabase AuditDatabase::openConnection(const QString& connectionString, const QString& name,
                                           AuditError* error, bool* readOnly)
{
    const QString path = dataSourceOf(connectionString);
    if (QSqlDatabase::contains(name))
        QSqlDatabase::removeDatabase(name);
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
        if (failure.number != SQLITE_CANTOPEN && failure.number != SQLITE_READONLY &&
            (failure.number & 0xff) != SQLITE_CANTOPEN && (failure.number & 0xff) != SQLITE_READONLY)
            break;
    }
    setError(error, first);
    return db;
}

bool AuditDatabase::open(const QString& connectionString, AuditError* error)
{
    close();
    m_connectionString = connectionString;
    m_openError = {};
    m_readOnly = false;
    QSqlDatabase db = openConnection(connectionString, ConnectionName, &m_openError, &m_readOnly);
    setError(error, m_openError);
    return db.isOpen() && !m_openError.isError();
}

void AuditDatabase::close()
{
    if (QSqlDatabase::contains(ConnectionName)) {
        QSqlDatabase::database(ConnectionName, false).close();
        QSqlDatabase::removeDatabase(ConnectionName);
    }
}

bool AuditDatabase::isOpen() const
{
    return QSqlDatabase::contains(ConnectionName) &&
           QSqlDatabase::database(ConnectionName, false).isOpen();
}

QSqlDatabase AuditDatabase::connection() const
{
    return QSqlDatabase::database(ConnectionName, false);
}

void AuditDatabase::setStatementFault(StatementFault fault)
{
    statementFault = std::move(fault);
}

std::optional<QSqlQuery> AuditDatabase::run(QSqlDatabase db, const QString& jet,
                                            AuditError* error, bool forwardOnly)
{
    qCDebug(lcAuditSql).noquote() << "jet:   " << jet;
    AuditError failure;
    const auto sqlite = JetDialect::toSqlite(jet, &failure);
    if (!sqlite) {
        qCDebug(lcAuditSql).noquote() << "failed:" << failure.description;
        setError(error, failure);
        return std::nullopt;
    }
    qCDebug(lcAuditSql).noquote() << "sqlite:" << *sqlite;
    if (!db.isOpen()) {
        setError(error, {ErrorDatabaseNotFound, QStringLiteral("The audit database is not open.")});
        return std::nullopt;
    }
    if (statementFault) {
        if (const auto injected = statementFault(*sqlite)) {
            qCDebug(lcAuditSql).noquote() << "failed:" << injected->description;
            setError(error, *injected);
            return std::nullopt;
        }
    }
    QSqlQuery query(db);
    query.setForwardOnly(forwardOnly);
    if (!query.exec(*sqlite)) {
        failure = errorOf(query.lastError());
        qCDebug(lcAuditSql).noquote() << "failed:" << failure.description;
        setError(error, failure);
        return std::nullopt;
    }
    setError(error, {});
    return query;
}

sqlite3_stmt* AuditDatabase::prepare(QSqlDatabase db, const QString& jet, AuditError* error)
{
    qCDebug(lcAuditSql).noquote() << "jet:   " << jet;
    AuditError failure;
    const auto sqlite = JetDialect::toSqlite(jet, &failure);
    if (sqlite)
        qCDebug(lcAuditSql).noquote() << "sqlite:" << *sqlite;
    sqlite3* handle = SqliteHandleOf(db);
    if (sqlite && !handle)
        failure = {ErrorDatabaseNotFound, QStringLiteral("The audit database is not open.")};
    sqlite3_stmt* statement = nullptr;
    if (sqlite && handle) {
        const QByteArray text = sqlite->toUtf8();
        if (sqlite3_prepare_v2(handle, text.constData(), static_cast<int>(text.size()),
                               &statement, nullptr) != SQLITE_OK) {
            failure = errorOfHandle(handle);
            sqlite3_finalize(statement);
            statement = nullptr;
        }
    }
    if (!statement)
        qCDebug(lcAuditSql).noquote() << "failed:" << failure.description;
    setError(error, statement ? AuditError{} : failure);
    return statement;
}

AuditError AuditDatabase::errorOf(sqlite3_stmt* statement)
{
    return errorOfHandle(sqlite3_db_handle(statement));
}

bool AuditDatabase::execute(const QString& jet, int* rowsAffected, AuditError* error)
{
    const AuditError readOnly = {
        ErrorReadOnly, QStringLiteral("The audit database %1 is read-only: nothing can be "
                                      "deleted from it.")
                           .arg(databasePath())};
    if (m_readOnly) {
        setError(error, readOnly);
        return false;
    }
    AuditError failure;
    auto query = run(connection(), jet, &failure, true);
    if ((failure.number & 0xff) == SQLITE_READONLY)
        failure = readOnly;
    setError(error, failure);
    if (!query)
        return false;
    const int affected = query->numRowsAffected();
    if (rowsAffected)
        *rowsAffected = affected;
    query->finish();
    if (affected > 0)
        keepStatistics(connection());
    return true;
}

void AuditDatabase::keepStatistics(QSqlDatabase db)
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

std::optional<QSqlQuery> AuditDatabase::select(const QString& jet, AuditError* error,
                                               bool forwardOnly)
{
    return run(connection(), jet, error, forwardOnly);
}

void Audit_InfoMessage(const AuditError& error)
{
    if (error.number == 0 || UnattendedMode)
        return;
    ShowMessage(QStringLiteral("Audit Database Error %1 - %2").arg(error.number).arg(error.description),
                MsgButtons::Ok, MsgIcon::None);
}
