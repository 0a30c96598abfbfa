#include "SqlRowSource.h"

#include "AuditColumns.h"
#include "AuditDatabase.h"

#include <QRegularExpression>

#include <algorithm>

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
    m_query = database.select(statementToRun(), &failure);
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

QString SqlRowSource::statementToRun() const
{
    static const QRegularExpression allColumns(
        QStringLiteral("^(\\s*SELECT\\s+)Audit\\.\\*(\\s+FROM\\s)"),
        QRegularExpression::CaseInsensitiveOption);
    if (m_fields.isEmpty())
        return m_statement;
    const QRegularExpressionMatch match = allColumns.match(m_statement);
    if (!match.hasMatch())
        return m_statement;
    QStringList columns{QStringLiteral("AutoIndex")};
    for (const QString& field : m_fields) {
        const auto known = std::find_if(
            AuditColumns::All.cbegin(), AuditColumns::All.cend(),
            [&](const QString& c) { return c.compare(field, Qt::CaseInsensitive) == 0; });
        if (known == AuditColumns::All.cend())
            return m_statement;
        if (!columns.contains(*known))
            columns.append(*known);
    }
    QString list;
    for (const QString& column : columns)
        list += (list.isEmpty() ? QStringLiteral("[") : QStringLiteral(", [")) + column +
                QLatin1Char(']');
    return match.captured(1) + list + match.captured(2) + m_statement.mid(match.capturedEnd());
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
