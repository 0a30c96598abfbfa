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

void ReportStreamWriter::append(QStringView text)
{
    // Most report text is ASCII: copied byte by byte without a temporary.
    const qsizetype start = m_buffer.size();
    m_buffer.resize(start + text.size());
    char* out = m_buffer.data() + start;
    for (QChar c : text) {
        if (c.unicode() >= 0x80) {
            m_buffer.resize(start);
            m_buffer.append(text.toUtf8());
            return;
        }
        *out++ = char(c.unicode());
    }
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
    m_written += written;
    m_buffer.resize(0); // keeps its capacity

    return true;
}
