#pragma once

#include "AuditError.h"
#include "AuditRows.h"
#include "GridCellText.h"

#include <QByteArrayView>
#include <QSqlDatabase>
#include <array>
#include <functional>
#include <memory>

// One entry as read: the numbers, and the text columns as the database's
// UTF-8 bytes by grid column (valid only while the entry is handed over).
struct EntryCells
{
    qint64 autoIndex = 0;
    int level = 0;
    int error = 0;
    std::array<QByteArrayView, GridCellText::ColumnCount> text{};
};

// Reads the grid's nine columns of the entries with given keys, a slice of
// keys at a time, through one prepared statement on a connection of the audit
// database (the backend's own client library: a million rows in well under a
// second, where QSqlQuery spends that on wrapping values). Nothing is cached
// or copied.
class EntrySliceReader
{
public:
    static constexpr int SliceSize = 500;

    explicit EntrySliceReader(const QSqlDatabase& db);
    ~EntrySliceReader();
    EntrySliceReader(const EntrySliceReader&) = delete;
    EntrySliceReader& operator=(const EntrySliceReader&) = delete;

    // False when the statement could not be prepared (error() says why).
    bool isValid() const { return m_keyList && m_keyRange; }
    AuditError error() const { return m_error; }

    // Reads the entries of up to SliceSize keys and hands each one found to
    // found with the position of its key; a key whose entry is gone is
    // skipped. The entries come in the database's order, not the keys'.
    using Found = std::function<void(int position, const EntryCells& entry)>;
    bool read(const qint64* keys, int count, const Found& found);

private:
    std::unique_ptr<AuditRows> m_keyList;  // WHERE AutoIndex IN (a slice of keys)
    std::unique_ptr<AuditRows> m_keyRange; // WHERE AutoIndex BETWEEN the lowest and highest
    AuditError m_error;
};
