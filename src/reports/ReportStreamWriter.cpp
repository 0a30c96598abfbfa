#include "ReportStreamWriter.h"

#include "ReportOutputError.h"

#include <QIODevice>

#include <cerrno>

namespace {

constexpr qsizetype BlockSize = 64 * 1024;

} // namespace

ReportStreamWriter::ReportStreamWriter(QIODevice* device) : m_device(device)
{
    m_buffer.reserve(BlockSize + 4096);
}

bool ReportStreamWriter::flush(bool force)
{
    if (m_error.isError())
        return false;
    if (m_buffer.isEmpty() || (!force && m_buffer.size() < BlockSize))
        return true;
    errno = 0;
    const qint64 written = m_device->write(m_buffer);
    if (written != m_buffer.size()) {
        m_error = ReportOutputError::ofWrite(m_device, errno);
        return false;
    }
    m_buffer.clear();
    return true;
}
