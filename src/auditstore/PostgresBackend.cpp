#include "PostgresBackend.h"

#include "AuditDatabase.h"
#include "PostgresDialect.h"
#include "PostgresRows.h"
#include "StatementProgress.h"

#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <libpq-fe.h>
#include <poll.h>

namespace {

// SQLSTATEs of a change refused: a read-only transaction, missing privilege.
constexpr int ReadOnlyState = 25006, NoPrivilegeState = 42501;

void setError(AuditError* error, const AuditError& value)
{
    if (error)
        *error = value;
}

bool exec(QSqlDatabase db, const QString& text, AuditError* error)
{
    QSqlQuery query(db);
    if (query.exec(text))
        return true;
    setError(error, AuditDatabase::errorOf(query.lastError()));
    return false;
}

// The progress watching each connection, by the connection's name.
QMutex watchesLock;
QHash<QString, StatementProgress*> watches;

StatementProgress* watchOf(const QSqlDatabase& db)
{
    QMutexLocker lock(&watchesLock);
    return watches.value(db.connectionName());
}

// How long one wait on the server's socket lasts before the progress ticks.
constexpr int WaitMs = 25;

// Sends a statement and waits for its answer, the progress ticking meanwhile;
// every result is read, so the connection is ready for the next statement.
bool sendAndWait(PGconn* conn, const QString& text, StatementProgress* progress, int* affected,
                 AuditError* error)
{
    if (!PQsendQuery(conn, text.toUtf8().constData())) {
        setError(error, PostgresRows::errorOf(conn, nullptr));
        return false;
    }
    while (PQisBusy(conn)) {
        progress->poll();
        pollfd socket = {PQsocket(conn), POLLIN, 0};
        if (poll(&socket, 1, WaitMs) < 0 && errno != EINTR)
            break;
        if (!PQconsumeInput(conn))
            break;
    }
    AuditError failure;
    bool answered = false;
    while (PGresult* result = PQgetResult(conn)) {
        answered = true;
        if (PQresultStatus(result) == PGRES_COMMAND_OK) {
            if (affected)
                *affected = QByteArray(PQcmdTuples(result)).toInt();
        } else if (!failure.isError()) {
            failure = PostgresRows::errorOf(conn, result);
        }
        PQclear(result);
    }
    if (!answered || PQstatus(conn) == CONNECTION_BAD)
        failure = PostgresRows::errorOf(conn, nullptr);
    setError(error, failure);
    return !failure.isError();
}

} // namespace

bool PostgresBackend::isUri(const QString& connectionString)
{
    return connectionString.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           connectionString.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

bool PostgresBackend::configure(QSqlDatabase& db, const QString& uri, QString* error)
{
    char* message = nullptr;
    PQconninfoOption* options = PQconninfoParse(uri.toUtf8().constData(), &message);
    if (!options) {
        if (error)
            *error = message ? QString::fromUtf8(message).trimmed() : QStringLiteral("out of memory");
        PQfreemem(message);
        return false;
    }
    // All of them as the driver's connect options, which it hands to libpq
    // as they are (a ';' between them becomes a blank).
    QStringList parameters;
    for (const PQconninfoOption* option = options; option->keyword; ++option) {
        if (!option->val)
            continue;
        QString value = QString::fromUtf8(option->val);
        value.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
        value.replace(QLatin1Char('\''), QLatin1String("\\'"));
        parameters.append(QString::fromLatin1(option->keyword) + QStringLiteral("='") + value +
                          QLatin1Char('\''));
    }
    PQconninfoFree(options);
    db.setConnectOptions(parameters.join(QLatin1Char(' ')));
    return true;
}

std::optional<QString> PostgresBackend::translate(const QString& jet, AuditError* error) const
{
    return PostgresDialect::fromJet(jet, error);
}

QSqlDatabase PostgresBackend::open(const QString& connectionString, const QString& name,
                                   AuditError* error, bool* readOnly) const
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    if (!db.isValid()) {
        setError(error, {ErrorDatabaseNotFound,
                         QStringLiteral("Qt's PostgreSQL driver (QPSQL) is not installed.")});
        return db;
    }
    QString problem;
    if (!configure(db, connectionString, &problem)) {
        setError(error, {ErrorDatabaseNotFound, problem});
        return db;
    }
    if (!db.open()) {
        setError(error, {ErrorDatabaseNotFound,
                         QStringLiteral("Could not connect to %1: %2")
                             .arg(connectionString,
                                  AuditDatabase::errorOf(db.lastError()).description)});
        return db;
    }
    // The server's notices (a warning that it shuts down) go to the SQL log,
    // not to standard error beside the run's one line.
    PQsetNoticeProcessor(
        PostgresRows::connectionOf(db),
        [](void*, const char* message) {
            qCDebug(lcAuditSql).noquote() << "notice:" << QString::fromUtf8(message).trimmed();
        },
        nullptr);
    QSqlQuery check(db);
    if (!check.exec(QStringLiteral("SELECT 1 FROM audit LIMIT 0")) ||
        !check.exec(QStringLiteral("SELECT has_table_privilege('audit', 'DELETE')")) ||
        !check.next()) {
        AuditError failure = AuditDatabase::errorOf(check.lastError());
        // A role that may not read the table cannot open the audit database.
        if (failure.number == NoPrivilegeState)
            failure = {ErrorDatabaseNotFound,
                       QStringLiteral("%1 (role %2)")
                           .arg(failure.description,
                                QString::fromUtf8(PQuser(PostgresRows::connectionOf(db))))};
        setError(error, failure);
        check.finish();
        db.close();
        return db;
    }
    if (readOnly)
        *readOnly = !check.value(0).toBool();
    return db;
}

std::unique_ptr<AuditRows> PostgresBackend::rows(QSqlDatabase db, const QString& translated,
                                                 AuditError* error) const
{
    if (!PostgresRows::connectionOf(db)) {
        setError(error, {ErrorDatabaseNotFound, QStringLiteral("The audit database is not open.")});
        return nullptr;
    }
    static const QRegularExpression mark(QStringLiteral("\\$(\\d+)"));
    int marks = 0;
    for (auto it = mark.globalMatch(translated); it.hasNext();)
        marks = qMax(marks, it.next().captured(1).toInt());
    setError(error, {});
    return std::make_unique<PostgresRows>(db, translated, marks);
}

bool PostgresBackend::storeKeys(QSqlDatabase db, const QString& table, const QList<qint64>& keys,
                                AuditError* error) const
{
    QStringList numbers;
    numbers.reserve(keys.size());
    for (qint64 key : keys)
        numbers.append(QString::number(key));
    return exec(db, QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS %1 "
                                   "(autoindex bigint PRIMARY KEY)").arg(table), error) &&
           exec(db, QStringLiteral("TRUNCATE pg_temp.") + table, error) &&
           exec(db, QStringLiteral("INSERT INTO pg_temp.%1 SELECT DISTINCT unnest('{%2}'::bigint[])")
                        .arg(table, numbers.join(QLatin1Char(','))), error) &&
           // Autovacuum never sees a temporary table: without statistics the
           // planner guesses thousands of keys and hashes them against a walk of
           // all of audit instead of looking each one up by its key.
           exec(db, QStringLiteral("ANALYZE pg_temp.") + table, error);
}

bool PostgresBackend::dropKeys(QSqlDatabase db, const QString& table, AuditError* error) const
{
    return exec(db, QStringLiteral("DROP TABLE IF EXISTS pg_temp.") + table, error);
}

bool PostgresBackend::change(QSqlDatabase db, const QString& translated, int* affected,
                             AuditError* error) const
{
    StatementProgress* progress = watchOf(db);
    PGconn* conn = PostgresRows::connectionOf(db);
    if (!progress || !conn)
        return AuditBackend::change(db, translated, affected, error);
    return sendAndWait(conn, translated, progress, affected, error);
}

bool PostgresBackend::watch(QSqlDatabase db, StatementProgress* progress) const
{
    if (!PostgresRows::connectionOf(db))
        return false;
    QMutexLocker lock(&watchesLock);
    if (progress)
        watches.insert(db.connectionName(), progress);
    else
        watches.remove(db.connectionName());
    return true;
}

bool PostgresBackend::beginRead(QSqlDatabase db) const
{
    // One snapshot for every statement, as a read transaction of the file
    // has; changes keep the server's default (each statement sees what was
    // committed when it began), so two hosts purging at once both succeed.
    if (!db.transaction())
        return false;
    QSqlQuery(db).exec(QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ"));
    return true;
}

bool PostgresBackend::isReadOnlyError(const AuditError& error) const
{
    return error.number == ReadOnlyState || error.number == NoPrivilegeState;
}
