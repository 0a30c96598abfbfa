#include "AuditKeyCursor.h"

#include "AuditDatabase.h"

#include <sqlite3.h>

std::unique_ptr<AuditKeyCursor> AuditKeyCursor::open(QSqlDatabase db, const QString& jet,
                                                     AuditError* error)
{
    sqlite3_stmt* statement = AuditDatabase::prepare(db, jet, error);
    if (!statement)
        return nullptr;
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
            *error = AuditDatabase::errorOf(m_statement);
        return false;
    }
    return true;
}
