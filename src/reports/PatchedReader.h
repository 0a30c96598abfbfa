#pragma once

#include "AuditError.h"

#include <QByteArray>

class OutputPatches;
class QIODevice;

// Reads a finished render from its start with its patches made on the way
// (the page count where stand-ins held its place), in any size of pieces.
class PatchedReader
{
public:
    // patches may be null: the source as it is.
    PatchedReader(QIODevice& source, OutputPatches* patches);

    // Places up to size bytes at data: their count, 0 at the end, -1 on a
    // failure (error() says why).
    qint64 read(char* data, qint64 size);
    // The failure: a patch that could not be made, or the read's errno
    // (EIO where there is none, or where the source ended too soon).
    AuditError error() const { return m_error; }
    int errorCode() const { return m_code; }
    bool patchFailed() const { return m_patchFailed; }
    // How far the source has been read and is not needed again.
    qint64 sourcePosition() const { return m_position; }

    // The length of the source with its patches made. The patches are walked
    // and then rewound; -1 when they cannot be (error() says why).
    static qint64 patchedLength(QIODevice& source, OutputPatches& patches, AuditError* error);

private:
    bool takePatch();
    qint64 readAt(qint64 at, char* into, qint64 size);
    qint64 preadAll(qint64 at, char* into, qint64 size);
    qint64 fail(int code);

    QIODevice& m_source;
    OutputPatches* m_patches;
    int m_fd = -1;
    qint64 m_position = 0; // in the source
    bool m_patching = false;
    bool m_sameLengths = true; // no patch so far has changed the length
    static constexpr qint64 WindowSize = 256 * 1024;
    QByteArray m_window; // the source from m_windowAt
    qint64 m_windowAt = 0;
    qint64 m_patchAt = 0;
    qint64 m_patchLength = 0;
    QByteArray m_patch;
    qint64 m_patchSent = 0; // bytes of m_patch already placed
    bool m_started = false;
    int m_code = 0;
    bool m_patchFailed = false;
    AuditError m_error;
};
