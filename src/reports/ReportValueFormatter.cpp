#include "ReportValueFormatter.h"

#include "ReportRowSource.h"

#include <QDateTime>

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

// The stored form of a date, "YYYY-MM-DD HH:MM:SS" (or with a "T"), read
// directly; unit(i) gives the code unit at i of a text of size units.
template <typename Unit>
bool readStoredForm(qsizetype size, Unit unit, QDate* date, QTime* time)
{
    if (size != 19 || unit(4) != u'-' || unit(7) != u'-' || (unit(10) != u' ' && unit(10) != u'T') ||
        unit(13) != u':' || unit(16) != u':')
        return false;
    auto number = [&](qsizetype from, qsizetype length) {
        int n = 0;
        for (qsizetype i = from; i < from + length; ++i) {
            const char16_t c = unit(i);
            if (c < u'0' || c > u'9')
                return -1;
            n = n * 10 + (c - u'0');
        }
        return n;
    };
    *date = QDate(number(0, 4), number(5, 2), number(8, 2));
    *time = QTime(number(11, 2), number(14, 2), number(17, 2));
    return date->isValid() && time->isValid();
}

} // namespace

ReportValueFormatter::ReportValueFormatter(const QLocale& locale) : m_locale(locale)
{
    // The C locale writes "d MMM yyyy"; the program reads it as American
    // usage, month first. Its 24-hour times stay.
    const QString date = locale.language() == QLocale::C
                             ? QStringLiteral("M/d/yyyy")
                             : withLongYear(m_locale.dateFormat(QLocale::ShortFormat));
    const QString time = m_locale.timeFormat(QLocale::ShortFormat);
    m_datePicture = DatePicture(DatePicture::fromQtFormat(date));
    m_generalPicture =
        DatePicture(DatePicture::fromQtFormat(date + QLatin1Char(' ') + withSeconds(time)));
    m_timePicture = DatePicture(DatePicture::fromQtFormat(time));
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
        QDate date;
        QTime time;
        if (!readDateTime(value, &date, &time))
            return value.toString();
        return pictureFormat(format, date, time);
    }
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
        return QString::number(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
        return QString::number(value.toULongLong());
    case QMetaType::QDateTime:
    case QMetaType::QDate: {
        QDate date;
        QTime time;
        readDateTime(value, &date, &time);
        return m_generalPicture.format(date, time, m_locale);
    }
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(value.toDouble(), 'g', 15);
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    default:
        return value.toString();
    }
}

QString ReportValueFormatter::pictureFormat(const QString& format, const QDate& date,
                                            const QTime& time) const
{
    if (format == GeneralDateFormat)
        return m_generalPicture.format(date, time, m_locale);
    auto known = m_pictures.constFind(format);
    if (known == m_pictures.constEnd())
        known = m_pictures.insert(format, DatePicture(format));
    return known->format(date, time, m_locale);
}

QString ReportValueFormatter::shortDate(const QDate& date) const
{
    return m_datePicture.format(date, QTime(0, 0), m_locale);
}

QString ReportValueFormatter::shortTime(const QTime& time) const
{
    return m_timePicture.format(QDate(2000, 1, 1), time, m_locale);
}

bool ReportValueFormatter::readDateTime(const QVariant& value, QDate* date, QTime* time)
{
    switch (value.typeId()) {
    case QMetaType::QDateTime: {
        // As the driver gives it: no time zone is looked up (that costs a
        // file system call per value).
        const QDateTime when = value.toDateTime();
        *date = when.date();
        *time = when.time();
        return date->isValid();
    }
    case QMetaType::QDate:
        *date = value.toDate();
        *time = QTime(0, 0);
        return date->isValid();
    default:
        break;
    }
    const QString text = value.toString().trimmed();
    if (readStoredForm(
            text.size(), [&](qsizetype i) { return text[i].unicode(); }, date, time))
        return true;
    const QDateTime when = QDateTime::fromString(text, Qt::ISODate);
    if (when.isValid()) {
        *date = when.date();
        *time = when.time();
        return true;
    }
    *date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    *time = QTime(0, 0);
    return date->isValid();
}

void ReportValueFormatter::formatField(const ReportRowSource& source, const QString& field,
                                       const QString& format, QString& out) const
{
    const AuditRows::Raw raw = source.raw(field);
    switch (raw.kind) {
    case AuditRows::Raw::Null:
        out = QString();
        return;
    case AuditRows::Raw::Integer:
        if (format.isEmpty()) {
            assignNumber(out, raw.integer);
            return;
        }
        if (format == YesNoFormat) {
            out = raw.integer == 0 ? QStringLiteral("No") : QStringLiteral("Yes");
            return;
        }
        break;
    case AuditRows::Raw::Text: {
        if (format.isEmpty()) {
            assignUtf8(out, raw.text);
            return;
        }
        QDate date;
        QTime time;
        if (format != YesNoFormat &&
            readStoredForm(
                raw.text.size(), [&](qsizetype i) { return char16_t(uchar(raw.text[i])); },
                &date, &time)) {
            out = pictureFormat(format, date, time);
            return;
        }
        break;
    }
    case AuditRows::Raw::Other:
        break;
    }
    out = this->format(source.value(field), format);
}

namespace {

// A text of size characters in out, its buffer reused where out has its own.
QChar* resizeOwned(QString& out, qsizetype size)
{
    if (out.isDetached())
        out.resize(size);
    else
        out = QString(size, Qt::Uninitialized);
    return out.data();
}

} // namespace

void ReportValueFormatter::assignUtf8(QString& out, QByteArrayView utf8)
{
    // Most texts are ASCII: widened into out's buffer in loops the compiler
    // vectorises; any other goes through Qt's decoder.
    const auto* bytes = reinterpret_cast<const uchar*>(utf8.data());
    const qsizetype n = utf8.size();
    uchar all = 0;
    for (qsizetype i = 0; i < n; ++i)
        all |= bytes[i];
    if (all >= 0x80) {
        out = QString::fromUtf8(utf8);
        return;
    }
    char16_t* __restrict units = reinterpret_cast<char16_t*>(resizeOwned(out, n));
    for (qsizetype i = 0; i < n; ++i)
        units[i] = bytes[i];
}

void ReportValueFormatter::assignNumber(QString& out, qint64 number)
{
    // As QString::number writes it.
    char digits[24];
    char* end = digits + sizeof digits;
    char* at = end;
    quint64 rest = number < 0 ? 0 - quint64(number) : quint64(number);
    do {
        *--at = char('0' + rest % 10);
        rest /= 10;
    } while (rest);
    if (number < 0)
        *--at = '-';
    QChar* units = resizeOwned(out, end - at);
    for (qsizetype i = 0; at + i < end; ++i)
        units[i] = QLatin1Char(at[i]);
}
