#include "AuditView.h"

#include "AuditDatabase.h"

#include <QRegularExpression>
#include <QSqlRecord>

AuditView::AuditView(QObject* parent) : QObject(parent) {}

AuditView& AuditView::instance()
{
    static AuditView view;
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

bool AuditView::load(AuditError* error)
{
    // The record source as built; what runs is its key-only form below.
    qCDebug(lcAuditSql).noquote() << "view:  " << m_source;
    auto query = AuditDatabase::instance().select(keySource(), error, true);
    if (!query)
        return false;
    QVector<qint64> keys;
    while (query->next())
        keys.append(query->value(0).toLongLong());
    emit aboutToReset();
    m_keys = std::move(keys);
    m_cache.clear();
    m_cacheOrder.clear();
    m_open = true;
    return true;
}

bool AuditView::refresh(AuditError* error)
{
    if (!load(error))
        return false;
    m_current = m_keys.isEmpty() ? -1 : 0;
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
    int row = currentKey ? rowOfKey(currentKey) : -1;
    if (row < 0 && !m_keys.isEmpty())
        row = qBound(0, oldRow, recordCount() - 1);
    m_current = m_keys.isEmpty() ? -1 : row;
    emit reset();
    emit currentRowChanged(m_current);
    return true;
}

void AuditView::clear()
{
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
    const int next = (row >= 0 && row < recordCount()) ? row : -1;
    if (next == m_current)
        return;
    m_current = next;
    emit currentRowChanged(m_current);
}

int AuditView::rowOfKey(qint64 key) const { return static_cast<int>(m_keys.indexOf(key)); }

void AuditView::fetchPage(int row)
{
    const int first = (row / PageSize) * PageSize;
    const int last = qMin(first + PageSize, recordCount());
    QStringList wanted;
    for (int r = first; r < last; ++r)
        if (!m_cache.contains(m_keys[r]))
            wanted.append(QString::number(m_keys[r]));
    if (wanted.isEmpty())
        return;

    const QString jet = QStringLiteral("SELECT Audit.* FROM Audit WHERE [AutoIndex] IN (") +
                        wanted.join(QLatin1Char(',')) + QStringLiteral(")");
    auto query = AuditDatabase::instance().select(jet, nullptr, true);
    if (!query)
        return;
    while (query->next()) {
        AuditEntry entry = AuditEntry::fromRecord(query->record());
        const qint64 key = entry.AutoIndex;
        if (!m_cache.contains(key))
            m_cacheOrder.push_back(key);
        m_cache.insert(key, std::move(entry));
    }
    while (m_cache.size() > CacheLimit && !m_cacheOrder.empty()) {
        m_cache.remove(m_cacheOrder.front());
        m_cacheOrder.pop_front();
    }
}

AuditEntry AuditView::entryAt(int row)
{
    if (row < 0 || row >= recordCount())
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
    m_current = m_keys.isEmpty() ? -1 : qMin(row, recordCount() - 1);
    emit currentRowChanged(m_current);
    return true;
}

bool IsRecordsetEmpty(const AuditView* view)
{
    return view == nullptr || !view->isOpen() || (view->bof() && view->eof());
}
