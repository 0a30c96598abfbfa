#pragma once

#include "ReportRowSource.h"

#include <QList>

// Passes on the rows of another source whose AutoIndex is at most a bound, so
// that a render (and every repaint of a preview) shows the same
// entries however many other programs append meanwhile, and the deletion after
// the report can be limited to those entries.
class BoundedRowSource : public ReportRowSource
{
public:
    BoundedRowSource(ReportRowSource& rows, qint64 highestIndex);

    bool start(QString* error) override;
    bool next() override;
    QVariant value(const QString& field) const override;
    AuditRows::Raw raw(const QString& field) const override { return m_rows.raw(field); }
    QString lastError() const override { return m_rows.lastError(); }
    int lastErrorNumber() const override { return m_rows.lastErrorNumber(); }
    void finish() override { m_rows.finish(); }
    void holdReading(bool held) override { m_rows.holdReading(held); }
    void setRowFormatter(RowFormatter formatter) override
    {
        m_rows.setRowFormatter(std::move(formatter));
    }
    QList<QString>* formattedRow() override { return m_rows.formattedRow(); }
    // Passes the columns on, with AutoIndex, which the bound needs.
    void setFieldsToRead(const QStringList& fields) override;

    // True when any start() or next() failed to read the rows.
    bool failed() const { return m_failed; }
    // The highest AutoIndex passed on so far (0 before the first row).
    qint64 highestRead() const { return m_highestRead; }
    // The AutoIndex of every row the first read passed on, in reading order.
    const QList<qint64>& keysRead() const { return m_keys; }

private:
    ReportRowSource& m_rows;
    qint64 m_bound;
    qint64 m_highestRead = 0;
    QList<qint64> m_keys;
    int m_passes = 0;
    bool m_failed = false;
};
