#include "AuditLevels.h"

const std::array<AuditLevel, 4>& AuditLevels()
{
    static const std::array<AuditLevel, 4> levels{{
        {0, QStringLiteral("&Status Messages"), QStringLiteral("Status Messages"),
         QStringLiteral("STATUS"), QStringLiteral("LevelStatus"), QStringLiteral("0 - Status"),
         QStringLiteral("View Status Messages"), QStringLiteral("imgStatus"),
         QStringLiteral("&Status")},
        {1, QStringLiteral("&Warnings"), QStringLiteral("Warnings"), QStringLiteral("WARNING"),
         QStringLiteral("LevelWarning"), QStringLiteral("1 - Warning"),
         QStringLiteral("View Warnings"), QStringLiteral("imgWarning"), QStringLiteral("&Warning")},
        {2, QStringLiteral("&Errors"), QStringLiteral("Errors"), QStringLiteral("ERROR"),
         QStringLiteral("LevelError"), QStringLiteral("2 - Error"), QStringLiteral("View Errors"),
         QStringLiteral("imgError"), QStringLiteral("&Error")},
        // The purge list has no entry for fatal errors alone: "ALL" stands for up to 3.
        {3, QStringLiteral("&Fatal Errors"), QStringLiteral("ALL"), QStringLiteral("FATAL"),
         QStringLiteral("LevelFatalError"), QStringLiteral("3 - Fatal"),
         QStringLiteral("View Fatal Errors"), QStringLiteral("imgFatal"),
         QStringLiteral("&Fatal Error")},
    }};
    return levels;
}

std::optional<AuditLevel> AuditLevelOf(int value)
{
    if (value < 0 || value > 3)
        return std::nullopt;
    return AuditLevels()[static_cast<size_t>(value)];
}

std::optional<AuditLevel> AuditLevelByKeyword(const QString& keyword)
{
    for (const AuditLevel& level : AuditLevels())
        if (level.keyword == keyword)
            return level;
    return std::nullopt;
}
