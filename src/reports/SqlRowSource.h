#pragma once

#include "ReportRowSource.h"

#include <QHash>
#include <QSqlQuery>
#include <optional>

// The rows of a SELECT in the Jet dialect, run forward-only on the shared audit
// database connection. Both passes of a render read from one snapshot of the
// database (a read transaction opened by the first start() and ended by
// finish()), so rows that other programs append meanwhile cannot make the two
// passes disagree.
class SqlRowSource : public ReportRowSource
{
public:
    explicit SqlRowSource(const QString& jetSelect);
    ~SqlRowSource() override;
    SqlRowSource(const SqlRowSource&) = delete;
    SqlRowSource& operator=(const SqlRowSource&) = delete;

    QString statement() const { return m_statement; }

    bool start(QString* error) override;
    bool next() override;
    QVariant value(const QString& field) const override;
    QString lastError() const override { return m_lastError; }
    int lastErrorNumber() const override { return m_lastErrorNumber; }
    void finish() override;
    // Reads only these columns (and AutoIndex) when the statement selects
    // every column of Audit ("SELECT Audit.* FROM ...") and all of them are
    // columns of Audit; otherwise every column.
    void setFieldsToRead(const QStringList& fields) override { m_fields = fields; }
    // The statement as the next start() runs it.
    QString statementToRun() const;

private:
    void fail(int number, const QString& description);

    QString m_statement;
    QStringList m_fields;
    std::optional<QSqlQuery> m_query;
    QHash<QString, int> m_index;
    QString m_lastError;
    int m_lastErrorNumber = 0;
    bool m_inTransaction = false;
};
