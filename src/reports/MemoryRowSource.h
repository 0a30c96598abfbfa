#pragma once

#include "ReportRowSource.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <QVariantList>

// Rows held in memory: column names and one value list per row. For tests and
// for small reports built in code.
class MemoryRowSource : public ReportRowSource
{
public:
    MemoryRowSource() = default;
    explicit MemoryRowSource(const QStringList& fields, const QList<QVariantList>& rows = {});

    void setFields(const QStringList& fields);
    QStringList fields() const { return m_fields; }
    // A row holds the values in the order of fields(); missing values are null.
    void addRow(const QVariantList& values);
    qsizetype rowCount() const { return m_rows.size(); }
    // How often start() was called.
    int startCount() const { return m_startCount; }

    bool start(QString* error) override;
    bool next() override;
    QVariant value(const QString& field) const override;

private:
    QStringList m_fields;
    QHash<QString, int> m_index;
    QList<QVariantList> m_rows;
    qsizetype m_current = -1;
    int m_startCount = 0;
};
