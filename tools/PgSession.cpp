#include "PgSession.h"

#include "AuditDatabase.h"

#include <libpq-fe.h>
#include <memory>

namespace {

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

// libpq's messages of several lines (a hint on a tab-indented second line)
// as one line, the way the program shows them.
QString serverText(const char* text)
{
    return AuditDatabase::oneLine(QString::fromUtf8(text));
}

} // namespace

QString PgSession::connectionProblem(const QString& connection)
{
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(connection.toUtf8().constData(), &error);
    if (!options) {
        const QString text = error ? serverText(error) : QStringLiteral("out of memory");
        PQfreemem(error);
        return QStringLiteral("'%1' is not a connection: %2").arg(connection, text);
    }
    bool password = false;
    for (PQconninfoOption* option = options; option->keyword; ++option)
        password |= qstrcmp(option->keyword, "password") == 0 && option->val && *option->val;
    PQconninfoFree(options);
    if (password)
        return QStringLiteral("the connection carries a password; put it in ~/.pgpass "
                              "(or the file PGPASSFILE names) instead");
    return QString();
}

PgSession::PgSession(const QString& connection)
{
    m_connection = PQconnectdb(connection.toUtf8().constData());
    if (PQstatus(m_connection) != CONNECTION_OK) {
        const QString text = serverText(PQerrorMessage(m_connection));
        PQfinish(m_connection);
        m_connection = nullptr;
        throw CopyFailure(QStringLiteral("cannot connect: %1").arg(text));
    }
    if (PQsetClientEncoding(m_connection, "UTF8") != 0)
        fail(QStringLiteral("setting the client encoding"));
    // Notices such as "already exists, skipping" are not the operator's business.
    exec(QStringLiteral("SET client_min_messages = warning"));
}

PgSession::~PgSession()
{
    PQfinish(m_connection);
}

void PgSession::fail(const QString& context)
{
    throw CopyFailure(
        QStringLiteral("%1: %2").arg(context, serverText(PQerrorMessage(m_connection))));
}

qint64 PgSession::exec(const QString& sql)
{
    Result result(PQexec(m_connection, sql.toUtf8().constData()), &PQclear);
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        throw CopyFailure(serverText(PQresultErrorMessage(result.get())));
    return QByteArray(PQcmdTuples(result.get())).toLongLong();
}

QString PgSession::value(const QString& sql)
{
    Result result(PQexec(m_connection, sql.toUtf8().constData()), &PQclear);
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK)
        throw CopyFailure(serverText(PQresultErrorMessage(result.get())));
    if (PQntuples(result.get()) == 0 || PQgetisnull(result.get(), 0, 0))
        return QString();
    return QString::fromUtf8(PQgetvalue(result.get(), 0, 0));
}

void PgSession::beginCopy(const QString& statement)
{
    Result result(PQexec(m_connection, statement.toUtf8().constData()), &PQclear);
    if (PQresultStatus(result.get()) != PGRES_COPY_IN)
        throw CopyFailure(serverText(PQresultErrorMessage(result.get())));
}

void PgSession::putCopy(const std::string& data)
{
    if (!data.empty() &&
        PQputCopyData(m_connection, data.data(), static_cast<int>(data.size())) != 1)
        fail(QStringLiteral("sending rows"));
}

void PgSession::endCopy()
{
    if (PQputCopyEnd(m_connection, nullptr) != 1)
        fail(QStringLiteral("ending the copy"));
    QString error;
    while (PGresult* raw = PQgetResult(m_connection)) {
        Result result(raw, &PQclear);
        if (PQresultStatus(raw) != PGRES_COMMAND_OK && error.isEmpty())
            error = serverText(PQresultErrorMessage(raw));
    }
    if (!error.isEmpty())
        throw CopyFailure(error);
}

void PgSession::abortCopy()
{
    PQputCopyEnd(m_connection, "copy abandoned");
    while (PGresult* raw = PQgetResult(m_connection))
        PQclear(raw);
}
