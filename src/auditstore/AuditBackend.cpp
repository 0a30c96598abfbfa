#include "AuditBackend.h"

#include "PostgresBackend.h"
#include "SqliteBackend.h"

#include "AuditDatabase.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

namespace {
const SqliteBackend sqlite;
const PostgresBackend postgres;
} // namespace

const AuditBackend& AuditBackend::forConnectionString(const QString& connectionString)
{
    if (PostgresBackend::isUri(connectionString.trimmed()))
        return postgres;
    return sqlite;
}

const AuditBackend& AuditBackend::of(const QSqlDatabase& db)
{
    if (db.driverName() == QLatin1String("QPSQL"))
        return postgres;
    return sqlite;
}

bool AuditBackend::change(QSqlDatabase db, const QString& translated, int* affected,
                          AuditError* error) const
{
    QSqlQuery query(db);
    if (!query.exec(translated)) {
        if (error)
            *error = AuditDatabase::errorOf(query.lastError());
        return false;
    }
    if (affected)
        *affected = query.numRowsAffected();
    return true;
}
