#include "PrivateTempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <memory>
#include <unistd.h>

namespace {

// The folder's path for the signal handler, which may not allocate.
char folderPath[PATH_MAX];
volatile sig_atomic_t folderMade = 0;

// A run ended by a signal (a scheduler's time limit, Ctrl+C) would leave the
// folder behind, with a report or an archive in it: the handler empties and
// removes it (system calls only), then ends the process as the signal would.
void removeOnSignal(int signal)
{
    if (folderMade) {
        const int dir = ::open(folderPath, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (dir >= 0) {
            alignas(dirent64) char entries[4096];
            ssize_t size;
            while ((size = ::getdents64(dir, entries, sizeof entries)) > 0) {
                for (ssize_t at = 0; at < size;) {
                    const auto* entry = reinterpret_cast<const dirent64*>(entries + at);
                    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                        ::unlinkat(dir, entry->d_name, 0);
                    at += entry->d_reclen;
                }
            }
            ::close(dir);
        }
        ::rmdir(folderPath);
    }
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

void removeOnSignals(const QString& folder)
{
    const QByteArray path = QFile::encodeName(folder);
    if (path.size() >= qsizetype(sizeof folderPath))
        return;
    // A signal while the path changes finds no folder to remove.
    folderMade = 0;
    std::memcpy(folderPath, path.constData(), size_t(path.size()) + 1);
    folderMade = 1;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction current = {};
        // A signal the program or its caller handles or ignores is left alone.
        if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL)
            continue;
        struct sigaction action = {};
        action.sa_handler = removeOnSignal;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}

} // namespace

namespace PrivateTempFolder {

QString path(QString* error)
{
    // Made with mode 0700 under a fresh random name; removed at exit.
    static std::unique_ptr<QTemporaryDir> folder;
    // Made again when it went away (a cleaner of old temporary files, a signal
    // in a child process).
    if (!folder || !folder->isValid() || !QFileInfo(folder->path()).isDir()) {
        folder =
            std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/auditlog-XXXXXX"));
        if (folder->isValid())
            removeOnSignals(folder->path());
    }
    if (folder->isValid())
        return folder->path();
    if (error)
        *error = QStringLiteral("Cannot make a temporary folder in %1: %2")
                     .arg(QDir::tempPath(), folder->errorString());
    return QString();
}

bool createFile(const QString& file, QString* error)
{
    const int fd = ::open(QFile::encodeName(file).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0)
        return ::close(fd) == 0;
    if (error)
        *error = QStringLiteral("Cannot create %1: %2")
                     .arg(file, QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}

} // namespace PrivateTempFolder
