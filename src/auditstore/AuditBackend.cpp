#include "AuditBackend.h"

#include "PostgresBackend.h"
#include "SqliteBackend.h"

#include <QSqlDriver>

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
