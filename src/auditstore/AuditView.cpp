#include "AuditView.h"

#include "AuditDatabase.h"
#include "ViewKeyQueries.h"

#include <QElapsedTimer>

#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlRecord>
#include <limits>

namespace {
// Each view reads its keys on a connection of its own, named after the view.
QString keyConnectionName(const AuditView* view)
{
    return QStringLiteral("AuditViewKeys-%1").arg(reinterpret_cast<quintptr>(view), 0, 16);
}
} // namespace

AuditView::AuditView(QObject* parent) : QObject(parent) {}

AuditView::~AuditView()
{
    // The shared view lives until the process ends, when the SQL module's own
    // registry may already be gone: leave its reader to the operating system.
    if (m_shared) {
        (void)m_pending.release();
        return;
    }
    stopLoading();
    const QString name = keyConnectionName(this);
    if (QSqlDatabase::contains(name)) {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
}

AuditView& AuditView::instance()
{
    static AuditView view;
    view.m_shared = true;
    return view;
}

void AuditView::setRecordSource(const QString& jet) { m_source = jet; }

QSqlDatabase AuditView::keyConnection(AuditError* error)
{
    const QString name = keyConnectionName(this);
    AuditDatabase& shared = AuditDatabase::instance();
    if (!shared.isOpen()) {
        if (error)
            *error = {ErrorDatabaseNotFound, QStringLiteral("The audit database is not open.")};
        return QSqlDatabase();
    }
    // Follow the shared connection to whatever file it has opened.
    if (QSqlDatabase::contains(name) && m_keyConnectionString == shared.connectionString()) {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isOpen())
            return db;
    }
    m_keyConnectionString = shared.connectionString();
    QSqlDatabase db = AuditDatabase::openConnection(m_keyConnectionString, name, error);
    if (!db.isOpen())
        return QSqlDatabase();
    // No memory map: a key scan walks the whole table, and every mapped page it
    // touches stays in the process (370 MB for a million entries); reading
    // through SQLite's small page cache is as fast and keeps memory bounded.
    return db;
}

bool AuditView::load(AuditError* error)
{
    stopLoading();
    // The record source as built; what runs is its key-only form below.
    qCDebug(lcAuditSql).noquote() << "view:  " << m_source;
    QSqlDatabase db = keyConnection(error);
    if (!db.isValid())
        return false;
    const ViewKeyQueries queries = ViewKeyQueries::of(m_source);
    auto cursor = AuditKeyCursor::open(db, queries.forward, error);
    if (!cursor)
        return false;
    m_pending = std::move(cursor);
    m_readError = {};
    const qsizetype total = m_total;
    m_total = -1; // the first keys are read without a count
    QVector<qint64> keys = readKeys(FirstChunk);
    if (m_readError.isError()) {
        if (error)
            *error = m_readError;
        m_readError = {};
        m_total = total;
        return false;
    }
    emit aboutToReset();
    m_resetting = true;
    m_keys.clear();
    m_keys.append(keys);
    m_tail.clear();
    m_total = -1;
    m_reverseSource = queries.reverse;
    m_countSource = queries.count;
    // Counting waits for the first slice from the event loop: the first rows
    // show without it.
    m_countDue = m_pending && !m_countSource.isEmpty();
    m_cache.clear();
    m_cacheOrder.clear();
    m_open = true;
    if (m_pending)
        scheduleMore();
    return true;
}

QVector<qint64> AuditView::readKeys(int limit)
{
    QVector<qint64> keys;
    if (!m_pending)
        return keys;
    // Once the rows are counted, the front stops where the back begins.
    if (m_total >= 0)
        limit = static_cast<int>(qMin<qsizetype>(limit, unreadRows()));
    keys.reserve(limit);
    AuditError failure;
    if (limit <= 0 || !m_pending->read(limit, keys, &failure)) {
        // The end of the result, or a failure while stepping through it.
        if (failure.isError()) {
            m_readError = failure;
            qCDebug(lcAuditSql).noquote() << "reading keys failed:" << m_readError.description;
        }
        stopLoading();
        m_finishDue = true;
    }
    return keys;
}

bool AuditView::readTail(int limit)
{
    if (m_total < 0 || !m_pending || m_reverseSource.isEmpty())
        return false;
    if (!m_tailCursor) {
        // On the connection whose statement is still open: the same snapshot
        // as the keys from the front and the count.
        AuditError failure;
        m_tailCursor = AuditKeyCursor::open(keyConnection(&failure), m_reverseSource, &failure);
        if (!m_tailCursor) {
            m_reverseSource.clear(); // the front reads on alone
            return false;
        }
    }
    QVector<qint64> keys;
    const int wanted = static_cast<int>(qMin<qsizetype>(limit, unreadRows()));
    keys.reserve(wanted);
    AuditError failure;
    const bool more = m_tailCursor->read(wanted, keys, &failure);
    m_tail.append(keys);
    if (!more || failure.isError())
        m_reverseSource.clear();
    joinEnds();
    return true;
}

void AuditView::countRows()
{
    m_countDue = false;
    QSqlDatabase db = keyConnection(nullptr);
    auto counter = db.isValid() ? AuditKeyCursor::open(db, m_countSource) : nullptr;
    QVector<qint64> count;
    if (!counter || (counter->read(1, count), count.size() != 1) || count.first() < m_keys.size())
        return; // the keys are read from the front alone
    if (m_resetting) {
        m_total = count.first();
    } else if (count.first() > m_keys.size()) {
        emit rowsAboutToBeAppended(loadedCount(), static_cast<int>(count.first()) - 1);
        m_total = count.first();
        emit rowsAppended(static_cast<int>(m_keys.size()), loadedCount() - 1);
    } else {
        m_total = count.first();
    }
    joinEnds();
}

void AuditView::joinEnds()
{
    if (m_total < 0)
        return;
    if (m_pending && unreadRows() > 0)
        return;
    // The two ends meet (or the front ended first): every key is known.
    for (qsizetype i = qMin(m_total - m_keys.size(), m_tail.size()) - 1; i >= 0; --i)
        m_keys.append(m_tail.value(i));
    m_tail.clear();
    if (m_pending)
        m_finishDue = true;
    stopLoading();
    if (m_keys.size() != m_total) {
        // Fewer rows than counted (only if the snapshot was not one): list those read.
        if (!m_resetting)
            emit aboutToReset();
        m_total = -1;
        if (!m_resetting)
            emit reset();
    }
}

void AuditView::announceEnd()
{
    if (!m_finishDue || m_resetting)
        return;
    m_finishDue = false;
    reportReadError();
    emit loadingFinished();
}

void AuditView::appendKeys(QVector<qint64> keys)
{
    if (keys.isEmpty())
        return;
    if (m_resetting || m_total >= 0) {
        // Rows already listed (or about to be, by the reset).
        m_keys.append(keys);
        return;
    }
    const int first = loadedCount();
    const int last = first + static_cast<int>(keys.size()) - 1;
    emit rowsAboutToBeAppended(first, last);
    m_keys.append(keys);
    emit rowsAppended(first, last);
}

void AuditView::stopLoading()
{
    m_tailCursor.reset();
    if (!m_pending)
        return;
    m_pending.reset();
}

void AuditView::scheduleMore()
{
    if (m_moreScheduled)
        return;
    m_moreScheduled = true;
    QMetaObject::invokeMethod(this, &AuditView::readMore, Qt::QueuedConnection);
}

void AuditView::readMore()
{
    m_moreScheduled = false;
    if (!m_pending)
        return;
    if (m_countDue) {
        countRows();
    } else {
        // A short slice, so the window stays responsive while the keys arrive:
        // small reads, as a sparse result can take long to yield a few keys.
        QElapsedTimer slice;
        slice.start();
        QVector<qint64> keys;
        while (m_pending && slice.elapsed() < SliceMs)
            keys += readKeys(SliceReadKeys);
        appendKeys(std::move(keys));
        joinEnds();
    }
    if (m_pending)
        scheduleMore();
    announceEnd();
}

bool AuditView::isKnown(int row) const
{
    return row < m_keys.size() || (m_total >= 0 && row < m_total && row >= m_total - m_tail.size());
}

qint64 AuditView::knownKey(int row) const
{
    if (row < 0)
        return 0;
    if (row < m_keys.size())
        return m_keys.value(row);
    return m_total >= 0 ? m_tail.value(m_total - 1 - row, 0) : 0;
}

void AuditView::readUntil(int row)
{
    if (!m_pending)
        return;
    if (m_countDue && row >= m_keys.size())
        countRows();
    while (m_pending && !isKnown(row)) {
        // From the nearer end: the last rows from the back.
        const bool fromBack = m_total >= 0 && !m_reverseSource.isEmpty() &&
                              row - m_keys.size() > m_total - m_tail.size() - 1 - row;
        if (!fromBack || !readTail(LaterChunk)) {
            appendKeys(readKeys(LaterChunk));
            joinEnds();
        }
    }
    announceEnd();
}

void AuditView::reportReadError()
{
    if (!m_readError.isError())
        return;
    const AuditError error = m_readError;
    m_readError = {};
    emit readFailed(error);
}

void AuditView::fetchAll()
{
    // From the front, so the keys end up in one sequence.
    while (m_pending) {
        appendKeys(readKeys(LaterChunk));
        joinEnds();
    }
    announceEnd();
}

int AuditView::recordCount() const
{
    // The rows once counted; otherwise reading keys does not change the
    // result, only how much of it is known.
    if (m_total < 0)
        const_cast<AuditView*>(this)->readUntil(std::numeric_limits<int>::max() - 1);
    return loadedCount();
}

qint64 AuditView::keyAt(int row) const
{
    if (!isKnown(row))
        const_cast<AuditView*>(this)->readUntil(row);
    return knownKey(row);
}

bool AuditView::refresh(AuditError* error)
{
    if (!load(error))
        return false;
    m_current = m_keys.isEmpty() ? -1 : 0;
    m_resetting = false;
    m_finishDue = false;
    emit reset();
    emit currentRowChanged(m_current);
    return true;
}

bool AuditView::requery(AuditError* error)
{
    const qint64 currentKey = m_current >= 0 ? keyAt(m_current) : 0;
    const int oldRow = m_current;
    if (!load(error))
        return false;
    // Keys read while looking for the row are part of the reset.
    int row = currentKey ? rowOfKey(currentKey) : -1;
    if (row < 0 && !m_keys.isEmpty()) {
        readUntil(oldRow);
        row = qBound(0, oldRow, loadedCount() - 1);
    }
    m_current = m_keys.isEmpty() ? -1 : row;
    m_resetting = false;
    m_finishDue = false;
    emit reset();
    emit currentRowChanged(m_current);
    return true;
}

void AuditView::clear()
{
    stopLoading();
    emit aboutToReset();
    m_keys.clear();
    m_tail.clear();
    m_total = -1;
    m_countDue = false;
    m_cache.clear();
    m_cacheOrder.clear();
    m_open = false;
    m_current = -1;
    emit reset();
}

void AuditView::setCurrentRow(int row)
{
    if (!isKnown(row))
        readUntil(row);
    const int next = (row >= 0 && isKnown(row)) ? row : -1;
    if (next == m_current)
        return;
    m_current = next;
    emit currentRowChanged(m_current);
}

int AuditView::rowOfKey(qint64 key) const
{
    auto* self = const_cast<AuditView*>(this);
    qsizetype from = 0;
    qsizetype tailFrom = 0;
    bool back = false;
    for (;;) {
        const qsizetype row = m_keys.indexOf(key, from);
        if (row >= 0) {
            self->announceEnd();
            return static_cast<int>(row);
        }
        const qsizetype fromEnd = m_tail.indexOf(key, tailFrom);
        if (fromEnd >= 0)
            return static_cast<int>(m_total - 1 - fromEnd);
        if (!m_pending) {
            self->announceEnd();
            return -1;
        }
        from = m_keys.size();
        tailFrom = m_tail.size();
        if (self->m_countDue)
            self->countRows();
        // Both ends in turn: a row near the end is found from the back.
        back = !back;
        if (!back || !self->readTail(LaterChunk)) {
            self->appendKeys(self->readKeys(LaterChunk));
            self->joinEnds();
        }
        if (m_tail.isEmpty())
            tailFrom = 0;
    }
}

void AuditView::fetchPage(int row)
{
    const int first = (row / PageSize) * PageSize;
    const int last = qMin(first + PageSize, loadedCount());
    QSet<qint64> missing;
    QStringList wanted;
    for (int r = first; r < last; ++r) {
        if (!isKnown(r))
            continue;
        const qint64 key = knownKey(r);
        if (!m_cache.contains(key) && !missing.contains(key)) {
            missing.insert(key);
            wanted.append(QString::number(key));
        }
    }
    if (wanted.isEmpty())
        return;

    const QString jet = QStringLiteral("SELECT Audit.* FROM Audit WHERE [AutoIndex] IN (") +
                        wanted.join(QLatin1Char(',')) + QStringLiteral(")");
    auto query = AuditDatabase::instance().select(jet, nullptr, true);
    if (!query)
        return;
    auto keep = [this](qint64 key, AuditEntry entry) {
        if (!m_cache.contains(key))
            m_cacheOrder.push_back(key);
        m_cache.insert(key, std::move(entry));
    };
    while (query->next()) {
        AuditEntry entry = AuditEntry::fromRecord(query->record());
        const qint64 key = entry.AutoIndex;
        missing.remove(key);
        keep(key, std::move(entry));
    }
    // Rows that other programs deleted since the keys were read: remember them
    // as empty entries (AutoIndex 0) instead of asking again on every paint.
    for (const qint64 key : std::as_const(missing))
        keep(key, AuditEntry());
    while (m_cache.size() > CacheLimit && !m_cacheOrder.empty()) {
        m_cache.remove(m_cacheOrder.front());
        m_cacheOrder.pop_front();
    }
}

AuditEntry AuditView::entryAt(int row)
{
    if (row >= 0 && !isKnown(row))
        readUntil(row);
    if (row < 0 || !isKnown(row))
        return AuditEntry();
    const qint64 key = knownKey(row);
    auto it = m_cache.constFind(key);
    if (it == m_cache.constEnd()) {
        fetchPage(row);
        it = m_cache.constFind(key);
        if (it == m_cache.constEnd())
            return AuditEntry(); // deleted meanwhile
    }
    return *it;
}

bool AuditView::deleteCurrent(AuditError* error)
{
    if (eof())
        return false;
    const int row = m_current;
    const qint64 key = knownKey(row);
    const QString jet =
        QStringLiteral("DELETE Audit.* FROM Audit WHERE [AutoIndex] = %1").arg(key);
    if (!AuditDatabase::instance().execute(jet, nullptr, error))
        return false;
    emit rowAboutToBeRemoved(row);
    if (row < m_keys.size())
        m_keys.remove(row);
    else
        m_tail.remove(m_total - 1 - row);
    if (m_total >= 0)
        --m_total;
    m_cache.remove(key);
    emit rowRemoved(row);
    if (row < loadedCount() && !isKnown(row))
        readUntil(row);
    m_current = loadedCount() == 0 ? -1 : qMin(row, loadedCount() - 1);
    emit currentRowChanged(m_current);
    return true;
}

bool IsRecordsetEmpty(const AuditView* view)
{
    return view == nullptr || !view->isOpen() || (view->bof() && view->eof());
}
