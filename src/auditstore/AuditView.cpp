#include "AuditView.h"

#include "AuditDatabase.h"

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

QString AuditView::keySource() const
{
    QString source = m_source.trimmed();
    if (source.endsWith(QLatin1Char(';')))
        source.chop(1);
    // Select only the keys: "SELECT Audit.* FROM ..." becomes "SELECT AutoIndex FROM ...",
    // which SQLite answers from the indexes alone.
    static const QRegularExpression selectAll(QStringLiteral("^SELECT\\s+Audit\\.\\*\\s+FROM\\s"),
                                              QRegularExpression::CaseInsensitiveOption);
    const auto match = selectAll.match(source);
    if (match.hasMatch())
        return QStringLiteral("SELECT Audit.AutoIndex FROM ") + source.mid(match.capturedEnd());
    return QStringLiteral("SELECT AutoIndex FROM (") + source + QStringLiteral(")");
}

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
    auto cursor = AuditKeyCursor::open(db, keySource(), error);
    if (!cursor)
        return false;
    m_pending = std::move(cursor);
    m_readError = {};
    QVector<qint64> keys = readKeys(FirstChunk);
    if (m_readError.isError()) {
        if (error)
            *error = m_readError;
        m_readError = {};
        return false;
    }
    emit aboutToReset();
    m_resetting = true;
    m_keys.clear();
    m_keys.append(keys);
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
    keys.reserve(limit);
    AuditError failure;
    if (!m_pending->read(limit, keys, &failure)) {
        // The end of the result, or a failure while stepping through it.
        if (failure.isError()) {
            m_readError = failure;
            qCDebug(lcAuditSql).noquote() << "reading keys failed:" << m_readError.description;
        }
        stopLoading();
    }
    return keys;
}

void AuditView::appendKeys(QVector<qint64> keys)
{
    if (keys.isEmpty())
        return;
    if (m_resetting) {
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
    appendKeys(readKeys(LaterChunk));
    if (m_pending) {
        scheduleMore();
        return;
    }
    reportReadError();
    emit loadingFinished();
}

void AuditView::readUntil(int row)
{
    if (!m_pending)
        return;
    while (m_pending && row >= loadedCount())
        appendKeys(readKeys(LaterChunk));
    if (!m_pending && !m_resetting) {
        reportReadError();
        emit loadingFinished();
    }
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
    readUntil(std::numeric_limits<int>::max() - 1);
}

int AuditView::recordCount() const
{
    // Reading keys does not change the result, only how much of it is known.
    const_cast<AuditView*>(this)->fetchAll();
    return loadedCount();
}

qint64 AuditView::keyAt(int row) const
{
    if (row >= loadedCount())
        const_cast<AuditView*>(this)->readUntil(row);
    return m_keys.value(row, 0);
}

bool AuditView::refresh(AuditError* error)
{
    if (!load(error))
        return false;
    m_current = m_keys.isEmpty() ? -1 : 0;
    m_resetting = false;
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
    emit reset();
    emit currentRowChanged(m_current);
    return true;
}

void AuditView::clear()
{
    stopLoading();
    emit aboutToReset();
    m_keys.clear();
    m_cache.clear();
    m_cacheOrder.clear();
    m_open = false;
    m_current = -1;
    emit reset();
}

void AuditView::setCurrentRow(int row)
{
    if (row >= loadedCount())
        readUntil(row);
    const int next = (row >= 0 && row < loadedCount()) ? row : -1;
    if (next == m_current)
        return;
    m_current = next;
    emit currentRowChanged(m_current);
}

int AuditView::rowOfKey(qint64 key) const
{
    qsizetype row = m_keys.indexOf(key);
    while (row < 0 && isLoading()) {
        const qsizetype from = m_keys.size();
        const_cast<AuditView*>(this)->readUntil(loadedCount());
        row = m_keys.indexOf(key, from);
    }
    return static_cast<int>(row);
}

void AuditView::fetchPage(int row)
{
    const int first = (row / PageSize) * PageSize;
    const int last = qMin(first + PageSize, loadedCount());
    QSet<qint64> missing;
    QStringList wanted;
    for (int r = first; r < last; ++r) {
        const qint64 key = m_keys[r];
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
    if (row >= loadedCount())
        readUntil(row);
    if (row < 0 || row >= loadedCount())
        return AuditEntry();
    const qint64 key = m_keys[row];
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
    const qint64 key = m_keys[row];
    const QString jet =
        QStringLiteral("DELETE Audit.* FROM Audit WHERE [AutoIndex] = %1").arg(key);
    if (!AuditDatabase::instance().execute(jet, nullptr, error))
        return false;
    emit rowAboutToBeRemoved(row);
    m_keys.remove(row);
    m_cache.remove(key);
    emit rowRemoved(row);
    if (row >= loadedCount())
        readUntil(row);
    m_current = m_keys.isEmpty() ? -1 : qMin(row, loadedCount() - 1);
    emit currentRowChanged(m_current);
    return true;
}

bool IsRecordsetEmpty(const AuditView* view)
{
    return view == nullptr || !view->isOpen() || (view->bof() && view->eof());
}
