#pragma once

#include "AuditRows.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

// The rows a report layout prints. A render reads them once; a preview renders
// again whenever it repaints, so start() must be callable again and must then
// deliver the same rows from the first one.
class ReportRowSource
{
public:
    virtual ~ReportRowSource() = default;

    // Positions before the first row (running the query again when called a
    // second time). On failure returns false and sets *error when given.
    virtual bool start(QString* error) = 0;
    // Moves to the next row; false when there is none (or reading failed:
    // then lastError() is not empty).
    virtual bool next() = 0;
    // The named column of the current row; an invalid QVariant for an unknown
    // column or a null value.
    virtual QVariant value(const QString& field) const = 0;
    // The same column as a whole number or UTF-8 bytes (AuditRows::raw), a
    // text valid until next(): no QVariant and no QString per value. Null for
    // an unknown column; Other where only value() can tell.
    virtual AuditRows::Raw raw(const QString& field) const
    {
        Q_UNUSED(field);
        return {};
    }

    // Why the last start() or next() failed, "" when it did not.
    virtual QString lastError() const { return QString(); }
    // The number of that failure as the data source reports it, 0 when none.
    virtual int lastErrorNumber() const { return 0; }
    // The renderer has read all it needs: the source may release its rows.
    virtual void finish() {}
    // From the next start() on, the renderer reads only these columns: a
    // source may fetch less. A source that wraps another should pass this on.
    virtual void setFieldsToRead(const QStringList& fields) { Q_UNUSED(fields); }
    // While held, a source that reads ahead on another thread leaves the
    // database alone: the caller is about to process events, which may use the
    // same connection. A source that wraps another should pass this on.
    virtual void holdReading(bool held) { Q_UNUSED(held); }

    // Makes texts of a row from the source below; run where the rows are read.
    using RowFormatter = std::function<void(const ReportRowSource& row, QList<QString>* texts)>;
    // From the next start() on, a source that reads ahead on another thread
    // makes each row's texts there with formatter (empty: none), and
    // formattedRow() gives them; other sources ignore it. Only while no
    // reading runs. A source that wraps another should pass this on.
    virtual void setRowFormatter(RowFormatter formatter) { Q_UNUSED(formatter); }
    // The current row's texts made by the row formatter; null without one,
    // or where the reader left them to the caller (it was the slower side).
    // The caller may take them (swap them out): the strings it leaves are
    // reused for a later row, so that neither thread allocates for the other.
    virtual QList<QString>* formattedRow() { return nullptr; }
};
