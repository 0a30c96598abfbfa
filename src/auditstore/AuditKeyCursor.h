#pragma once

#include "AuditError.h"
#include "AuditRows.h"

#include <QSqlDatabase>
#include <QString>
#include <QVector>

#include <memory>

// Steps through a one-column whole-number result (the keys of a view) with the
// backend's own client library on a connection of the audit database (SQLite's
// statement API; a server-side cursor on PostgreSQL). A million keys come off
// in a fraction of the time QSqlQuery needs to wrap each value.
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
    explicit AuditKeyCursor(std::unique_ptr<AuditRows> rows);
    std::unique_ptr<AuditRows> m_rows;
};
