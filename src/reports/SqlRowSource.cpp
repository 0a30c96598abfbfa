#include "SqlRowSource.h"

#include "AuditDatabase.h"

SqlRowSource::SqlRowSource(const QString& jetSelect) : m_statement(jetSelect) {}

SqlRowSource::~SqlRowSource()
{
    finish();
}

bool SqlRowSource::start(QString* error)
{
    close();
    m_index.clear();
    m_known.clear();
    m_lastError.clear();
    m_lastErrorNumber = 0;

    // One read transaction until finish(): the database keeps its snapshot. Without
    // one (the caller already has a transaction open) the live table is read.
    AuditDatabase& database = AuditDatabase::instance();
    if (!m_inTransaction && database.isOpen())
        m_inTransaction = database.beginRead();

    AuditError failure;
    m_query = AuditDatabase::rows(database.connection(), m_statement, &failure);
    if (m_query && !m_query->start())
        failure = m_query->error();
    if (!m_query || failure.isError()) {
        m_query.reset();
        fail(failure.number, failure.description);
        if (error)
            *error = m_lastError;
        return false;
    }
    const int columns = m_query->columnCount();
    for (int i = 0; i < columns; ++i)
        m_index.insert(m_query->columnName(i), i);
    return true;
}

bool SqlRowSource::next()
{
    m_onRow = false;
    if (!m_query)
        return false;
    if (m_query->next()) {
        m_onRow = true;
        return true;
    }
    if (m_query->error().isError())
        fail(m_query->error().number, m_query->error().description);
    return false;
}

QVariant SqlRowSource::value(const QString& field) const
{
    if (!m_onRow)
        return QVariant();
    const int column = columnOf(field);
    return column < 0 ? QVariant() : m_query->value(column);
}

AuditRows::Raw SqlRowSource::raw(const QString& field) const
{
    if (!m_onRow)
        return {AuditRows::Raw::Null, {}, 0};
    const int column = columnOf(field);
    return column < 0 ? AuditRows::Raw{AuditRows::Raw::Null, {}, 0} : m_query->raw(column);
}

int SqlRowSource::columnOf(const QString& field) const
{
    // A layout asks for the same field strings on every row: a kept copy that
    // shares a string's characters is that very string, found without hashing.
    for (const KnownField& known : m_known) {
        if (known.field.constData() == field.constData() && known.field.size() == field.size())
            return known.column;
    }
    int column = m_index.value(field, -1);
    if (column < 0) {
        // Jet column names are not case-sensitive (and a server gives them in
        // lower case): the name as asked for is remembered.
        for (auto it = m_index.cbegin(); it != m_index.cend(); ++it) {
            if (it.key().compare(field, Qt::CaseInsensitive) == 0) {
                column = it.value();
                break;
            }
        }
        if (column >= 0)
            m_index.insert(field, column);
    }
    if (m_known.size() < MaxKnownFields && !field.isEmpty() && field.data_ptr().isMutable())
        m_known.append({field, column});
    return column;
}

void SqlRowSource::close()
{
    m_query.reset();
    m_onRow = false;
}

void SqlRowSource::finish()
{
    close();
    if (m_inTransaction) {
        AuditDatabase& database = AuditDatabase::instance();
        if (database.isOpen())
            database.connection().commit();
        m_inTransaction = false;
    }
}

void SqlRowSource::fail(int number, const QString& description)
{
    m_lastErrorNumber = number;
    m_lastError = description;
}
