#include "PatchedReader.h"

#include "OutputPatches.h"
#include "ReportRenderer.h"

#include <QFileDevice>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

PatchedReader::PatchedReader(QIODevice& source, OutputPatches* patches)
    : m_source(source), m_patches(patches)
{
    auto* file = qobject_cast<QFileDevice*>(&source);
    m_fd = file && file->flush() ? file->handle() : -1;
}

qint64 PatchedReader::patchedLength(QIODevice& source, OutputPatches& patches, AuditError* error)
{
    auto* file = qobject_cast<QFileDevice*>(&source);
    qint64 length = file && file->flush() ? file->size() : source.size();
    qint64 at = 0;
    qint64 replaced = 0;
    QByteArray bytes;
    while (patches.nextPatch(&at, &replaced, &bytes))
        length += bytes.size() - replaced;
    if (patches.patchError().isError() || !patches.rewindPatches()) {
        if (error)
            *error = patches.patchError().isError()
                         ? patches.patchError()
                         : AuditError{ReportErrorNumber::DeviceError,
                                      QStringLiteral("The page count could not be read again.")};
        return -1;
    }
    return length;
}

qint64 PatchedReader::fail(int code)
{
    m_code = code;
    m_error = {ReportErrorNumber::DeviceError,
               QStringLiteral("Cannot read the rendered report: %1")
                   .arg(QString::fromLocal8Bit(std::strerror(code)))};
    return -1;
}

// The next patch; one that cannot be made fails the read.
bool PatchedReader::takePatch()
{
    m_patchSent = 0;
    m_patching = m_patches && m_patches->nextPatch(&m_patchAt, &m_patchLength, &m_patch);
    if (m_patching && m_patch.size() != m_patchLength)
        m_sameLengths = false;
    if (!m_patching && m_patches && m_patches->patchError().isError()) {
        m_error = m_patches->patchError();
        m_code = EIO;
        m_patchFailed = true;
        return false;
    }
    return true;
}

// Up to size bytes of the source from at (pread on a file, so that skipping a
// patched range needs no seek); -1 on an error. Where patches change lengths,
// the short stretches between them come from a window read ahead.
qint64 PatchedReader::readAt(qint64 at, char* into, qint64 size)
{
    if (m_fd < 0)
        return m_source.pos() == at || m_source.seek(at) ? m_source.read(into, size) : -1;
    if (m_sameLengths || size >= WindowSize)
        return preadAll(at, into, size);
    if (at < m_windowAt || at >= m_windowAt + m_window.size()) {
        m_window.resize(WindowSize);
        const qint64 n = preadAll(at, m_window.data(), WindowSize);
        m_window.resize(std::max<qint64>(n, 0));
        m_windowAt = at;
        if (n <= 0)
            return n;
    }
    const qint64 n = std::min(size, m_windowAt + m_window.size() - at);
    std::memcpy(into, m_window.constData() + (at - m_windowAt), size_t(n));
    return n;
}

qint64 PatchedReader::preadAll(qint64 at, char* into, qint64 size)
{
    for (;;) {
        const ssize_t n = ::pread(m_fd, into, size_t(size), off_t(at));
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

qint64 PatchedReader::read(char* data, qint64 size)
{
    if (m_error.isError())
        return -1;
    if (!m_started) {
        m_started = true;
        if (!takePatch())
            return -1;
    }
    qint64 used = 0;
    while (used < size) {
        if (m_patching && m_patchAt < m_position)
            return fail(EIO); // patches out of order
        if (m_patching && m_position == m_patchAt) {
            const qint64 n = std::min(size - used, m_patch.size() - m_patchSent);
            std::memcpy(data + used, m_patch.constData() + m_patchSent, size_t(n));
            used += n;
            m_patchSent += n;
            if (m_patchSent < m_patch.size())
                break;
            m_position += m_patchLength;
            if (!takePatch())
                return -1;
            continue;
        }
        // While every patch keeps the length it replaces, one read goes
        // straight through the patches and they are laid over the bytes read:
        // a report has one on every page, and a read per page costs more than
        // the copy.
        const qint64 want = m_patching && !m_sameLengths
                                ? std::min(size - used, m_patchAt - m_position)
                                : size - used;
        const qint64 n = readAt(m_position, data + used, want);
        if (n < 0 || (n == 0 && m_patching))
            return fail(n < 0 && m_fd >= 0 ? errno : EIO);
        if (n == 0)
            break;
        qint64 end = m_position + n;
        qint64 floor = m_position;
        while (m_patching && m_patchAt < end) {
            if (m_patchAt < floor)
                return fail(EIO);
            if (m_patch.size() != m_patchLength || m_patchAt + m_patchLength > end) {
                end = m_patchAt; // the patch branch makes it next
                break;
            }
            std::memcpy(data + used + (m_patchAt - m_position), m_patch.constData(),
                        size_t(m_patch.size()));
            floor = m_patchAt + m_patchLength;
            if (!takePatch())
                return -1;
        }
        used += end - m_position;
        m_position = end;
    }
    return used;
}
