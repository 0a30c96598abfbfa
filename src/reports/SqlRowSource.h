#pragma once

#include "AuditRows.h"
#include "ReportRowSource.h"

#include <QHash>
#include <QVarLengthArray>
#include <memory>

// The rows of a SELECT in the Jet dialect, run as built (through the dialect
// layer, shown by the audit.sql log) on the shared audit database connection
// with the backend's own client library: a column's value is read only when asked
// for, so "SELECT Audit.* ..." costs no more than the columns a layout prints.
// The rows are read in one read transaction (opened by start(), ended by
// finish()), so rows that other programs append meanwhile cannot change a
// render halfway.
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
    AuditRows::Raw raw(const QString& field) const override;
    QString lastError() const override { return m_lastError; }
    int lastErrorNumber() const override { return m_lastErrorNumber; }
    void finish() override;

private:
    void fail(int number, const QString& description);
    // The column of a field name, -1 when there is none.
    int columnOf(const QString& field) const;
    void close();

    QString m_statement;
    std::unique_ptr<AuditRows> m_query;
    bool m_onRow = false;
    mutable QHash<QString, int> m_index;
    struct KnownField
    {
        QString field;
        int column;
    };
    static constexpr qsizetype MaxKnownFields = 32;
    mutable QVarLengthArray<KnownField, MaxKnownFields> m_known;
    QString m_lastError;
    int m_lastErrorNumber = 0;
    bool m_inTransaction = false;
};
