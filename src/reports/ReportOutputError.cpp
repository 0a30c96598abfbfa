#include "ReportOutputError.h"

#include "ReportRenderer.h"

#include <QIODevice>
#include <QString>
#include <cerrno>
#include <cstring>

namespace {

bool isOutOfSpace(const QString& reason)
{
    for (int code : {ENOSPC, EFBIG, EDQUOT}) {
        if (reason.contains(QString::fromLocal8Bit(std::strerror(code)), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

AuditError classify(const QString& reason, const QString& text)
{
    return {isOutOfSpace(reason) ? ReportErrorNumber::DiskFull : ReportErrorNumber::DeviceError,
            text};
}

QString reasonOf(const QIODevice* device)
{
    const QString reason = device ? device->errorString() : QString();
    return reason.isEmpty() ? QStringLiteral("unknown error") : reason;
}

} // namespace

namespace ReportOutputError {

AuditError ofWrite(const QIODevice* device)
{
    const QString reason = reasonOf(device);
    return classify(reason, QStringLiteral("Cannot write the report: %1").arg(reason));
}

AuditError ofOpen(const QIODevice* device, const QString& fileName)
{
    return {ReportErrorNumber::FileAccess,
            QStringLiteral("Cannot create %1: %2").arg(fileName, reasonOf(device))};
}

AuditError ofClose(const QIODevice* device, const QString& fileName)
{
    const QString reason = reasonOf(device);
    return classify(reason, QStringLiteral("Cannot write %1: %2").arg(fileName, reason));
}

} // namespace ReportOutputError
