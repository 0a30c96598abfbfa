#pragma once

#include "AuditError.h"

#include <QByteArray>

// Replacements of byte ranges of a finished render, made as it is copied into
// its target (OutputFile::copyInto): the page count filled in where stand-ins
// held its place.
class OutputPatches
{
public:
    virtual ~OutputPatches() = default;

    // The next replacement, in increasing order of offset and not overlapping
    // the one before: the source's bytes [offset, offset + length) become
    // bytes. False when there is none left, or on a failure (error() says).
    virtual bool nextPatch(qint64* offset, qint64* length, QByteArray* bytes) = 0;
    virtual AuditError patchError() const = 0;
    // Starts the replacements again from the first; false when they cannot be.
    virtual bool rewindPatches() { return false; }
};
