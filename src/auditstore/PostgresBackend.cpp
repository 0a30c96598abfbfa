#include "PostgresBackend.h"

#include "AuditDatabase.h"
#include "PostgresDialect.h"

#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <atomic>
#include <libpq-fe.h>

namespace {

// Type numbers of PostgreSQL's built-in types.
constexpr Oid BoolOid = 16, Int8Oid = 20, Int2Oid = 21, Int4Oid = 23, Float4Oid = 700,
              Float8Oid = 701, NumericOid = 1700;

// SQLSTATEs of a change refused: a read-only transaction, missing privilege.
constexpr int ReadOnlyState = 25006, NoPrivilegeState = 42501;

void setError(AuditError* error, const AuditError& value)
{
    if (error)
        *error = value;
}

PGconn* connectionOf(const QSqlDatabase& db)
{
    if (!db.isOpen() || !db.driver())
        return nullptr;
    // Qt's driver names the type by libpq's struct, "pg_conn*".
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || (qstrcmp(handle.typeName(), "PGconn*") != 0 &&
                              qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return nullptr;
    return *static_cast<PGconn* const*>(handle.constData());
}

AuditError connectionError(PGconn* conn)
{
    return {PQstatus(conn) == CONNECTION_BAD ? ErrorDatabaseNotFound : 1,
            QString::fromUtf8(PQerrorMessage(conn)).trimmed()};
}

// The error of a result, numbered by its SQLSTATE where that is a number.
AuditError resultError(PGconn* conn, const PGresult* result)
{
    if (!result)
        return connectionError(conn);
    bool ok = false;
    int number = QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE)).toInt(&ok);
    if (!ok || number == 0)
        number = 1;
    if (PQstatus(conn) == CONNECTION_BAD)
        number = ErrorDatabaseNotFound;
    // The server's one-line message, without its severity and the statement.
    const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
    return {number, QString::fromUtf8(primary ? primary : PQresultErrorMessage(result)).trimmed()};
}

QByteArray uniqueName(const char* prefix)
{
    static std::atomic<int> counter{0};
    return QByteArray(prefix) + QByteArray::number(++counter);
}

class PostgresRows : public AuditRows
{
public:
    PostgresRows(QSqlDatabase db, const QString& sql, int marks)
        : m_db(std::move(db)), m_conn(connectionOf(m_db)), m_sql(sql.toUtf8()), m_marks(marks)
    {
    }
    ~PostgresRows() override
    {
        reset();
        if (!m_prepared.isEmpty() && alive())
            PQclear(PQexec(m_conn, "DEALLOCATE " + m_prepared));
    }

    bool start(const qint64* values, int count) override
    {
        reset();
        m_error = {};
        if (!alive())
            return fail(nullptr);
        return m_marks > 0 ? runPrepared(values, count) : openCursor();
    }

    bool next() override
    {
        if (++m_row < m_rowCount)
            return true;
        if (m_cursor.isEmpty())
            return false;
        PQclear(m_result);
        m_result = PQexec(m_conn, "FETCH FORWARD " + QByteArray::number(PostgresBackend::FetchSize) +
                                      " FROM " + m_cursor);
        if (PQresultStatus(m_result) != PGRES_TUPLES_OK) {
            fail(m_result);
            reset();
            return false;
        }
        m_rowCount = PQntuples(m_result);
        m_row = 0;
        if (m_rowCount > 0)
            return true;
        reset();
        return false;
    }

    void reset() override
    {
        PQclear(m_result);
        m_result = nullptr;
        m_row = -1;
        m_rowCount = 0;
        if (m_cursor.isEmpty() || !alive()) {
            m_cursor.clear();
            return;
        }
        if (PQtransactionStatus(m_conn) == PQTRANS_INTRANS)
            PQclear(PQexec(m_conn, "CLOSE " + m_cursor));
        if (m_ownTransaction)
            PQclear(PQexec(m_conn, PQtransactionStatus(m_conn) == PQTRANS_INTRANS ? "COMMIT"
                                                                                 : "ROLLBACK"));
        m_cursor.clear();
        m_ownTransaction = false;
    }

    int columnCount() const override { return m_result ? PQnfields(m_result) : 0; }
    QString columnName(int column) const override
    {
        return m_result ? QString::fromUtf8(PQfname(m_result, column)) : QString();
    }
    qint64 integer(int column) const override
    {
        return std::strtoll(PQgetvalue(m_result, m_row, column), nullptr, 10);
    }
    QByteArrayView text(int column) const override
    {
        return QByteArrayView(PQgetvalue(m_result, m_row, column),
                              PQgetlength(m_result, m_row, column));
    }
    QVariant value(int column) const override
    {
        if (PQgetisnull(m_result, m_row, column))
            return QVariant();
        const char* text = PQgetvalue(m_result, m_row, column);
        switch (PQftype(m_result, column)) {
        case Int2Oid:
        case Int4Oid:
        case Int8Oid:
            return QVariant(qlonglong(std::strtoll(text, nullptr, 10)));
        case Float4Oid:
        case Float8Oid:
        case NumericOid:
            return QVariant(std::strtod(text, nullptr));
        case BoolOid:
            return QVariant(qlonglong(text[0] == 't' ? 1 : 0));
        default:
            return QVariant(QString::fromUtf8(text, PQgetlength(m_result, m_row, column)));
        }
    }

private:
    // The connection is still the one the rows were made on, and open.
    bool alive() const { return m_conn && connectionOf(m_db) == m_conn; }

    bool fail(const PGresult* result)
    {
        m_error = m_conn ? resultError(m_conn, result)
                         : AuditError{ErrorDatabaseNotFound,
                                      QStringLiteral("The audit database is not open.")};
        return false;
    }

    bool runPrepared(const qint64* values, int count, bool retry = true)
    {
        if (m_prepared.isEmpty()) {
            const QByteArray name = uniqueName("audit_statement_");
            PGresult* prepared = PQprepare(m_conn, name, m_sql, m_marks, nullptr);
            const bool ok = PQresultStatus(prepared) == PGRES_COMMAND_OK;
            if (!ok)
                fail(prepared);
            PQclear(prepared);
            if (!ok)
                return false;
            m_prepared = name;
        }
        QList<QByteArray> texts;
        std::vector<const char*> parameters(static_cast<size_t>(m_marks), nullptr);
        for (int n = 0; n < qMin(count, m_marks); ++n) {
            texts.append(QByteArray::number(values[n]));
            parameters[static_cast<size_t>(n)] = texts.last().constData();
        }
        m_result = PQexecPrepared(m_conn, m_prepared, m_marks, parameters.data(), nullptr,
                                  nullptr, 0);
        // A connection opened anew under the same name has lost the statement:
        // it is prepared again.
        if (PQresultStatus(m_result) != PGRES_TUPLES_OK && retry &&
            qstrcmp(PQresultErrorField(m_result, PG_DIAG_SQLSTATE), "26000") == 0) {
            PQclear(m_result);
            m_result = nullptr;
            m_prepared.clear();
            return runPrepared(values, count, false);
        }
        if (PQresultStatus(m_result) != PGRES_TUPLES_OK) {
            fail(m_result);
            PQclear(m_result);
            m_result = nullptr;
            return false;
        }
        m_rowCount = PQntuples(m_result);
        return true;
    }

    // A cursor lives in a transaction: the caller's when one is open, else one
    // of its own until the last row or reset(). Its own reads one snapshot in
    // every statement, as a read transaction of the file does: further cursors
    // opened on the connection meanwhile (a view's count, its keys from the
    // back) see exactly the rows the first one sees.
    bool openCursor()
    {
        if (PQtransactionStatus(m_conn) == PQTRANS_IDLE) {
            PGresult* begin = PQexec(m_conn, "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
            const bool ok = PQresultStatus(begin) == PGRES_COMMAND_OK;
            if (!ok)
                fail(begin);
            PQclear(begin);
            if (!ok)
                return false;
            m_ownTransaction = true;
        }
        const QByteArray name = uniqueName("audit_cursor_");
        PGresult* declared =
            PQexec(m_conn, "DECLARE " + name + " NO SCROLL CURSOR FOR " + m_sql);
        const bool ok = PQresultStatus(declared) == PGRES_COMMAND_OK;
        if (!ok)
            fail(declared);
        PQclear(declared);
        m_cursor = name;
        if (!ok) {
            reset();
            return false;
        }
        // The first batch, so that the columns are known before the first row.
        if (!next())
            return !m_error.isError();
        m_row = -1;
        return true;
    }

    QSqlDatabase m_db;
    PGconn* m_conn;
    QByteArray m_sql;
    int m_marks;
    QByteArray m_prepared;
    QByteArray m_cursor;
    bool m_ownTransaction = false;
    PGresult* m_result = nullptr;
    int m_row = -1;
    int m_rowCount = 0;
};

bool exec(QSqlDatabase db, const QString& text, AuditError* error)
{
    QSqlQuery query(db);
    if (query.exec(text))
        return true;
    setError(error, AuditDatabase::errorOf(query.lastError()));
    return false;
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
        const QSqlError failure = db.lastError();
        setError(error, {ErrorDatabaseNotFound,
                         QStringLiteral("Could not connect to %1: %2")
                             .arg(connectionString,
                                  failure.databaseText().isEmpty() ? failure.text()
                                                                   : failure.databaseText())
                             .trimmed()});
        return db;
    }
    QSqlQuery check(db);
    if (!check.exec(QStringLiteral("SELECT 1 FROM audit LIMIT 0")) ||
        !check.exec(QStringLiteral("SELECT has_table_privilege('audit', 'DELETE')")) ||
        !check.next()) {
        setError(error, AuditDatabase::errorOf(check.lastError()));
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
    if (!connectionOf(db)) {
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
                        .arg(table, numbers.join(QLatin1Char(','))), error);
}

bool PostgresBackend::dropKeys(QSqlDatabase db, const QString& table, AuditError* error) const
{
    return exec(db, QStringLiteral("DROP TABLE IF EXISTS pg_temp.") + table, error);
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
