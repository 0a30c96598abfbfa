#include "KeySequence.h"

#include <algorithm>

void KeySequence::Block::makeRaw()
{
    if (!raw.empty() || count == 0)
        return;
    raw.reserve(static_cast<size_t>(BlockRows));
    for (qsizetype i = 0; i < count; ++i)
        raw.push_back(first + i * step);
}

void KeySequence::clear()
{
    m_blocks.clear();
    m_blocks.shrink_to_fit();
    m_size = 0;
}

const KeySequence::Block& KeySequence::blockOf(qsizetype row) const
{
    // Blocks are full except where a row was removed: search by first row.
    const auto upper = std::upper_bound(m_blocks.begin(), m_blocks.end(), row,
                                        [](qsizetype r, const Block& b) { return r < b.start; });
    return *(upper - 1);
}

qint64 KeySequence::value(qsizetype row, qint64 fallback) const
{
    if (row < 0 || row >= m_size)
        return fallback;
    const Block& block = blockOf(row);
    return block.at(row - block.start);
}

void KeySequence::append(const QVector<qint64>& keys)
{
    for (qint64 key : keys)
        append(key);
}

void KeySequence::append(qint64 key)
{
    if (m_blocks.empty() || m_blocks.back().count >= BlockRows)
        m_blocks.push_back(Block{m_size, 0, key, 0, {}});
    Block& block = m_blocks.back();
    if (!block.raw.empty()) {
        block.raw.push_back(key);
    } else if (block.count == 1) {
        block.step = key - block.first;
    } else if (block.count > 1 && key != block.first + block.count * block.step) {
        block.makeRaw();
        block.raw.push_back(key);
    }
    ++block.count;
    ++m_size;
}

void KeySequence::remove(qsizetype row)
{
    if (row < 0 || row >= m_size)
        return;
    auto it = std::upper_bound(m_blocks.begin(), m_blocks.end(), row,
                               [](qsizetype r, const Block& b) { return r < b.start; }) -
              1;
    const qsizetype i = row - it->start;
    if (i == it->count - 1 && it->raw.empty()) {
        // The last key of an even block: the rest still steps evenly.
    } else if (i == 0 && it->raw.empty()) {
        it->first += it->step;
    } else {
        it->makeRaw();
        it->raw.erase(it->raw.begin() + i);
    }
    --it->count;
    for (auto next = it + 1; next != m_blocks.end(); ++next)
        --next->start;
    if (it->count == 0)
        m_blocks.erase(it);
    --m_size;
}

qsizetype KeySequence::indexOf(qint64 key, qsizetype from) const
{
    for (const Block& block : m_blocks) {
        if (block.start + block.count <= from)
            continue;
        const qsizetype begin = qMax<qsizetype>(0, from - block.start);
        if (block.raw.empty()) {
            const qint64 offset = key - block.first;
            if (block.step == 0 ? offset == 0 : offset % block.step == 0) {
                const qsizetype i = block.step == 0 ? 0 : offset / block.step;
                if (i >= begin && i < block.count)
                    return block.start + i;
            }
            continue;
        }
        const auto hit = std::find(block.raw.begin() + begin, block.raw.end(), key);
        if (hit != block.raw.end())
            return block.start + (hit - block.raw.begin());
    }
    return -1;
}

qsizetype KeySequence::bytesUsed() const
{
    qsizetype bytes = static_cast<qsizetype>(m_blocks.capacity() * sizeof(Block));
    for (const Block& block : m_blocks)
        bytes += static_cast<qsizetype>(block.raw.capacity() * sizeof(qint64));
    return bytes;
}
