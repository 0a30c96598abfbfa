#include "LevelIcons.h"

#include "AuditLevels.h"

#include <QHash>

// The resources live in a static library: register them before the first use.
static void initViewerResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace LevelIcons {
namespace {

const QHash<QString, QString>& files()
{
    static const QHash<QString, QString> map = [] {
        initViewerResources();
        return QHash<QString, QString>{
            {QStringLiteral("DELETE"), QStringLiteral(":/icons/delete.svg")},
            {QStringLiteral("FIND"), QStringLiteral(":/icons/find.svg")},
            {QStringLiteral("FATAL"), QStringLiteral(":/icons/fatal.svg")},
            {QStringLiteral("STATUS"), QStringLiteral(":/icons/status.svg")},
            {QStringLiteral("WARNING"), QStringLiteral(":/icons/warning.svg")},
            {QStringLiteral("HELP"), QStringLiteral(":/icons/help.svg")},
            {QStringLiteral("ERROR"), QStringLiteral(":/icons/error.svg")},
            {QStringLiteral("DETAILS"), QStringLiteral(":/icons/details.svg")},
            {QStringLiteral("REPORT"), QStringLiteral(":/icons/report.svg")},
            {QStringLiteral("REFRESH"), QStringLiteral(":/icons/refresh.svg")},
            {QStringLiteral("PRINT"), QStringLiteral(":/icons/print.svg")},
        };
    }();
    return map;
}

} // namespace

QStringList keys()
{
    return {QStringLiteral("DELETE"),  QStringLiteral("FIND"),    QStringLiteral("FATAL"),
            QStringLiteral("STATUS"),  QStringLiteral("WARNING"), QStringLiteral("HELP"),
            QStringLiteral("ERROR"),   QStringLiteral("DETAILS"), QStringLiteral("REPORT"),
            QStringLiteral("REFRESH"), QStringLiteral("PRINT")};
}

QIcon forKey(const QString& key)
{
    // Icons are built once: the grid asks for one on every painted Level cell.
    static QHash<QString, QIcon> cache;
    const auto it = cache.constFind(key);
    if (it != cache.constEnd())
        return *it;
    const QString file = files().value(key);
    QIcon icon = file.isEmpty() ? QIcon() : QIcon(file);
    // On a selected row the image stays as drawn: the style's selected-mode
    // tint would sink the blue status icon into the highlight.
    if (!file.isEmpty())
        icon.addFile(file, QSize(), QIcon::Selected);
    cache.insert(key, icon);
    return icon;
}

QIcon forLevel(int level)
{
    const auto entry = AuditLevelOf(level);
    return entry ? forKey(entry->keyword) : QIcon();
}

} // namespace LevelIcons
