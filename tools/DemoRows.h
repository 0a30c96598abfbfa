#pragma once

// The demo tool's entries: realistic rows as the product's programs would
// have written them, made from a seeded generator (same seed, same rows)
// and handed to a sink, which stores them wherever it likes.

#include <QDateTime>
#include <QtGlobal>
#include <array>
#include <functional>
#include <random>
#include <string>

namespace DemoRows {

// Picks from fixed lists with a seeded generator, so a seed gives the same rows.
class Generator
{
public:
    explicit Generator(quint64 seed) : m_random(seed) {}

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }
    double unit() { return std::uniform_real_distribution<double>(0.0, 1.0)(m_random); }
    template <typename T, size_t N> const T& pick(const std::array<T, N>& list)
    {
        return list[static_cast<size_t>(below(static_cast<int>(N)))];
    }

private:
    std::mt19937_64 m_random;
};

// One entry: the columns of Audit but AutoIndex, [When] as stored.
struct Row
{
    int level = 0;
    int error = 0;
    std::string description;
    std::string application;
    std::string when;
    std::string user;
    std::string details;
    std::string path;
    int unattended = 0;
    std::string response;
    std::string taskList;
};

// Each row is handed over to keep: a sink moves its texts, it does not copy them.
using RowSink = std::function<void(Row&&)>;

// Each entry, in time order, to a sink. Times rise with the row number, so
// insertion order is time order. The rows depend only on the generator's
// seed, whatever the sink does with them (an SQLite file or another store).
void generateRows(qint64 rows, Generator& g, const QDateTime& first, const QDateTime& last,
                  const RowSink& sink);

// generateRows on a thread of its own, handing the rows over in batches to
// the sink on the calling thread: making the texts and storing them then
// take two cores. An exception from the sink stops both and goes on.
void pipeRows(qint64 rows, Generator& g, const QDateTime& first, const QDateTime& last,
              const RowSink& sink);

} // namespace DemoRows
