#include "ReportValueFormatter.h"

namespace {

const QString YesNoFormat = QStringLiteral("Yes/No");
const QString GeneralDateFormat = QStringLiteral("General Date");

// A locale's short date format with a four-digit year.
QString withLongYear(QString format)
{
    const qsizetype at = format.indexOf(QLatin1String("yy"));
    if (at >= 0 && !format.mid(at).startsWith(QLatin1String("yyyy")))
        format.replace(at, 2, QStringLiteral("yyyy"));
    return format;
}

// A locale's short time format with seconds.
QString withSeconds(QString format)
{
    if (format.contains(QLatin1Char('s')))
        return format;
    const qsizetype at = format.indexOf(QLatin1String("mm"));
    if (at >= 0)
        format.insert(at + 2, QStringLiteral(":ss"));
    return format;
}

bool isFalseText(const QString& text)
{
    const QString t = text.trimmed();
    return t.isEmpty() || t == QLatin1String("0") ||
           t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 ||
           t.compare(QLatin1String("no"), Qt::CaseInsensitive) == 0;
}

// Length of the run of ch (case-insensitive) at position i.
qsizetype runLength(const QString& s, qsizetype i, QChar ch)
{
    qsizetype n = 0;
    while (i + n < s.size() && s[i + n].toLower() == ch)
        ++n;
    return n;
}

bool startsWithAt(const QString& s, qsizetype i, QLatin1String token)
{
    return s.mid(i, token.size()) == token;
}

bool hasAmPm(const QString& picture)
{
    return picture.contains(QLatin1String("AM/PM"), Qt::CaseInsensitive) ||
           picture.contains(QLatin1String("A/P"), Qt::CaseInsensitive);
}

QString twoDigits(int n)
{
    return QString::number(n).rightJustified(2, QLatin1Char('0'));
}

} // namespace

ReportValueFormatter::ReportValueFormatter(const QLocale& locale) : m_locale(locale)
{
    m_shortDateFormat = withLongYear(locale.dateFormat(QLocale::ShortFormat));
    m_generalFormat =
        m_shortDateFormat + QLatin1Char(' ') + withSeconds(locale.timeFormat(QLocale::ShortFormat));
}

QString ReportValueFormatter::format(const QVariant& value, const QString& format) const
{
    if (!value.isValid() || value.isNull())
        return QString();
    if (format == YesNoFormat) {
        const bool yes = value.typeId() == QMetaType::QString ? !isFalseText(value.toString())
                                                              : value.toDouble() != 0;
        return yes ? QStringLiteral("Yes") : QStringLiteral("No");
    }
    if (!format.isEmpty()) {
        const QDateTime when = toDateTime(value);
        if (!when.isValid())
            return value.toString();
        return format == GeneralDateFormat ? generalDate(when) : formatDate(when, format, m_locale);
    }
    switch (value.typeId()) {
    case QMetaType::QDateTime:
    case QMetaType::QDate:
        return generalDate(toDateTime(value));
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(value.toDouble(), 'g', 15);
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    default:
        return value.toString();
    }
}

QString ReportValueFormatter::generalDate(const QDateTime& dateTime) const
{
    return m_locale.toString(dateTime, m_generalFormat);
}

QString ReportValueFormatter::shortDate(const QDate& date) const
{
    return m_locale.toString(date, m_shortDateFormat);
}

QString ReportValueFormatter::shortTime(const QTime& time) const
{
    return m_locale.toString(time, QLocale::ShortFormat);
}

QDateTime ReportValueFormatter::toDateTime(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return value.toDateTime();
    case QMetaType::QDate:
        return QDateTime(value.toDate(), QTime(0, 0));
    default:
        break;
    }
    const QString text = value.toString().trimmed();
    QDateTime when = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!when.isValid())
        when = QDateTime::fromString(text, Qt::ISODate);
    if (!when.isValid()) {
        const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
        if (date.isValid())
            when = QDateTime(date, QTime(0, 0));
    }
    return when;
}

QString ReportValueFormatter::formatDate(const QDateTime& dateTime, const QString& picture,
                                         const QLocale& locale)
{
    const QDate date = dateTime.date();
    const QTime time = dateTime.time();
    const bool twelveHour = hasAmPm(picture);
    QString out;
    qsizetype i = 0;
    while (i < picture.size()) {
        const QChar c = picture[i];
        const QChar lower = c.toLower();
        if (c == QLatin1Char('"')) {
            const qsizetype close = picture.indexOf(QLatin1Char('"'), i + 1);
            const qsizetype end = close < 0 ? picture.size() : close;
            out += picture.mid(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        if (c == QLatin1Char('\\') && i + 1 < picture.size()) {
            out += picture[i + 1];
            i += 2;
            continue;
        }
        if (startsWithAt(picture, i, QLatin1String("AM/PM")) ||
            startsWithAt(picture, i, QLatin1String("am/pm"))) {
            const bool pm = time.hour() >= 12;
            const QString text = pm ? QStringLiteral("PM") : QStringLiteral("AM");
            out += c.isUpper() ? text : text.toLower();
            i += 5;
            continue;
        }
        if (picture.mid(i, 3).compare(QLatin1String("a/p"), Qt::CaseInsensitive) == 0) {
            const QChar letter = time.hour() >= 12 ? QLatin1Char('p') : QLatin1Char('a');
            out += c.isUpper() ? letter.toUpper() : letter;
            i += 3;
            continue;
        }
        const qsizetype n = runLength(picture, i, lower);
        if (lower == QLatin1Char('d')) {
            if (n >= 4)
                out += locale.dayName(date.dayOfWeek(), QLocale::LongFormat);
            else if (n == 3)
                out += locale.dayName(date.dayOfWeek(), QLocale::ShortFormat);
            else
                out += n == 2 ? twoDigits(date.day()) : QString::number(date.day());
        } else if (lower == QLatin1Char('m')) {
            if (n >= 4)
                out += locale.monthName(date.month(), QLocale::LongFormat);
            else if (n == 3)
                out += locale.monthName(date.month(), QLocale::ShortFormat);
            else
                out += n == 2 ? twoDigits(date.month()) : QString::number(date.month());
        } else if (lower == QLatin1Char('y')) {
            if (n >= 4)
                out += QString::number(date.year()).rightJustified(4, QLatin1Char('0'));
            else if (n >= 2)
                out += twoDigits(date.year() % 100);
            else
                out += QString::number(date.dayOfYear());
        } else if (lower == QLatin1Char('h')) {
            int hour = time.hour();
            if (twelveHour) {
                hour %= 12;
                if (hour == 0)
                    hour = 12;
            }
            out += n >= 2 ? twoDigits(hour) : QString::number(hour);
        } else if (lower == QLatin1Char('n')) {
            out += n >= 2 ? twoDigits(time.minute()) : QString::number(time.minute());
        } else if (lower == QLatin1Char('s')) {
            out += n >= 2 ? twoDigits(time.second()) : QString::number(time.second());
        } else {
            out += c;
            i += 1;
            continue;
        }
        // Runs longer than the longest token repeat it (dddddd is dddd then dd).
        i += lower == QLatin1Char('d') || lower == QLatin1Char('m') || lower == QLatin1Char('y')
                 ? std::min<qsizetype>(n, n >= 4 ? 4 : n)
                 : std::min<qsizetype>(n, 2);
    }
    return out;
}
