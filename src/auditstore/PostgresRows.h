#pragma once

#include "AuditRows.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <libpq-fe.h>

// Rows of a statement on a PostgreSQL connection, read with libpq on the
// connection Qt's QPSQL driver opened: a statement with marks ($1, $2, ...)
// as a prepared statement run whole for each start(), one without through a
// server-side cursor a batch of FetchSize rows at a time, so that a million
// rows are never held at once. Values come as the server's text.
class PostgresRows : public AuditRows
{
public:
    PostgresRows(QSqlDatabase db, const QString& sql, int marks);
    ~PostgresRows() override;
    bool start(const qint64* values, int count) override;
    bool next() override;
    void reset() override;
    int columnCount() const override;
    QString columnName(int column) const override;
    qint64 integer(int column) const override;
    QByteArrayView text(int column) const override;
    QVariant value(int column) const override;
    Raw raw(int column) const override;
    PostgresRows(const PostgresRows&) = delete;
    PostgresRows& operator=(const PostgresRows&) = delete;

    // The libpq connection behind an open QPSQL connection, or null.
    static PGconn* connectionOf(const QSqlDatabase& db);
    // The error of a result (null: of the connection), numbered by its
    // SQLSTATE where that is a number, as the server's one-line message.
    static AuditError errorOf(PGconn* conn, const PGresult* result);

    static constexpr int FetchSize = 2000;

private:
    // The connection is still the one the rows were made on, and open.
    bool alive() const;
    bool fail(const PGresult* result);
    bool runPrepared(const qint64* values, int count, bool retry = true);
    // A cursor lives in a transaction: the caller's when one is open, else one
    // of its own until the last row or reset(). Its own reads one snapshot in
    // every statement, as a read transaction of the file does: further cursors
    // opened on the connection meanwhile (a view's count, its keys from the
    // back) see exactly the rows the first one sees.
    bool openCursor();
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
