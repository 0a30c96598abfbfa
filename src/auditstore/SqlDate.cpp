#include "SqlDate.h"

#include <QLocale>
#include <QRegularExpression>

bool LocaleIsDayFirst()
{
    // The C locale writes "d MMM yyyy" but stands for American usage: month first.
    if (QLocale().language() == QLocale::C)
        return false;
    const QString format = QLocale().dateFormat(QLocale::ShortFormat);
    const qsizetype day = format.indexOf(QLatin1Char('d'));
    const qsizetype month = format.indexOf(QLatin1Char('M'));
    return day >= 0 && month >= 0 && day < month;
}

QString SqlDateLiteral(const QString& interval, int number, const QDate& base)
{
    QDate d = base;
    const QString unit = interval.toLower();
    if (unit == QLatin1String("d") || unit == QLatin1String("y") || unit == QLatin1String("w"))
        d = base.addDays(number);
    else if (unit == QLatin1String("ww"))
        d = base.addDays(7 * number);
    else if (unit == QLatin1String("m"))
        d = base.addMonths(number);
    else if (unit == QLatin1String("q"))
        d = base.addMonths(3 * number);
    else if (unit == QLatin1String("yyyy"))
        d = base.addYears(number);

    const QString monthFirst =
        QStringLiteral("%1/%2/%3").arg(d.month()).arg(d.day()).arg(d.year(), 4, 10, QLatin1Char('0'));
    const auto readBack = ReadLocaleDateTime(monthFirst);
    if (readBack && readBack->date() == d)
        return monthFirst;
    return QStringLiteral("%1/%2/%3").arg(d.day()).arg(d.month()).arg(d.year(), 4, 10, QLatin1Char('0'));
}

namespace {

std::optional<QTime> readTime(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{1,2}):(\\d{2})(?::(\\d{2}))?\\s*([AaPp][Mm])?$"));
    const auto m = pattern.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    int hour = m.captured(1).toInt();
    const int minute = m.captured(2).toInt();
    const int second = m.captured(3).isEmpty() ? 0 : m.captured(3).toInt();
    const QString ampm = m.captured(4).toUpper();
    if (!ampm.isEmpty()) {
        if (hour < 1 || hour > 12)
            return std::nullopt;
        if (ampm == QLatin1String("AM") && hour == 12)
            hour = 0;
        else if (ampm == QLatin1String("PM") && hour != 12)
            hour += 12;
    }
    const QTime time(hour, minute, second);
    if (!time.isValid())
        return std::nullopt;
    return time;
}

int fullYear(const QString& digits)
{
    const int year = digits.toInt();
    if (digits.size() <= 2)
        return year < 30 ? 2000 + year : 1900 + year;
    return year;
}

} // namespace

std::optional<QDateTime> ReadLocaleDateTime(const QString& text)
{
    const QString trimmed = text.trimmed();
    static const QRegularExpression pattern(QStringLiteral(
        "^(\\d{1,4})[/.-](\\d{1,2})[/.-](\\d{1,4})(?:[ T]+(.+))?$"));
    const auto m = pattern.match(trimmed);
    if (!m.hasMatch())
        return std::nullopt;

    QDate date;
    if (m.captured(1).size() == 4) {
        // Year first: always year, month, day.
        date = QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    } else {
        if (m.captured(3).size() == 3)
            return std::nullopt;
        const int a = m.captured(1).toInt();
        const int b = m.captured(2).toInt();
        const int year = fullYear(m.captured(3));
        const bool dayFirst = LocaleIsDayFirst();
        date = dayFirst ? QDate(year, b, a) : QDate(year, a, b);
        if (!date.isValid())
            date = dayFirst ? QDate(year, a, b) : QDate(year, b, a);
    }
    if (!date.isValid())
        return std::nullopt;

    QTime time(0, 0);
    if (!m.captured(4).isEmpty()) {
        const auto t = readTime(m.captured(4));
        if (!t)
            return std::nullopt;
        time = *t;
    }
    // Wall-clock time as written; UTC keeps it free of daylight-saving gaps.
    return QDateTime(date, time, Qt::UTC);
}

QString IsoDateTime(const QDateTime& value)
{
    return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}
