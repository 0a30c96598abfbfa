#include "ReportStreamWriter.h"

namespace {

// Large enough that handing a block to the writing thread costs little.
constexpr qsizetype BlockSize = 256 * 1024;

// Most report text is ASCII: tested and narrowed in loops without branches
// that the compiler can vectorise.
bool isAscii(QStringView text)
{
    const char16_t* units = text.utf16();
    char16_t all = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        all |= units[i];
    return all < 0x80;
}

void narrow(char* __restrict bytes, QStringView ascii)
{
    const char16_t* units = ascii.utf16();
    for (qsizetype i = 0; i < ascii.size(); ++i)
        bytes[i] = char(units[i]);
}

} // namespace

ReportStreamWriter::ReportStreamWriter(QIODevice* device) : m_writer(device)
{
    m_buffer.reserve(BlockSize + 4096);
}

void ReportStreamWriter::append(QStringView text)
{
    appendUtf8(m_buffer, text);
}

void ReportStreamWriter::appendUtf8(QByteArray& out, QStringView text)
{
    if (!isAscii(text)) {
        out.append(text.toUtf8());
        return;
    }
    const qsizetype start = out.size();
    out.resize(start + text.size());
    narrow(out.data() + start, text);
}

char* ReportStreamWriter::putUtf8(char* out, QStringView text)
{
    if (!isAscii(text)) {
        const QByteArray utf8 = text.toUtf8();
        std::memcpy(out, utf8.constData(), size_t(utf8.size()));
        return out + utf8.size();
    }
    narrow(out, text);
    return out + text.size();
}

bool ReportStreamWriter::flush(bool force)
{
    if (m_error.isError())
        return false;
    if (!force && m_buffer.size() < BlockSize)
        return m_writer.failed() ? failed() : true;
    m_written += m_buffer.size();
    if (!m_buffer.isEmpty())
        m_writer.write(m_buffer, force);
    if ((force && !m_writer.wait()) || m_writer.failed())
        return failed();
    return true;
}

bool ReportStreamWriter::failed()
{
    m_error = m_writer.error();
    return false;
}
