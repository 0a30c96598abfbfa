#include "AuditKeyCursor.h"

#include "AuditDatabase.h"
#include "JetDialect.h"
#include "SqliteHandle.h"

#include <sqlite3.h>

namespace {

AuditError errorOf(sqlite3* db)
{
    return {sqlite3_errcode(db), QString::fromUtf8(sqlite3_errmsg(db))};
}

} // namespace

std::unique_ptr<AuditKeyCursor> AuditKeyCursor::open(QSqlDatabase db, const QString& jet,
                                                     AuditError* error)
{
    qCDebug(lcAuditSql).noquote() << "jet:   " << jet;
    AuditError failure;
    const auto sqlite = JetDialect::toSqlite(jet, &failure);
    if (sqlite)
        qCDebug(lcAuditSql).noquote() << "sqlite:" << *sqlite;
    sqlite3* handle = SqliteHandleOf(db);
    if (sqlite && !handle)
        failure = {ErrorDatabaseNotFound, QStringLiteral("The audit database is not open.")};
    sqlite3_stmt* statement = nullptr;
    if (sqlite && handle) {
        const QByteArray text = sqlite->toUtf8();
        if (sqlite3_prepare_v2(handle, text.constData(), static_cast<int>(text.size()),
                               &statement, nullptr) != SQLITE_OK) {
            failure = errorOf(handle);
            sqlite3_finalize(statement);
            statement = nullptr;
        }
    }
    if (!statement) {
        qCDebug(lcAuditSql).noquote() << "failed:" << failure.description;
        if (error)
            *error = failure;
        return nullptr;
    }
    if (error)
        *error = {};
    return std::unique_ptr<AuditKeyCursor>(new AuditKeyCursor(statement));
}

AuditKeyCursor::~AuditKeyCursor() { sqlite3_finalize(m_statement); }

bool AuditKeyCursor::read(int limit, QVector<qint64>& keys, AuditError* error)
{
    if (error)
        *error = {};
    for (int n = 0; n < limit; ++n) {
        const int step = sqlite3_step(m_statement);
        if (step == SQLITE_ROW) {
            keys.append(sqlite3_column_int64(m_statement, 0));
            continue;
        }
        if (step != SQLITE_DONE && error)
            *error = errorOf(sqlite3_db_handle(m_statement));
        return false;
    }
    return true;
}
