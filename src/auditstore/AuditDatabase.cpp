#include "AuditDatabase.h"

#include "AppState.h"
#include "AuditBackend.h"
#include "PostgresBackend.h"
#include "UiHooks.h"

#include <QRegularExpression>
#include <QSqlError>

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
    if (PostgresBackend::isUri(databasePath))
        return databasePath;
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

QString AuditDatabase::oneLine(const QString& message)
{
    QString line;
    for (const QString& part : message.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QString text = part.simplified();
        if (text.isEmpty())
            continue;
        // A line that starts a sentence ends the one before it.
        if (!line.isEmpty() && text.at(0).isUpper() && line.back().isLetterOrNumber())
            line += QLatin1Char('.');
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + text;
    }
    return line;
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
    // A server's text: "ERROR:  <message>", then the statement; the message alone.
    static const QRegularExpression severity(QStringLiteral("^(ERROR|FATAL|PANIC):\\s+"));
    if (error.description.contains(severity))
        error.description =
            error.description.remove(severity).section(QLatin1Char('\n'), 0, 0).trimmed();
    // The driver's empty "()" after a client library's text.
    error.description = oneLine(error.description);
    if (error.description.endsWith(QLatin1String(" ()")))
        error.description.chop(3);
    // SQLite refuses a text of several statements with the text of its last
    // result, "not an error"; the driver's own text says what happened.
    if (sqlError.driverText().contains(QLatin1String("multiple statements")))
        error.description = QStringLiteral("the text holds several statements; only one "
                                           "statement can run at a time");
    return error;
}

QSqlDatabase AuditDatabase::openConnection(const QString& connectionString, const QString& name,
                                           AuditError* error, bool* readOnly)
{
    if (QSqlDatabase::contains(name))
        QSqlDatabase::removeDatabase(name);
    return AuditBackend::forConnectionString(connectionString)
        .open(connectionString, name, error, readOnly);
}

QString AuditDatabase::locationOf(const QString& connectionString)
{
    return AuditBackend::forConnectionString(connectionString).location(connectionString);
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

namespace {

// The backend's text of a Jet text, both logged.
std::optional<QString> translated(const AuditBackend& backend, const QString& jet,
                                  AuditError* error)
{
    qCDebug(lcAuditSql).noquote() << "jet:   " << jet;
    const auto text = backend.translate(jet, error);
    if (text)
        qCDebug(lcAuditSql).noquote() << (backend.name() + QLatin1Char(':')) << *text;
    else
        qCDebug(lcAuditSql).noquote() << "failed:" << error->description;
    return text;
}

std::optional<AuditError> injectedFault(const QString& text)
{
    if (!statementFault)
        return std::nullopt;
    const auto injected = statementFault(text);
    if (injected)
        qCDebug(lcAuditSql).noquote() << "failed:" << injected->description;
    return injected;
}

// The backend's text of a Jet text, ready to run on an open connection
// (logged, and a test's injected fault given as its error).
std::optional<QString> runnable(QSqlDatabase db, const QString& jet, AuditError* error)
{
    AuditError failure;
    auto text = translated(AuditBackend::of(db), jet, &failure);
    if (!text) {
        setError(error, failure);
        return std::nullopt;
    }
    if (!db.isOpen()) {
        setError(error, {ErrorDatabaseNotFound, QStringLiteral("The audit database is not open.")});
        return std::nullopt;
    }
    if (const auto injected = injectedFault(*text)) {
        setError(error, *injected);
        return std::nullopt;
    }
    return text;
}

} // namespace

std::optional<QSqlQuery> AuditDatabase::run(QSqlDatabase db, const QString& jet,
                                            AuditError* error, bool forwardOnly)
{
    const auto text = runnable(db, jet, error);
    if (!text)
        return std::nullopt;
    AuditError failure;
    QSqlQuery query(db);
    // A forward-only query on a server connection would keep the connection
    // busy until its last row; the backend's row readers share it.
    query.setForwardOnly(forwardOnly && db.driverName() == QLatin1String("QSQLITE"));
    if (!query.exec(*text)) {
        failure = errorOf(query.lastError());
        qCDebug(lcAuditSql).noquote() << "failed:" << failure.description;
        setError(error, failure);
        return std::nullopt;
    }
    setError(error, {});
    return query;
}

std::unique_ptr<AuditRows> AuditDatabase::rows(QSqlDatabase db, const QString& jet,
                                               AuditError* error)
{
    const AuditBackend& backend = AuditBackend::of(db);
    AuditError failure;
    const auto text = translated(backend, jet, &failure);
    std::unique_ptr<AuditRows> rows;
    if (text) {
        rows = backend.rows(db, *text, &failure);
        if (!rows)
            qCDebug(lcAuditSql).noquote() << "failed:" << failure.description;
    }
    setError(error, failure);
    return rows;
}

bool AuditDatabase::beginRead()
{
    return AuditBackend::of(connection()).beginRead(connection());
}

bool AuditDatabase::storeKeys(const QString& table, const QList<qint64>& keys, AuditError* error)
{
    return AuditBackend::of(connection()).storeKeys(connection(), table, keys, error);
}

bool AuditDatabase::dropKeys(const QString& table, AuditError* error)
{
    return AuditBackend::of(connection()).dropKeys(connection(), table, error);
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
    const QSqlDatabase db = connection();
    const AuditBackend& backend = AuditBackend::of(db);
    AuditError failure;
    int affected = 0;
    const auto text = runnable(db, jet, &failure);
    if (text && !backend.change(db, *text, &affected, &failure))
        qCDebug(lcAuditSql).noquote() << "failed:" << failure.description;
    if (backend.isReadOnlyError(failure))
        failure = readOnly;
    setError(error, failure);
    if (failure.isError())
        return false;
    if (rowsAffected)
        *rowsAffected = affected;
    if (affected > 0)
        keepStatistics(connection());
    return true;
}

void AuditDatabase::keepStatistics(QSqlDatabase db)
{
    AuditBackend::of(db).keepStatistics(db);
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
