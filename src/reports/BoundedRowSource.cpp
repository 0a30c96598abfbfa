#include "BoundedRowSource.h"

namespace {
const QString AutoIndexField = QStringLiteral("AutoIndex");
}

BoundedRowSource::BoundedRowSource(ReportRowSource& rows, qint64 highestIndex)
    : m_rows(rows), m_bound(highestIndex)
{
}

bool BoundedRowSource::start(QString* error)
{
    if (++m_passes == 1)
        m_keys.clear();
    if (m_rows.start(error))
        return true;
    m_failed = true;
    return false;
}

bool BoundedRowSource::next()
{
    while (m_rows.next()) {
        const AuditRows::Raw raw = m_rows.raw(AutoIndexField);
        const qint64 index = raw.kind == AuditRows::Raw::Integer
                                 ? raw.integer
                                 : m_rows.value(AutoIndexField).toLongLong();
        if (index > m_bound)
            continue;
        m_highestRead = qMax(m_highestRead, index);
        if (m_passes == 1)
            m_keys.append(index);
        return true;
    }
    if (!m_rows.lastError().isEmpty())
        m_failed = true;
    return false;
}

void BoundedRowSource::setFieldsToRead(const QStringList& fields)
{
    QStringList wanted{AutoIndexField};
    for (const QString& field : fields) {
        if (!wanted.contains(field, Qt::CaseInsensitive))
            wanted.append(field);
    }
    m_rows.setFieldsToRead(wanted);
}

QVariant BoundedRowSource::value(const QString& field) const
{
    return m_rows.value(field);
}
