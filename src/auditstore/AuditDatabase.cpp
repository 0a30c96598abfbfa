#include "AuditDatabase.h"

#include "AppState.h"
#include "JetDialect.h"
#include "UiHooks.h"

#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>

#include <sqlite3.h>

Q_LOGGING_CATEGORY(lcAuditSql, "audit.sql", QtWarningMsg)

namespace {

void setError(AuditError* error, const AuditError& value)
{
    if (error)
        *error = value;
}

// The SQLite handle behind a QSQLITE connection (Qt's driver and this program
// use the same system SQLite library).
sqlite3* handleOf(const QSqlDatabase& db)
{
    if (!db.isOpen() || !db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
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
    const qsizetype end = connectionString.indexOf(QLatin1Char(';'), from);
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

QSqlDatabase AuditDatabase::openConnection(const QString& connectionString, const QString& name,
                                           AuditError* error)
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
    // mode=rw: open an existing file only, never create one.
    QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    url.setQuery(QStringLiteral("mode=rw"));
    db.setDatabaseName(url.toString(QUrl::FullyEncoded));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1")
                             .arg(BusyTimeoutMs));
    if (!db.open()) {
        setError(error, errorOf(db.lastError()));
        return db;
    }

    QSqlQuery pragma(db);
    if (!pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL"))) {
        const AuditError failure = errorOf(pragma.lastError());
        db.close();
        setError(error, failure);
        return db;
    }
    pragma.next();
    if (pragma.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        Audit_InfoMessage({1, QStringLiteral("The database could not use a write-ahead journal; "
                                             "readers may wait for writers.")});
    pragma.finish();
    pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));

    QSqlQuery check(db);
    if (!check.exec(QStringLiteral("SELECT 1 FROM Audit LIMIT 0"))) {
        const AuditError failure = errorOf(check.lastError());
        check.finish();
        db.close();
        setError(error, failure);
        return db;
    }
    return db;
}

bool AuditDatabase::open(const QString& connectionString, AuditError* error)
{
    close();
    m_connectionString = connectionString;
    m_openError = {};
    QSqlDatabase db = openConnection(connectionString, ConnectionName, &m_openError);
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
    sqlite3* handle = handleOf(db);
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
    auto query = run(connection(), jet, error, true);
    if (!query)
        return false;
    if (rowsAffected)
        *rowsAffected = query->numRowsAffected();
    return true;
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
