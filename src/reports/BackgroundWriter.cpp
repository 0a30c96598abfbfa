#include "BackgroundWriter.h"

#include "ReportOutputError.h"

#include <QIODevice>
#include <cerrno>

namespace {

// Blocks queued at most before write() waits for the device.
constexpr size_t MostQueued = 8;

} // namespace

BackgroundWriter::BackgroundWriter(WriteBlock writeBlock) : m_writeBlock(std::move(writeBlock)) {}

BackgroundWriter::BackgroundWriter(QIODevice* device)
    : BackgroundWriter([device](QByteArrayView block) {
          errno = 0;
          if (device->write(block.data(), block.size()) != block.size())
              return ReportOutputError::ofWrite(device, errno);
          return AuditError();
      })
{
}

BackgroundWriter::~BackgroundWriter()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_changed.notify_all();
    }
    m_thread.join();
}

bool BackgroundWriter::write(QByteArray& block, bool waitForIt)
{
    if (m_failed)
        return false;
    if (waitForIt && !m_thread.joinable()) {
        // Output of one block: written here, no thread needed.
        const AuditError failure = m_writeBlock(block);
        block.resize(0); // keeps its capacity
        if (failure.isError()) {
            std::lock_guard lock(m_mutex);
            m_error = failure;
            m_failed = true;
        }
        return !m_failed;
    }
    if (!m_thread.joinable())
        m_thread = std::thread([this] { run(); });
    const qsizetype room = block.capacity();
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.size() < MostQueued || m_failed; });
    m_queue.push_back(std::move(block));
    m_changed.notify_all();
    if (m_spare.empty()) {
        block = QByteArray();
        lock.unlock();
        block.reserve(room);
    } else {
        block = std::move(m_spare.back());
        m_spare.pop_back();
    }
    return !m_failed;
}

bool BackgroundWriter::wait()
{
    if (m_thread.joinable()) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_queue.empty() && !m_writing; });
    }
    return !m_failed;
}

AuditError BackgroundWriter::error() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

void BackgroundWriter::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_queue.empty())
            return;
        QByteArray block = std::move(m_queue.front());
        m_queue.pop_front();
        m_writing = true;
        lock.unlock();
        // After a failure the rest is dropped: the output is lost anyway.
        const AuditError failure = m_failed ? AuditError() : m_writeBlock(block);
        block.resize(0); // keeps its capacity for another block
        lock.lock();
        if (failure.isError()) {
            m_error = failure;
            m_failed = true;
        }
        m_spare.push_back(std::move(block));
        m_writing = false;
        m_changed.notify_all();
    }
}
