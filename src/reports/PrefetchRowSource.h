#pragma once

#include "ReportRowSource.h"

#include <QByteArray>
#include <QList>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Reads the rows of another source on a second thread, a few batches ahead of
// the renderer, so that the database's stepping (and the formatting of the
// values, with a row formatter) and the layout run at once.
// Only the columns given to setFieldsToRead() are read; each is copied as
// AuditRows::raw() gives it (a value() of it is made from that copy, or kept
// when raw() cannot tell). The source below is used by one thread at a time:
// start() and finish() on the caller's, next() and raw() on the reader's, and
// not at all while reading is held (the caller is about to process events,
// which may use the same database connection).
class PrefetchRowSource : public ReportRowSource
{
public:
    explicit PrefetchRowSource(ReportRowSource& rows);
    ~PrefetchRowSource() override;
    PrefetchRowSource(const PrefetchRowSource&) = delete;
    PrefetchRowSource& operator=(const PrefetchRowSource&) = delete;

    bool start(QString* error) override;
    bool next() override;
    QVariant value(const QString& field) const override;
    AuditRows::Raw raw(const QString& field) const override;
    QString lastError() const override;
    int lastErrorNumber() const override;
    void finish() override;
    void setFieldsToRead(const QStringList& fields) override;
    void holdReading(bool held) override;
    void setRowFormatter(RowFormatter formatter) override;
    QList<QString>* formattedRow() override;

private:
    struct Cell
    {
        AuditRows::Raw::Kind kind;
        qint64 integer; // the number, a text's offset in bytes, or an index in others
        qsizetype size; // a text's length
    };
    struct Batch
    {
        std::vector<Cell> cells;
        QByteArray bytes;
        QList<QVariant> others;
        std::vector<QList<QString>> texts; // the row formatter's, by row
        bool formatted = false;            // texts made (or left to the consumer)
        int rows = 0;
        bool end = false; // the source has no more rows (or failed)
    };

    void read();
    void copyRow(Batch& batch);
    void stopReading();
    bool readerDone() const;
    // The current row's cell of a field, null when it is not one of the fields read.
    const Cell* cellOf(const QString& field) const;

    ReportRowSource& m_rows;
    QStringList m_fields;
    RowFormatter m_rowFormatter;
    std::vector<std::unique_ptr<Batch>> m_batches;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Batch*> m_full; // read, not yet taken
    std::vector<Batch*> m_free;
    // Set under the mutex, read by the reader between rows without it.
    std::atomic<bool> m_stop = false;
    std::atomic<bool> m_held = false;
    bool m_parked = true; // the reader is not using the source below
    bool m_ended = false; // the reader has read its last row
    std::thread m_reader;

    Batch* m_current = nullptr;
    int m_row = -1;
};
