#include "OutputFile.h"

#include "BackgroundWriter.h"
#include "OutputPatches.h"
#include "PatchedReader.h"
#include "ReportRenderer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <QIODevice>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// How long a FIFO without a reader is waited for.
constexpr int FifoReaderWaitMs = 30000;
// The size of the writes a copy is made of.
constexpr qint64 CopyChunk = 1024 * 1024;
// How much of a released source is read before its pages are given back.
constexpr qint64 ReleaseStep = 4 * CopyChunk;

QString reason(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

AuditError writeError(const QString& target, int code)
{
    const bool full = code == ENOSPC || code == EFBIG || code == EDQUOT;
    return {full ? ReportErrorNumber::DiskFull : ReportErrorNumber::DeviceError,
            QStringLiteral("Cannot write %1: %2").arg(target, reason(code))};
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opens target for writing without truncating it; a FIFO must get a reader.
int openTarget(const QString& target, AuditError& error)
{
    const QByteArray name = QFile::encodeName(target);
    const QDeadlineTimer deadline(FifoReaderWaitMs);
    for (;;) {
        const int fd =
            ::open(name.constData(), O_WRONLY | O_CREAT | O_NOCTTY | O_CLOEXEC | O_NONBLOCK, 0666);
        if (fd >= 0) {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            return fd;
        }
        const int code = errno;
        if (code == EINTR)
            continue;
        if (code == ENXIO && !deadline.hasExpired()) {
            QThread::msleep(50);
            continue;
        }
        error = {ReportErrorNumber::FileAccess,
                 code == ENXIO
                     ? QStringLiteral("Cannot write %1: no program reads from it").arg(target)
                     : QStringLiteral("Cannot create %1: %2").arg(target, reason(code))};
        return -1;
    }
}

bool writeAll(int fd, const char* data, qint64 size, int& code)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            code = n < 0 ? errno : EIO;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

// A closed pipe must fail the write (EPIPE), not end the program.
class IgnoreSigpipe
{
public:
    IgnoreSigpipe() { m_previous = std::signal(SIGPIPE, SIG_IGN); }
    ~IgnoreSigpipe() { std::signal(SIGPIPE, m_previous); }
    IgnoreSigpipe(const IgnoreSigpipe&) = delete;
    IgnoreSigpipe& operator=(const IgnoreSigpipe&) = delete;

private:
    void (*m_previous)(int);
};

} // namespace

namespace OutputFile {

bool copyInto(QIODevice& source, const QString& target, AuditError& error, OutputPatches* patches,
              bool sync, bool releaseSource)
{
    IgnoreSigpipe ignore;
    int fd = openTarget(target, error);
    if (fd < 0)
        return false;
    struct stat info = {};
    struct stat out = {};
    ::fstat(fd, &info);
    const bool isStdout = ::fstat(STDOUT_FILENO, &out) == 0 && sameFile(info, out);
    if (isStdout) {
        ::close(fd);
        fd = ::dup(STDOUT_FILENO);
    }
    const bool regular = S_ISREG(info.st_mode) && !isStdout;
    // A name for the source itself (/proc/self/fd/N of the render) would be
    // written while it is read.
    auto* sourceFile = qobject_cast<QFileDevice*>(&source);
    struct stat sourceInfo = {};
    const bool sourceIsFile = sourceFile && sourceFile->handle() >= 0 &&
                              ::fstat(sourceFile->handle(), &sourceInfo) == 0;
    if (sourceIsFile && sameFile(info, sourceInfo)) {
        ::close(fd);
        error = {ReportErrorNumber::FileAccess,
                 QStringLiteral("Cannot write %1: it is the report being made").arg(target)};
        return false;
    }

    // The copy goes through a buffer and leaves in large writes: a report has
    // a patch on every page, and a write (or kernel copy) per patch costs more
    // than the copy itself.
    PatchedReader reader(source, patches);
    QByteArray buffer(CopyChunk, Qt::Uninitialized);
    qint64 total = 0;
    int code = 0;
    bool ok = true;
    // A released render gives back the pages already read as the copy goes,
    // on the writing thread: freeing them all when the render is closed took
    // the reading thread 5 % of an HTML report's time.
    const int sourceFd = releaseSource && sourceIsFile && S_ISREG(sourceInfo.st_mode)
                             ? sourceFile->handle()
                             : -1;
    std::atomic<qint64> readUpTo = 0;
    qint64 released = 0;
    // The target is written on a second thread while the next block is read.
    BackgroundWriter writer([fd, &target, sourceFd, &readUpTo, &released](QByteArrayView block) {
        int failure = 0;
        if (!writeAll(fd, block.data(), block.size(), failure))
            return writeError(target, failure);
        const qint64 upTo = readUpTo.load(std::memory_order_relaxed) / ReleaseStep * ReleaseStep;
        if (sourceFd >= 0 && upTo > released) {
            // Not given back (a file system without holes): freed at the close.
            ::fallocate(sourceFd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, released,
                        upTo - released);
            released = upTo;
        }
        return AuditError();
    });
    for (;;) {
        buffer.resize(CopyChunk);
        const qint64 n = reader.read(buffer.data(), CopyChunk);
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        total += n;
        buffer.resize(n);
        readUpTo.store(reader.sourcePosition(), std::memory_order_relaxed);
        if (!writer.write(buffer))
            break;
    }
    const bool patchFailed = reader.patchFailed();
    if (!ok && !patchFailed)
        code = reader.errorCode();
    if (!writer.wait() || patchFailed) {
        ::close(fd);
        error = patchFailed ? reader.error() : writer.error();
        return false;
    }
    if (ok && regular && (::ftruncate(fd, total) != 0 || (sync && ::fsync(fd) != 0))) {
        ok = false;
        code = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (!ok)
        error = writeError(target, code);
    return ok;
}

bool isDatabaseFile(const QString& target, const QString& databasePath)
{
    if (target.trimmed().isEmpty() || databasePath.isEmpty())
        return false;
    // The target as an absolute path with its folder's links resolved.
    const QFileInfo targetInfo(target);
    const QString folder = QFileInfo(targetInfo.absolutePath()).canonicalFilePath();
    const QString targetPath =
        targetInfo.exists()
            ? targetInfo.canonicalFilePath()
            : (folder.isEmpty() ? targetInfo.absoluteFilePath()
                                : folder + QLatin1Char('/') + targetInfo.fileName());
    const QString database = QFileInfo(databasePath).exists()
                                 ? QFileInfo(databasePath).canonicalFilePath()
                                 : QFileInfo(databasePath).absoluteFilePath();
    struct stat targetStat = {};
    const bool targetExists = ::stat(QFile::encodeName(target).constData(), &targetStat) == 0;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        const QString file = database + QLatin1String(suffix);
        if (targetPath == file)
            return true;
        struct stat fileStat = {};
        if (targetExists && ::stat(QFile::encodeName(file).constData(), &fileStat) == 0 &&
            sameFile(targetStat, fileStat))
            return true;
    }
    return false;
}

} // namespace OutputFile
