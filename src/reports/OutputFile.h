#pragma once

#include "AuditError.h"

#include <QString>

class OutputPatches;
class QIODevice;

// Writing a finished report into the file the operator named. The file is
// written into, not replaced: a FIFO, a device or standard error/output
// receives the text, an existing file keeps its inode, owner and mode (and
// every hard link sees the report). Every write error fails the delivery.
namespace OutputFile {

// Copies the source (from its start) into target. A FIFO without a reader is
// waited for a while, then fails. Target named as the program's own standard
// output (/dev/stdout, /proc/self/fd/1) is written through that descriptor,
// so an appending redirection stays appending. A regular file is cut to the
// new length and synced (unless sync is false: a file that only this run
// reads again). Patches, when given, replace their byte ranges on the way.
// With releaseSource, a source that is a regular file is a render made for
// this copy alone: the pages already copied are given back on the way (the
// file keeps its length, its copied bytes read as zeros). False with error
// filled on failure.
bool copyInto(QIODevice& source, const QString& target, AuditError& error,
              OutputPatches* patches = nullptr, bool sync = true, bool releaseSource = false);

// Whether target is the database file or one of its companion files
// (-wal, -shm, -journal), by name or as the same file under another name.
bool isDatabaseFile(const QString& target, const QString& databasePath);

} // namespace OutputFile
