#pragma once

#include "AuditError.h"
#include "BackgroundWriter.h"

#include <QByteArray>
#include <QStringView>
#include <cstring>

class QIODevice;

// Collects UTF-8 output and hands it to the device in large blocks, checking
// every write. The blocks are written on a second thread once there is more
// than one; the device is the stream's until a forced flush() returns. After a
// failure it writes nothing more and error() says why.
class ReportStreamWriter
{
public:
    explicit ReportStreamWriter(QIODevice* device);

    void append(QStringView text);
    void append(QLatin1StringView text) { m_buffer.append(text.data(), text.size()); }
    void append(char c) { m_buffer.append(c); }
    void appendUtf8(QByteArrayView utf8) { appendBytes(m_buffer, utf8); }
    // Appends text to out as UTF-8.
    static void appendUtf8(QByteArray& out, QStringView text);
    // Appends bytes to out, copied into its spare capacity.
    static void appendBytes(QByteArray& out, QByteArrayView bytes)
    {
        const qsizetype at = out.size();
        out.resize(at + bytes.size());
        std::memcpy(out.data() + at, bytes.data(), size_t(bytes.size()));
    }
    // Room for size more bytes at the end of the output: where they go.
    // release() then keeps what was written, up to its end.
    char* claim(qsizetype size)
    {
        const qsizetype at = m_buffer.size();
        m_buffer.resize(at + size);
        return m_buffer.data() + at;
    }
    void release(const char* end) { m_buffer.resize(end - m_buffer.constData()); }
    // Writes text at out as UTF-8, which takes at most three bytes a code
    // unit; returns the end.
    static char* putUtf8(char* out, QStringView text);
    // Writes out the collected output once there is enough of it; forced,
    // writes all and waits until it is written. False once a write failed.
    bool flush(bool force = false);
    // Bytes appended so far, written out or not: where the next byte goes.
    qint64 position() const { return m_written + m_buffer.size(); }
    AuditError error() const { return m_error; }

private:
    // Takes the background writer's failure; false.
    bool failed();

    QByteArray m_buffer;
    BackgroundWriter m_writer;
    qint64 m_written = 0;
    AuditError m_error;
};
