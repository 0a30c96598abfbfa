#include "StatementProgress.h"

#include "AuditBackend.h"

StatementProgress::StatementProgress(const QSqlDatabase& db, std::function<void()> tick,
                                     int intervalMs)
    : m_db(db), m_tick(std::move(tick)), m_intervalMs(intervalMs)
{
    m_active = m_tick && m_db.isOpen() && AuditBackend::of(m_db).watch(m_db, this);
}

StatementProgress::~StatementProgress()
{
    if (m_active)
        AuditBackend::of(m_db).watch(m_db, nullptr);
}

void StatementProgress::poll()
{
    // A tick that itself runs long (or re-enters) must not stack up.
    if (m_inTick)
        return;
    if (m_sinceTick.isValid() && m_sinceTick.elapsed() < m_intervalMs)
        return;
    m_inTick = true;
    m_tick();
    m_inTick = false;
    m_sinceTick.start();
}
