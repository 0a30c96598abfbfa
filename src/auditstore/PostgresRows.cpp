#include "PostgresRows.h"

#include "AuditDatabase.h"

#include <QSqlDriver>
#include <QVariant>
#include <atomic>
#include <cstdlib>
#include <vector>

namespace {

// Type numbers of PostgreSQL's built-in types.
constexpr Oid BoolOid = 16, Int8Oid = 20, Int2Oid = 21, Int4Oid = 23, Float4Oid = 700,
              Float8Oid = 701, NumericOid = 1700;

AuditError connectionError(PGconn* conn)
{
    return {PQstatus(conn) == CONNECTION_BAD ? ErrorDatabaseNotFound : 1,
            AuditDatabase::oneLine(QString::fromUtf8(PQerrorMessage(conn)))};
}

} // namespace

AuditError PostgresRows::errorOf(PGconn* conn, const PGresult* result)
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
    return {number, AuditDatabase::oneLine(
                        QString::fromUtf8(primary ? primary : PQresultErrorMessage(result)))};
}

namespace {

QByteArray uniqueName(const char* prefix)
{
    static std::atomic<int> counter{0};
    return QByteArray(prefix) + QByteArray::number(++counter);
}

} // namespace

PGconn* PostgresRows::connectionOf(const QSqlDatabase& db)
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

PostgresRows::PostgresRows(QSqlDatabase db, const QString& sql, int marks)
    : m_db(std::move(db)), m_conn(connectionOf(m_db)), m_sql(sql.toUtf8()), m_marks(marks)
{
}

PostgresRows::~PostgresRows()
{
    reset();
    if (!m_prepared.isEmpty() && alive())
        PQclear(PQexec(m_conn, "DEALLOCATE " + m_prepared));
}

bool PostgresRows::start(const qint64* values, int count)
{
    reset();
    m_error = {};
    if (!alive())
        return fail(nullptr);
    return m_marks > 0 ? runPrepared(values, count) : openCursor();
}

bool PostgresRows::next()
{
    if (++m_row < m_rowCount)
        return true;
    if (m_cursor.isEmpty())
        return false;
    PQclear(m_result);
    m_result = PQexec(m_conn, "FETCH FORWARD " + QByteArray::number(FetchSize) +
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

void PostgresRows::reset()
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

int PostgresRows::columnCount() const
{
    return m_result ? PQnfields(m_result) : 0;
}

QString PostgresRows::columnName(int column) const
{
    return m_result ? QString::fromUtf8(PQfname(m_result, column)) : QString();
}

qint64 PostgresRows::integer(int column) const
{
    return std::strtoll(PQgetvalue(m_result, m_row, column), nullptr, 10);
}

QByteArrayView PostgresRows::text(int column) const
{
    return QByteArrayView(PQgetvalue(m_result, m_row, column),
                          PQgetlength(m_result, m_row, column));
}

QVariant PostgresRows::value(int column) const
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

AuditRows::Raw PostgresRows::raw(int column) const
{
    if (PQgetisnull(m_result, m_row, column))
        return {Raw::Null, {}, 0};
    const char* text = PQgetvalue(m_result, m_row, column);
    switch (PQftype(m_result, column)) {
    case Int2Oid:
    case Int4Oid:
    case Int8Oid:
        return {Raw::Integer, {}, qint64(std::strtoll(text, nullptr, 10))};
    case Float4Oid:
    case Float8Oid:
    case NumericOid:
    case BoolOid:
        return {};
    default:
        return {Raw::Text, QByteArrayView(text, PQgetlength(m_result, m_row, column)), 0};
    }
}

// The connection is still the one the rows were made on, and open.
bool PostgresRows::alive() const
{
    return m_conn && connectionOf(m_db) == m_conn;
}

bool PostgresRows::fail(const PGresult* result)
{
    m_error = m_conn ? errorOf(m_conn, result)
                     : AuditError{ErrorDatabaseNotFound,
                                  QStringLiteral("The audit database is not open.")};
    return false;
}

bool PostgresRows::runPrepared(const qint64* values, int count, bool retry)
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
bool PostgresRows::openCursor()
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
