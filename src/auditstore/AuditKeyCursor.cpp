#include "AuditKeyCursor.h"

#include "AuditDatabase.h"

std::unique_ptr<AuditKeyCursor> AuditKeyCursor::open(QSqlDatabase db, const QString& jet,
                                                     AuditError* error)
{
    auto rows = AuditDatabase::rows(db, jet, error);
    if (!rows)
        return nullptr;
    if (!rows->start()) {
        if (error)
            *error = rows->error();
        return nullptr;
    }
    return std::unique_ptr<AuditKeyCursor>(new AuditKeyCursor(std::move(rows)));
}

AuditKeyCursor::AuditKeyCursor(std::unique_ptr<AuditRows> rows) : m_rows(std::move(rows)) {}

AuditKeyCursor::~AuditKeyCursor() = default;

bool AuditKeyCursor::read(int limit, QVector<qint64>& keys, AuditError* error)
{
    if (error)
        *error = {};
    for (int n = 0; n < limit; ++n) {
        if (m_rows->next()) {
            keys.append(m_rows->integer(0));
            continue;
        }
        if (error)
            *error = m_rows->error();
        return false;
    }
    return true;
}
