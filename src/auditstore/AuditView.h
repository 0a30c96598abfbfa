#pragma once

#include "AuditEntry.h"
#include "AuditError.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QVector>

#include <deque>

// The viewer's record set: its record source (a Jet SELECT over Audit), a
// snapshot of the selected keys in order, the current row, and rows fetched
// on demand in pages. The viewer window, unattended start-up and the purge all
// use it; it needs no window.
//
// Refresh and requery read only the AutoIndex of every selected row (8 bytes a
// row); the full rows are fetched by key when asked for and a bounded number
// is kept, so a view of a million entries costs a few megabytes. Rows that
// other programs append appear at the next requery, as with a static cursor.
class AuditView : public QObject
{
    Q_OBJECT

public:
    explicit AuditView(QObject* parent = nullptr);

    // The viewer's view, shared by the windows and start-up.
    static AuditView& instance();

    void setRecordSource(const QString& jet);
    QString recordSource() const { return m_source; }

    // Runs the record source afresh; the first row becomes current.
    bool refresh(AuditError* error = nullptr);
    // Runs the same record source again; the current entry stays current when
    // it is still selected.
    bool requery(AuditError* error = nullptr);
    // Forgets the record set (as before the first refresh).
    void clear();

    bool isOpen() const { return m_open; }
    int recordCount() const { return static_cast<int>(m_keys.size()); }
    // At both beginning and end: no rows, or never run.
    bool isEmpty() const { return m_keys.isEmpty(); }
    bool bof() const { return m_current < 0; }
    bool eof() const { return m_current < 0 || m_current >= recordCount(); }

    int currentRow() const { return m_current; }
    void setCurrentRow(int row);

    qint64 keyAt(int row) const { return m_keys.value(row, 0); }
    int rowOfKey(qint64 key) const;
    // The entry at a row (fetched with its page when not cached). A row whose
    // entry has since been deleted by another program comes back with
    // AutoIndex 0.
    AuditEntry entryAt(int row);
    AuditEntry currentEntry() { return entryAt(m_current); }

    // Deletes the current entry from the database and from the view; the next
    // row (or the previous one, at the end) becomes current.
    bool deleteCurrent(AuditError* error = nullptr);

    // Rows fetched per page and the most rows kept in memory.
    static constexpr int PageSize = 256;
    static constexpr int CacheLimit = 64 * PageSize;

signals:
    void aboutToReset();
    void reset();
    void rowAboutToBeRemoved(int row);
    void rowRemoved(int row);
    void currentRowChanged(int row);

private:
    bool load(AuditError* error);
    void fetchPage(int row);
    QString keySource() const;

    QString m_source;
    bool m_open = false;
    QVector<qint64> m_keys;
    int m_current = -1;
    QHash<qint64, AuditEntry> m_cache;
    std::deque<qint64> m_cacheOrder;
};

// True when the view is missing, never run, or at both beginning and end.
bool IsRecordsetEmpty(const AuditView* view);
