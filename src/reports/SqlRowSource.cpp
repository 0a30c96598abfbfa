#include "SqlRowSource.h"

#include "AuditDatabase.h"

#include <QSqlError>
#include <QSqlRecord>

SqlRowSource::SqlRowSource(const QString& jetSelect) : m_statement(jetSelect) {}

SqlRowSource::~SqlRowSource()
{
    finish();
}

bool SqlRowSource::start(QString* error)
{
    m_query.reset();
    m_index.clear();
    m_lastError.clear();
    m_lastErrorNumber = 0;

    // One read transaction over every pass: SQLite keeps its snapshot until
    // finish(). Without one (the caller already has a transaction open) the
    // passes read the live table.
    AuditDatabase& database = AuditDatabase::instance();
    if (!m_inTransaction && database.isOpen())
        m_inTransaction = database.connection().transaction();

    AuditError failure;
    m_query = database.select(m_statement, &failure);
    if (!m_query) {
        fail(failure.number, failure.description);
        if (error)
            *error = m_lastError;
        return false;
    }
    const QSqlRecord record = m_query->record();
    for (int i = 0; i < record.count(); ++i)
        m_index.insert(record.fieldName(i), i);
    return true;
}

bool SqlRowSource::next()
{
    if (!m_query)
        return false;
    if (m_query->next())
        return true;
    const QSqlError error = m_query->lastError();
    if (error.isValid()) {
        const AuditError failure = AuditDatabase::errorOf(error);
        fail(failure.number, failure.description);
    }
    return false;
}

QVariant SqlRowSource::value(const QString& field) const
{
    if (!m_query)
        return QVariant();
    int column = m_index.value(field, -1);
    if (column < 0) {
        // Jet column names are not case-sensitive.
        for (auto it = m_index.cbegin(); it != m_index.cend(); ++it) {
            if (it.key().compare(field, Qt::CaseInsensitive) == 0) {
                column = it.value();
                break;
            }
        }
    }
    return column < 0 ? QVariant() : m_query->value(column);
}

void SqlRowSource::finish()
{
    m_query.reset();
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
