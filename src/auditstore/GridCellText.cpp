#include "GridCellText.h"

#include "AuditLevels.h"

#include <QDateTime>

namespace {

// The locale's short date with a four-digit year, and its short time with seconds.
QString dateFormat(const QLocale& locale)
{
    QString date = locale.dateFormat(QLocale::ShortFormat);
    if (!date.contains(QLatin1String("yyyy")))
        date.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return date;
}

QString timeFormat(const QLocale& locale)
{
    QString time = locale.timeFormat(QLocale::ShortFormat);
    if (!time.contains(QLatin1Char('s'))) {
        const qsizetype minutes = time.indexOf(QLatin1String("mm"));
        if (minutes >= 0)
            time.insert(minutes + 2, QLatin1String(":ss"));
    }
    return time;
}

} // namespace

GridCellText::GridCellText(const QLocale& locale)
    : m_locale(locale), m_dateFormat(dateFormat(locale)), m_timeFormat(timeFormat(locale))
{
}

QString GridCellText::levelText(int level)
{
    const auto known = AuditLevelOf(level);
    // The icon beside it and the word tell the level.
    return known ? known->numberedEntry.section(QLatin1String(" - "), 1) : QString::number(level);
}

QString GridCellText::oneLine(const QString& text)
{
    if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return line;
}

QString GridCellText::whenText(const QString& stored) const
{
    AuditEntry entry;
    entry.When = stored;
    const QDateTime when = entry.whenDateTime();
    return when.isValid() ? dateText(when.date()) + QLatin1Char(' ') + timeText(when.time())
                          : stored;
}

QString GridCellText::text(const AuditEntry& entry, int column) const
{
    if (entry.AutoIndex == 0)
        return QString();
    switch (column) {
    case AutoIndexColumn:
        return QString::number(entry.AutoIndex);
    case LevelColumn:
        return levelText(entry.Level);
    case ErrorColumn:
        return QString::number(entry.Error);
    case DescriptionColumn:
        return oneLine(entry.Description);
    case ApplicationColumn:
        return oneLine(entry.Application);
    case WhenColumn:
        return whenText(entry.When);
    case UserColumn:
        return oneLine(entry.User);
    case DetailsColumn:
        return oneLine(entry.Details);
    case PathColumn:
        return oneLine(entry.Path);
    default:
        return QString();
    }
}
