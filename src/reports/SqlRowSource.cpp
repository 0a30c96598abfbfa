#include "SqlRowSource.h"

#include "AuditDatabase.h"

#include <sqlite3.h>

SqlRowSource::SqlRowSource(const QString& jetSelect) : m_statement(jetSelect) {}

SqlRowSource::~SqlRowSource()
{
    finish();
}

bool SqlRowSource::start(QString* error)
{
    close();
    m_index.clear();
    m_lastError.clear();
    m_lastErrorNumber = 0;

    // One read transaction until finish(): SQLite keeps its snapshot. Without
    // one (the caller already has a transaction open) the live table is read.
    AuditDatabase& database = AuditDatabase::instance();
    if (!m_inTransaction && database.isOpen())
        m_inTransaction = database.connection().transaction();

    AuditError failure;
    m_query = AuditDatabase::prepare(database.connection(), m_statement, &failure);
    if (!m_query) {
        fail(failure.number, failure.description);
        if (error)
            *error = m_lastError;
        return false;
    }
    const int columns = sqlite3_column_count(m_query);
    for (int i = 0; i < columns; ++i)
        m_index.insert(QString::fromUtf8(sqlite3_column_name(m_query, i)), i);
    return true;
}

bool SqlRowSource::next()
{
    m_onRow = false;
    if (!m_query)
        return false;
    const int step = sqlite3_step(m_query);
    if (step == SQLITE_ROW) {
        m_onRow = true;
        return true;
    }
    if (step != SQLITE_DONE) {
        const AuditError failure = AuditDatabase::errorOf(m_query);
        fail(failure.number, failure.description);
    }
    return false;
}

QVariant SqlRowSource::value(const QString& field) const
{
    if (!m_onRow)
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
    if (column < 0)
        return QVariant();
    switch (sqlite3_column_type(m_query, column)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(m_query, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_query, column));
    case SQLITE_TEXT: {
        const auto* text = static_cast<const QChar*>(sqlite3_column_text16(m_query, column));
        return QVariant(QString(text, sqlite3_column_bytes16(m_query, column) / 2));
    }
    case SQLITE_BLOB: {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(m_query, column));
        return QVariant(QByteArray(data, sqlite3_column_bytes(m_query, column)));
    }
    default:
        return QVariant();
    }
}

void SqlRowSource::close()
{
    sqlite3_finalize(m_query);
    m_query = nullptr;
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
