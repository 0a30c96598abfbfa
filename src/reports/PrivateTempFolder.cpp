#include "PrivateTempFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace PrivateTempFolder {

QString path(QString* error)
{
    // Made with mode 0700 under a fresh random name; removed at exit.
    static std::unique_ptr<QTemporaryDir> folder;
    if (!folder || !folder->isValid())
        folder =
            std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/auditlog-XXXXXX"));
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
