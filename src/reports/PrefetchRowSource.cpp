#include "PrefetchRowSource.h"

namespace {

// Rows per batch, and batches read ahead: little memory whatever the row
// count, and enough slack that neither thread waits on the other often.
constexpr int BatchRows = 256;
constexpr int Batches = 6;
// Batches waiting for the consumer from which the reader formats the rows of
// the next: fewer, and the reader is the slower side, so it leaves them to
// the consumer.
constexpr size_t FormatAhead = 2;

} // namespace

PrefetchRowSource::PrefetchRowSource(ReportRowSource& rows) : m_rows(rows)
{
    for (int i = 0; i < Batches; ++i)
        m_batches.push_back(std::make_unique<Batch>());
}

PrefetchRowSource::~PrefetchRowSource()
{
    stopReading();
}

void PrefetchRowSource::setFieldsToRead(const QStringList& fields)
{
    stopReading();
    m_fields = fields;
    m_rows.setFieldsToRead(fields);
}

void PrefetchRowSource::setRowFormatter(RowFormatter formatter)
{
    stopReading();
    m_rowFormatter = std::move(formatter);
}

QList<QString>* PrefetchRowSource::formattedRow()
{
    if (!m_rowFormatter || !m_current || !m_current->formatted || m_row < 0 ||
        m_row >= m_current->rows)
        return nullptr;
    return &m_current->texts[size_t(m_row)];
}

bool PrefetchRowSource::start(QString* error)
{
    stopReading();
    if (!m_rows.start(error))
        return false;
    m_stop = false;
    m_ended = false;
    m_parked = false;
    m_full.clear();
    m_free.clear();
    for (const auto& batch : m_batches)
        m_free.push_back(batch.get());
    m_current = nullptr;
    m_row = -1;
    m_reader = std::thread([this] { read(); });
    return true;
}

void PrefetchRowSource::read()
{
    for (;;) {
        Batch* batch = nullptr;
        {
            std::unique_lock lock(m_mutex);
            m_parked = true;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_stop || (!m_held && !m_free.empty()); });
            if (m_stop)
                return;
            m_parked = false;
            batch = m_free.back();
            m_free.pop_back();
            batch->formatted = m_rowFormatter && m_full.size() >= FormatAhead;
        }
        batch->cells.clear();
        batch->bytes.resize(0);
        batch->others.resize(0);
        batch->rows = 0;
        batch->end = false;
        // Held reading stops the batch short; the rest follows once released.
        while (batch->rows < BatchRows && !m_held.load(std::memory_order_relaxed) &&
               !m_stop.load(std::memory_order_relaxed)) {
            if (!m_rows.next()) {
                batch->end = true;
                break;
            }
            copyRow(*batch);
        }
        std::lock_guard lock(m_mutex);
        m_full.push_back(batch);
        if (batch->end) {
            m_ended = m_parked = true;
            m_changed.notify_all();
            return;
        }
        m_changed.notify_all();
    }
}

void PrefetchRowSource::copyRow(Batch& batch)
{
    for (const QString& field : std::as_const(m_fields)) {
        const AuditRows::Raw raw = m_rows.raw(field);
        Cell cell{raw.kind, raw.integer, 0};
        if (raw.kind == AuditRows::Raw::Text) {
            cell.integer = batch.bytes.size();
            cell.size = raw.text.size();
            batch.bytes.append(raw.text);
        } else if (raw.kind == AuditRows::Raw::Other) {
            cell.integer = batch.others.size();
            batch.others.append(m_rows.value(field));
        }
        batch.cells.push_back(cell);
    }
    if (batch.formatted) {
        if (batch.texts.size() <= size_t(batch.rows))
            batch.texts.resize(size_t(batch.rows) + 1);
        m_rowFormatter(m_rows, &batch.texts[size_t(batch.rows)]);
    }
    ++batch.rows;
}

bool PrefetchRowSource::next()
{
    if (!m_reader.joinable())
        return false;
    for (;;) {
        if (m_current && m_row + 1 < m_current->rows) {
            ++m_row;
            return true;
        }
        if (m_current && m_current->end)
            return false;
        std::unique_lock lock(m_mutex);
        if (m_current)
            m_free.push_back(m_current);
        m_current = nullptr;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return !m_full.empty(); });
        m_current = m_full.front();
        m_full.pop_front();
        m_row = -1;
    }
}

const PrefetchRowSource::Cell* PrefetchRowSource::cellOf(const QString& field) const
{
    if (!m_current || m_row < 0 || m_row >= m_current->rows)
        return nullptr;
    const qsizetype columns = m_fields.size();
    const Cell* row = m_current->cells.data() + m_row * columns;
    // A layout asks with the very strings it gave to setFieldsToRead().
    for (qsizetype i = 0; i < columns; ++i) {
        if (m_fields.at(i).constData() == field.constData())
            return row + i;
    }
    for (qsizetype i = 0; i < columns; ++i) {
        if (m_fields.at(i).compare(field, Qt::CaseInsensitive) == 0)
            return row + i;
    }
    return nullptr;
}

AuditRows::Raw PrefetchRowSource::raw(const QString& field) const
{
    const Cell* cell = cellOf(field);
    if (!cell)
        return {AuditRows::Raw::Null, {}, 0};
    switch (cell->kind) {
    case AuditRows::Raw::Text:
        return {cell->kind, QByteArrayView(m_current->bytes.constData() + cell->integer, cell->size),
                0};
    case AuditRows::Raw::Other:
        return {};
    default:
        return {cell->kind, {}, cell->integer};
    }
}

QVariant PrefetchRowSource::value(const QString& field) const
{
    const Cell* cell = cellOf(field);
    if (!cell)
        return QVariant();
    switch (cell->kind) {
    case AuditRows::Raw::Null:
        return QVariant();
    case AuditRows::Raw::Integer:
        return QVariant(qlonglong(cell->integer));
    case AuditRows::Raw::Text:
        return QVariant(QString::fromUtf8(m_current->bytes.constData() + cell->integer, cell->size));
    case AuditRows::Raw::Other:
        break;
    }
    return m_current->others.at(cell->integer);
}

QString PrefetchRowSource::lastError() const
{
    return readerDone() ? m_rows.lastError() : QString();
}

int PrefetchRowSource::lastErrorNumber() const
{
    return readerDone() ? m_rows.lastErrorNumber() : 0;
}

bool PrefetchRowSource::readerDone() const
{
    // The source below is the reader's until it has read its last row.
    std::lock_guard lock(m_mutex);
    return !m_reader.joinable() || m_ended;
}

void PrefetchRowSource::holdReading(bool held)
{
    std::unique_lock lock(m_mutex);
    m_held = held;
    m_changed.notify_all();
    if (held)
        m_changed.wait(lock, [this] { return m_parked || !m_reader.joinable(); });
}

void PrefetchRowSource::stopReading()
{
    if (!m_reader.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_changed.notify_all();
    }
    m_reader.join();
    m_current = nullptr;
}

void PrefetchRowSource::finish()
{
    stopReading();
    m_rows.finish();
}
