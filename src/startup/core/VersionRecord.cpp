#include "VersionRecord.h"

#include "AppState.h"

#include <QVersionNumber>

VersionRecord ProgramVersion()
{
    const QVersionNumber number = QVersionNumber::fromString(QStringLiteral(AUDITLOG_VERSION));
    VersionRecord version;
    version.fileDescription = AppTitle;
    version.productName = ProductName + QChar(0x00AE);
    version.major = number.majorVersion();
    version.minor = number.minorVersion();
    version.revision = number.microVersion();
    version.copyright = QStringLiteral("Copyright \u00A9 1996-2026 Velmora. All rights reserved.");
    version.trademark = QStringLiteral("Velmora is a registered trademark of Velmora.");
    return version;
}

QString VersionText(const VersionRecord& version)
{
    return QStringLiteral("Version %1.%2.%3")
        .arg(version.major)
        .arg(version.minor)
        .arg(version.revision);
}
