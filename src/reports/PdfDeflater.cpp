#include "PdfDeflater.h"

#include <zlib.h>

PdfDeflater::PdfDeflater() : m_thread([this] { run(); }) {}

PdfDeflater::~PdfDeflater()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void PdfDeflater::submit(std::string data)
{
    bool idle = false;
    {
        std::lock_guard lock(m_mutex);
        idle = m_input.empty() && m_idle;
        m_input.push_back(std::move(data));
    }
    ++m_pending;
    // A busy thread takes the next data without being woken.
    if (idle)
        m_changed.notify_all();
}

QByteArray PdfDeflater::take()
{
    std::unique_lock lock(m_mutex);
    m_waiting = true;
    m_changed.wait(lock, [this] { return !m_output.empty(); });
    m_waiting = false;
    QByteArray packed = std::move(m_output.front());
    m_output.pop_front();
    --m_pending;
    return packed;
}

void PdfDeflater::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_idle = true;
        m_changed.wait(lock, [this] { return m_stop || !m_input.empty(); });
        m_idle = false;
        if (m_input.empty())
            return;
        const std::string data = std::move(m_input.front());
        m_input.pop_front();
        lock.unlock();
        QByteArray packed = deflate(data.data(), qsizetype(data.size()));
        lock.lock();
        m_output.push_back(std::move(packed));
        if (m_waiting)
            m_changed.notify_all();
    }
}

QByteArray PdfDeflater::deflate(const char* data, qsizetype size)
{
    uLongf packedSize = compressBound(uLong(size));
    QByteArray packed(qsizetype(packedSize), Qt::Uninitialized);
    // Cannot fail with a buffer of compressBound's size.
    compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
              reinterpret_cast<const Bytef*>(data), uLong(size), Z_BEST_SPEED);
    packed.truncate(qsizetype(packedSize));
    return packed;
}
