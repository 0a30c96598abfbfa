#pragma once

#include "AuditError.h"

#include <QByteArray>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class QIODevice;

// Writes blocks on a thread of its own, so that making output (laying out a
// report, copying it) and the file system's work on it run at once. Where the
// blocks go is the writer's from the first block until wait() returns; a few
// blocks wait at most, so memory stays small however long the output.
class BackgroundWriter
{
public:
    // Writes a whole block; a failure says why.
    using WriteBlock = std::function<AuditError(QByteArrayView block)>;

    explicit BackgroundWriter(WriteBlock writeBlock);
    // Blocks written to device; a failure as ReportOutputError::ofWrite says.
    explicit BackgroundWriter(QIODevice* device);
    // Waits for the blocks still queued.
    ~BackgroundWriter();
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;

    // Queues block for writing and leaves an empty buffer in its place (with
    // room, where one came back). With waitForIt (the caller waits for it
    // next) a block before which nothing was queued is written at once on
    // this thread. False once a write has failed.
    bool write(QByteArray& block, bool waitForIt = false);
    // Returns once every queued block is written; false when a write failed.
    bool wait();
    // Why the first failed write failed.
    AuditError error() const;
    bool failed() const { return m_failed; }

private:
    void run();

    WriteBlock m_writeBlock;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<QByteArray> m_queue;
    std::vector<QByteArray> m_spare;
    bool m_writing = false;
    bool m_stop = false;
    std::atomic<bool> m_failed = false;
    AuditError m_error;
    std::thread m_thread;
};
