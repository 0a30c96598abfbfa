#pragma once

#include "AuditRows.h"

struct sqlite3;
struct sqlite3_stmt;

// Rows of a prepared statement on an SQLite connection, stepped through with
// SQLite's own statement API.
class SqliteRows : public AuditRows
{
public:
    explicit SqliteRows(sqlite3_stmt* statement);
    ~SqliteRows() override;
    bool start(const qint64* values, int count) override;
    bool next() override;
    void reset() override;
    int columnCount() const override;
    QString columnName(int column) const override;
    qint64 integer(int column) const override;
    QByteArrayView text(int column) const override;
    QVariant value(int column) const override;
    Raw raw(int column) const override;
    SqliteRows(const SqliteRows&) = delete;
    SqliteRows& operator=(const SqliteRows&) = delete;

    // The error of a connection as the program reports it.
    static AuditError errorOf(sqlite3* db);

private:
    sqlite3_stmt* m_statement;
};
