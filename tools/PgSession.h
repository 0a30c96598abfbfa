#pragma once

#include <QByteArray>
#include <QString>
#include <stdexcept>
#include <string>

struct pg_conn;

// What went wrong with a copy, in words for the operator (UTF-8).
struct CopyFailure : std::runtime_error
{
    using std::runtime_error::runtime_error;
    explicit CopyFailure(const QString& text) : std::runtime_error(text.toStdString()) {}
    QString text() const { return QString::fromUtf8(what()); }
};

// One libpq connection to a PostgreSQL database, for the tools that fill
// one. Every failure throws CopyFailure with the server's message. Closing
// the session without commit() rolls an open transaction back.
class PgSession
{
public:
    // Why a connection text (libpq URI or key=value list) cannot be used: it
    // does not parse, or it carries a password, which belongs in ~/.pgpass or
    // the file PGPASSFILE names, never on a command line. Empty when usable.
    static QString connectionProblem(const QString& connection);

    explicit PgSession(const QString& connection);
    ~PgSession();
    PgSession(const PgSession&) = delete;
    PgSession& operator=(const PgSession&) = delete;

    // Runs statements that return no rows (several, separated by ';'); the
    // number of rows the last one changed.
    qint64 exec(const QString& sql);
    // The first column of the first row of a query, empty when there is none.
    QString value(const QString& sql);
    qint64 count(const QString& sql) { return value(sql).toLongLong(); }

    // COPY ... FROM STDIN: begin, data in COPY text format, end.
    void beginCopy(const QString& statement);
    void putCopy(const std::string& data);
    void endCopy();
    // Ends a COPY that cannot be finished; the statement fails and with it
    // the transaction.
    void abortCopy();

private:
    [[noreturn]] void fail(const QString& context);

    pg_conn* m_connection = nullptr;
};
