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
    appendUtf8(m_buffer, text);
}

void ReportStreamWriter::appendUtf8(QByteArray& out, QStringView text)
{
    // Most report text is ASCII: narrowed in place, in loops without branches
    // that the compiler can vectorise.
    const char16_t* units = text.utf16();
    const qsizetype n = text.size();
    char16_t all = 0;
    for (qsizetype i = 0; i < n; ++i)
        all |= units[i];
    if (all >= 0x80) {
        out.append(text.toUtf8());
        return;
    }
    const qsizetype start = out.size();
    out.resize(start + n);
    char* __restrict bytes = out.data() + start;
    for (qsizetype i = 0; i < n; ++i)
        bytes[i] = char(units[i]);
}

char* ReportStreamWriter::putUtf8(char* out, QStringView text)
{
    const char16_t* units = text.utf16();
    const qsizetype n = text.size();
    char16_t all = 0;
    for (qsizetype i = 0; i < n; ++i)
        all |= units[i];
    if (all >= 0x80) {
        const QByteArray utf8 = text.toUtf8();
        std::memcpy(out, utf8.constData(), size_t(utf8.size()));
        return out + utf8.size();
    }
    char* __restrict bytes = out;
    for (qsizetype i = 0; i < n; ++i)
        bytes[i] = char(units[i]);
    return out + n;
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
