#include "DatePicture.h"

#include <algorithm>

namespace {

void appendNumber(QString& out, int n, int digits)
{
    char buffer[12];
    int length = 0;
    unsigned value = unsigned(std::abs(n));
    do {
        buffer[length++] = char('0' + value % 10);
        value /= 10;
    } while (value && length < 11);
    while (length < digits)
        buffer[length++] = '0';
    if (n < 0)
        out += QLatin1Char('-');
    while (length > 0)
        out += QLatin1Char(buffer[--length]);
}

bool matchesAt(const QString& s, qsizetype i, QLatin1String token, Qt::CaseSensitivity cs)
{
    return QStringView(s).sliced(i).startsWith(token, cs);
}

} // namespace

void DatePicture::add(Part part, const QString& text)
{
    if (part == Part::Text && !m_tokens.isEmpty() && m_tokens.last().part == Part::Text)
        m_tokens.last().text += text;
    else
        m_tokens.append({part, text});
}

DatePicture::DatePicture(const QString& picture)
{
    qsizetype i = 0;
    const qsizetype n = picture.size();
    while (i < n) {
        const QChar c = picture[i];
        if (c == QLatin1Char('"')) {
            const qsizetype close = picture.indexOf(QLatin1Char('"'), i + 1);
            const qsizetype end = close < 0 ? n : close;
            add(Part::Text, picture.mid(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        if (c == QLatin1Char('\\') && i + 1 < n) {
            add(Part::Text, picture.mid(i + 1, 1));
            i += 2;
            continue;
        }
        if (matchesAt(picture, i, QLatin1String("AM/PM"), Qt::CaseInsensitive)) {
            add(c.isUpper() ? Part::HalfUpper : Part::HalfLower);
            m_twelveHour = true;
            i += 5;
            continue;
        }
        if (matchesAt(picture, i, QLatin1String("A/P"), Qt::CaseInsensitive)) {
            add(c.isUpper() ? Part::HalfLetterUpper : Part::HalfLetterLower);
            m_twelveHour = true;
            i += 3;
            continue;
        }
        const QChar lower = c.toLower();
        qsizetype run = 0;
        while (i + run < n && picture[i + run].toLower() == lower)
            ++run;
        qsizetype used = std::min<qsizetype>(run, 2);
        switch (lower.unicode()) {
        case 'd':
        case 'm':
        case 'y': {
            used = std::min<qsizetype>(run, 4);
            static const Part days[] = {Part::Day, Part::Day2, Part::WeekdayShort,
                                        Part::WeekdayLong};
            static const Part months[] = {Part::Month, Part::Month2, Part::MonthShort,
                                          Part::MonthLong};
            static const Part years[] = {Part::DayOfYear, Part::Year2, Part::Year2, Part::Year4};
            const Part* parts = lower == QLatin1Char('d')   ? days
                                : lower == QLatin1Char('m') ? months
                                                            : years;
            add(parts[used - 1]);
            break;
        }
        case 'h':
            add(used == 2 ? Part::Hour2 : Part::Hour);
            break;
        case 'n':
            add(used == 2 ? Part::Minute2 : Part::Minute);
            break;
        case 's':
            add(used == 2 ? Part::Second2 : Part::Second);
            break;
        default:
            used = 1;
            add(Part::Text, QString(c));
            break;
        }
        i += used;
    }
}

QString DatePicture::format(const QDate& date, const QTime& time, const QLocale& locale) const
{
    QString out;
    out.reserve(24);
    int hour = time.hour();
    if (m_twelveHour) {
        hour %= 12;
        if (hour == 0)
            hour = 12;
    }
    const bool pm = time.hour() >= 12;
    for (const Token& token : m_tokens) {
        switch (token.part) {
        case Part::Text:
            out += token.text;
            break;
        case Part::Day:
            appendNumber(out, date.day(), 1);
            break;
        case Part::Day2:
            appendNumber(out, date.day(), 2);
            break;
        case Part::WeekdayShort:
            out += locale.dayName(date.dayOfWeek(), QLocale::ShortFormat);
            break;
        case Part::WeekdayLong:
            out += locale.dayName(date.dayOfWeek(), QLocale::LongFormat);
            break;
        case Part::Month:
            appendNumber(out, date.month(), 1);
            break;
        case Part::Month2:
            appendNumber(out, date.month(), 2);
            break;
        case Part::MonthShort:
            out += locale.monthName(date.month(), QLocale::ShortFormat);
            break;
        case Part::MonthLong:
            out += locale.monthName(date.month(), QLocale::LongFormat);
            break;
        case Part::Year2:
            appendNumber(out, date.year() % 100, 2);
            break;
        case Part::Year4:
            appendNumber(out, date.year(), 4);
            break;
        case Part::DayOfYear:
            appendNumber(out, date.dayOfYear(), 1);
            break;
        case Part::Hour:
            appendNumber(out, hour, 1);
            break;
        case Part::Hour2:
            appendNumber(out, hour, 2);
            break;
        case Part::Minute:
            appendNumber(out, time.minute(), 1);
            break;
        case Part::Minute2:
            appendNumber(out, time.minute(), 2);
            break;
        case Part::Second:
            appendNumber(out, time.second(), 1);
            break;
        case Part::Second2:
            appendNumber(out, time.second(), 2);
            break;
        case Part::HalfUpper:
            out += pm ? QLatin1String("PM") : QLatin1String("AM");
            break;
        case Part::HalfLower:
            out += pm ? QLatin1String("pm") : QLatin1String("am");
            break;
        case Part::HalfLetterUpper:
            out += pm ? QLatin1Char('P') : QLatin1Char('A');
            break;
        case Part::HalfLetterLower:
            out += pm ? QLatin1Char('p') : QLatin1Char('a');
            break;
        }
    }
    return out;
}

QString DatePicture::fromQtFormat(const QString& qtFormat)
{
    QString picture;
    auto literal = [&](QChar c) {
        if (c.isLetter() || c == QLatin1Char('"') || c == QLatin1Char('\\'))
            picture += QLatin1Char('\\');
        picture += c;
    };
    qsizetype i = 0;
    const qsizetype n = qtFormat.size();
    while (i < n) {
        const QChar c = qtFormat[i];
        qsizetype run = 1;
        while (i + run < n && qtFormat[i + run] == c)
            ++run;
        switch (c.unicode()) {
        case 'd':
        case 'y':
        case 's':
            picture += QString(run, c);
            break;
        case 'M':
            picture += QString(run, QLatin1Char('m'));
            break;
        case 'h':
        case 'H':
            picture += QString(std::min<qsizetype>(run, 2), QLatin1Char('h'));
            break;
        case 'm':
            picture += QString(std::min<qsizetype>(run, 2), QLatin1Char('n'));
            break;
        case 'A':
        case 'a':
            picture += c == QLatin1Char('A') ? QLatin1String("AM/PM") : QLatin1String("am/pm");
            run = 1;
            if (i + 1 < n && qtFormat[i + 1].toLower() == QLatin1Char('p'))
                run = 2; // "AP" or "ap"
            break;
        case 't':
        case 'z':
            break; // time zone and milliseconds are not printed
        case '\'':
            if (run == 2) {
                literal(c);
            } else {
                const qsizetype close = qtFormat.indexOf(QLatin1Char('\''), i + 1);
                const qsizetype end = close < 0 ? n : close;
                for (qsizetype k = i + 1; k < end; ++k)
                    literal(qtFormat[k]);
                run = end + 1 - i;
            }
            break;
        default:
            for (qsizetype k = 0; k < run; ++k)
                literal(c);
            break;
        }
        i += run;
    }
    return picture.trimmed();
}
