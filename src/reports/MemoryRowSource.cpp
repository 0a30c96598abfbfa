#include "MemoryRowSource.h"

MemoryRowSource::MemoryRowSource(const QStringList& fields, const QList<QVariantList>& rows)
    : m_rows(rows)
{
    setFields(fields);
}

void MemoryRowSource::setFields(const QStringList& fields)
{
    m_fields = fields;
    m_index.clear();
    for (int i = 0; i < fields.size(); ++i)
        m_index.insert(fields.at(i), i);
}

void MemoryRowSource::addRow(const QVariantList& values)
{
    m_rows.append(values);
}

bool MemoryRowSource::start(QString* error)
{
    Q_UNUSED(error);
    ++m_startCount;
    m_current = -1;
    return true;
}

bool MemoryRowSource::next()
{
    if (m_current + 1 >= m_rows.size()) {
        m_current = m_rows.size();
        return false;
    }
    ++m_current;
    return true;
}

QVariant MemoryRowSource::value(const QString& field) const
{
    if (m_current < 0 || m_current >= m_rows.size())
        return QVariant();
    const int column = m_index.value(field, -1);
    return column < 0 ? QVariant() : m_rows.at(m_current).value(column);
}
