#include "AuditDatabase.h"

#include "AppState.h"
#include "JetDialect.h"
#include "UiHooks.h"

#include <QFileInfo>
#include <QSqlError>
#include <QUrl>

Q_LOGGING_CATEGORY(lcAuditSql, "audit.sql", QtWarningMsg)

namespace {

AuditDatabase::StatementFault statementFault;

void setError(AuditError* error, const AuditError& value)
{
    if (error)
        *error = value;
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
