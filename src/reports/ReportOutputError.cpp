#include "ReportOutputError.h"

#include "ReportRenderer.h"

#include <QIODevice>
#include <QString>
#include <cerrno>
#include <cstring>

namespace {

bool isOutOfSpace(int code)
{
    return code == ENOSPC || code == EFBIG || code == EDQUOT;
}

// The device's own reason, or the system's when the device has none.
QString reasonOf(const QIODevice* device, int systemError)
{
    QString reason = device ? device->errorString() : QString();
    if (systemError != 0 && (reason.isEmpty() || reason == QLatin1String("Unknown error")))
        reason = QString::fromLocal8Bit(std::strerror(systemError));
    return reason.isEmpty() ? QStringLiteral("unknown error") : reason;
}

int numberOf(const QString& reason, int systemError)
{
    if (isOutOfSpace(systemError))
        return ReportErrorNumber::DiskFull;
    for (int code : {ENOSPC, EFBIG, EDQUOT}) {
        if (reason.contains(QString::fromLocal8Bit(std::strerror(code)), Qt::CaseInsensitive))
            return ReportErrorNumber::DiskFull;
    }
    return ReportErrorNumber::DeviceError;
}

} // namespace

namespace ReportOutputError {

AuditError ofWrite(const QIODevice* device, int systemError)
{
    const QString reason = reasonOf(device, systemError);
    return {numberOf(reason, systemError), QStringLiteral("Cannot write the report: %1").arg(reason)};
}

AuditError ofOpen(const QIODevice* device, const QString& fileName)
{
    return {ReportErrorNumber::FileAccess,
            QStringLiteral("Cannot create %1: %2").arg(fileName, reasonOf(device, 0))};
}

AuditError ofClose(const QIODevice* device, const QString& fileName, int systemError)
{
    const QString reason = reasonOf(device, systemError);
    return {numberOf(reason, systemError),
            QStringLiteral("Cannot write %1: %2").arg(fileName, reason)};
}

} // namespace ReportOutputError
