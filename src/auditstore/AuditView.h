#pragma once

#include "AuditEntry.h"
#include "AuditKeyCursor.h"
#include "KeySequence.h"
#include "AuditError.h"

#include <QHash>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVector>
#include <deque>
#include <memory>

// The viewer's record set: its record source (a Jet SELECT over Audit), a
// snapshot of the selected keys in order, the current row, and rows fetched
// on demand in pages. The viewer window, unattended start-up and the purge all
// use it; it needs no window.
//
// Refresh and requery read only the AutoIndex of every selected row, kept as a
// KeySequence (a few bytes per 4,096 rows where the keys step evenly, 8 bytes a
// row elsewhere); the full rows are fetched by key when asked for and a
// bounded number is kept, so a view of ten million entries costs megabytes. Rows that
// other programs append appear at the next requery, as with a static cursor.
//
// The keys arrive in steps: refresh and requery read the first FirstChunk
// keys at once and the rest in short slices from the event loop, on a read
// connection of the view's own (one snapshot, no lock held on the shared
// connection). Where the order ends in AutoIndex (every order the viewer
// builds) the first slice counts the rows in that snapshot, and from then on
// every row is listed: a row not read yet is reached from the nearer end,
// the last rows by reading the keys in the reverse order, so the end of ten
// million rows costs no more than their start. Otherwise recordCount() and an
// access to a row not read yet read up to it first; a window that wants to
// stay quick asks loadedCount() and follows rowsAppended().
class AuditView : public QObject
{
    Q_OBJECT

public:
    explicit AuditView(QObject* parent = nullptr);
    ~AuditView() override;

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
    // Every selected row (finishes reading the keys).
    int recordCount() const;
    // The rows listed so far: every row once they are counted, else those
    // whose keys have been read. Whether keys are still being read, and
    // whether the list is whole (counted or read to its end).
    int loadedCount() const { return static_cast<int>(m_total >= 0 ? m_total : m_keys.size()); }
    bool isLoading() const { return m_pending != nullptr; }
    bool hasAllRows() const { return m_total >= 0 || !m_pending; }
    // Reads the remaining keys now.
    void fetchAll();
    // At both beginning and end: no rows, or never run.
    bool isEmpty() const { return m_keys.isEmpty(); }
    bool bof() const { return m_current < 0; }
    // The current row is always one whose key has been read.
    bool eof() const { return m_current < 0 || m_current >= loadedCount(); }

    int currentRow() const { return m_current; }
    void setCurrentRow(int row);

    qint64 keyAt(int row) const;
    // The row of a key (finishes reading the keys when it is not read yet).
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
    // Keys read at once by refresh and requery, per read afterwards, and the
    // time a slice from the event loop reads for.
    static constexpr int FirstChunk = 1000;
    static constexpr int LaterChunk = 20000;
    static constexpr int SliceMs = 30;
    static constexpr int SliceReadKeys = 512;

signals:
    void aboutToReset();
    void reset();
    void rowAboutToBeRemoved(int row);
    void rowRemoved(int row);
    void currentRowChanged(int row);
    // Rows first to last are listed (their keys read, or their rows counted).
    void rowsAboutToBeAppended(int first, int last);
    void rowsAppended(int first, int last);
    // Every key of the current result has been read.
    void loadingFinished();
    // Reading the keys after the first slice failed: the view holds the rows
    // read until then (loadingFinished follows).
    void readFailed(const AuditError& error);

private:
    bool load(AuditError* error);
    // Reads up to limit more keys from the front; at the end (or a failure,
    // kept in m_readError) the statement is dropped.
    QVector<qint64> readKeys(int limit);
    // Reads up to limit more keys from the back, opening that statement first.
    bool readTail(int limit);
    // Rows between the keys read from the front and those read from the back.
    qsizetype unreadRows() const { return m_total - m_keys.size() - m_tail.size(); }
    void countRows();
    void joinEnds();
    void reportReadError();
    void appendKeys(QVector<qint64> keys);
    // Reads keys until the row's key is known (or every key is read).
    void readUntil(int row);
    bool isKnown(int row) const;
    qint64 knownKey(int row) const;
    void scheduleMore();
    void readMore();
    void stopLoading();
    // Emits loadingFinished (after any readFailed) once the front has ended.
    void announceEnd();
    QSqlDatabase keyConnection(AuditError* error);
    void fetchPage(int row);

    QString m_source;
    bool m_open = false;
    // Keys from the first row on; keys from the last row back (m_tail[0] is
    // the last row's); every row once counted (-1 until then).
    KeySequence m_keys;
    KeySequence m_tail;
    qsizetype m_total = -1;
    QString m_reverseSource;
    QString m_countSource;
    bool m_countDue = false;
    bool m_finishDue = false;
    std::unique_ptr<AuditKeyCursor> m_pending;
    std::unique_ptr<AuditKeyCursor> m_tailCursor;
    bool m_moreScheduled = false;
    bool m_shared = false; // the process-wide instance()
    AuditError m_readError;
    // Between aboutToReset and reset: keys read then need no signal of their own.
    bool m_resetting = false;
    QString m_keyConnectionString;
    int m_current = -1;
    QHash<qint64, AuditEntry> m_cache;
    std::deque<qint64> m_cacheOrder;
};

// True when the view is missing, never run, or at both beginning and end.
bool IsRecordsetEmpty(const AuditView* view);
