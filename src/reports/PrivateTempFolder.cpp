#include "PrivateTempFolder.h"

#include <QDir>
#include <QTemporaryDir>
#include <memory>

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

} // namespace PrivateTempFolder
