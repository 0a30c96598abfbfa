#pragma once

#include <QVector>
#include <QtGlobal>
#include <vector>

// The keys of a view in row order, kept in blocks of up to BlockRows rows. A
// block whose keys step evenly (newest first, or in time order, with no entry
// deleted in between: the usual case) is kept as its first key and step,
// some 40 bytes for BlockRows rows; any other block as a plain array of 8
// bytes a key. Blocks are filled in order, so appending never copies what
// is already kept, and the largest memory use is the keys themselves.
class KeySequence
{
public:
    static constexpr qsizetype BlockRows = 4096;

    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    void clear();

    // The key at a row, or fallback outside 0..size()-1.
    qint64 value(qsizetype row, qint64 fallback = 0) const;
    qint64 operator[](qsizetype row) const { return value(row); }
    void append(const QVector<qint64>& keys);
    void append(qint64 key);
    void remove(qsizetype row);
    // The first row at or after from holding the key, or -1.
    qsizetype indexOf(qint64 key, qsizetype from = 0) const;

    // Bytes the blocks use (for the bench and tests).
    qsizetype bytesUsed() const;

private:
    struct Block
    {
        qsizetype start = 0; // row of the first key
        qsizetype count = 0;
        qint64 first = 0;
        qint64 step = 0;
        std::vector<qint64> raw; // empty while the keys step evenly

        qint64 at(qsizetype i) const { return raw.empty() ? first + i * step : raw[i]; }
        void makeRaw();
    };

    // The block holding a row (0 <= row < size()).
    const Block& blockOf(qsizetype row) const;

    std::vector<Block> m_blocks;
    qsizetype m_size = 0;
};
