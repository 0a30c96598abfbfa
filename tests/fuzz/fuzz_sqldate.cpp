// Dates in SQL text. The first byte picks a locale (month first or day first);
// then either a typed date is read, or a date literal is built from a base date
// and an interval. A literal reads back as the date it was built for, and a
// date that reads is written back the locale's way to the same date.
#include "FuzzCheck.h"
#include "SqlDate.h"

#include <QLocale>

#include <cstring>

namespace {

const char* const locales[] = {"C", "en_US", "en_GB", "de_DE", "fr_FR"};
const char* const intervals[] = {"d", "ww", "m", "q", "yyyy", "y", "w", "x", "D", "WW"};

void checkLiteral(const uint8_t* data, size_t size)
{
    int32_t number = 0;
    uint32_t day = 0;
    if (size < 1 + sizeof number + sizeof day)
        return;
    std::memcpy(&number, data + 1, sizeof number);
    std::memcpy(&day, data + 1 + sizeof number, sizeof day);
    const char* interval = intervals[data[0] % std::size(intervals)];
    // Base dates and offsets the program uses: days of years 1753 to 9999,
    // offsets that fit a 16-bit day count.
    const QDate base = QDate(1753, 1, 1).addDays(day % 3000000);
    number %= 32768;
    const QString literal = SqlDateLiteral(QLatin1String(interval), number, base);
    const QDate moved = [&] {
        const QString unit = QString::fromLatin1(interval).toLower();
        if (unit == QLatin1String("ww"))
            return base.addDays(7 * qint64(number));
        if (unit == QLatin1String("m"))
            return base.addMonths(number);
        if (unit == QLatin1String("q"))
            return base.addMonths(3 * number);
        if (unit == QLatin1String("yyyy"))
            return base.addYears(number);
        if (unit == QLatin1String("x"))
            return base;
        return base.addDays(number);
    }();
    if (!moved.isValid() || moved.year() < 1 || moved.year() > 9999)
        return;
    const auto back = ReadLocaleDateTime(literal);
    FUZZ_CHECK(back && back->date() == moved,
               QStringLiteral("%1 %2 from %3: %4 reads as %5")
                   .arg(QLatin1String(interval))
                   .arg(number)
                   .arg(base.toString(Qt::ISODate), literal,
                        back ? back->date().toString(Qt::ISODate) : QStringLiteral("nothing")));
}

void checkTyped(const QString& text)
{
    const auto read = ReadLocaleDateTime(text);
    if (!read)
        return;
    FUZZ_CHECK(read->isValid(), text);
    const QDate date = read->date();
    if (date.year() < 1000)
        return;
    const QString written = LocaleIsDayFirst()
                                ? QStringLiteral("%1/%2/%3").arg(date.day()).arg(date.month()).arg(date.year())
                                : QStringLiteral("%1/%2/%3").arg(date.month()).arg(date.day()).arg(date.year());
    const auto again = ReadLocaleDateTime(written + QLatin1Char(' ') +
                                          read->time().toString(QStringLiteral("HH:mm:ss")));
    FUZZ_CHECK(again && *again == *read,
               QStringLiteral("%1 read as %2, written %3").arg(text, IsoDateTime(*read), written));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size > 200)
        return -1;
    QLocale::setDefault(QLocale(QLatin1String(locales[data[0] % std::size(locales)])));
    if (data[1] & 1)
        checkLiteral(data + 2, size - 2);
    else
        checkTyped(fuzzText(data + 2, size - 2));
    return 0;
}
