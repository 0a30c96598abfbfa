#pragma once

#include "AuditError.h"

#include <QSqlDatabase>
#include <QString>
#include <QVector>

#include <memory>

struct sqlite3_stmt;

// Steps through a one-column whole-number result (the keys of a view) with
// SQLite's own statement API on a connection of the audit database. A million
// keys come off in a fraction of the time QSqlQuery needs to wrap each value.
// The statement is built in the Jet dialect and goes through the same dialect
// layer and audit.sql logging as every other statement.
class AuditKeyCursor
{
public:
    static std::unique_ptr<AuditKeyCursor> open(QSqlDatabase db, const QString& jet,
                                                AuditError* error = nullptr);
    ~AuditKeyCursor();

    // Appends up to limit keys. False once the result is exhausted (then
    // error tells whether stepping failed).
    bool read(int limit, QVector<qint64>& keys, AuditError* error = nullptr);

private:
    explicit AuditKeyCursor(sqlite3_stmt* statement) : m_statement(statement) {}
    sqlite3_stmt* m_statement;
};
