#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>

// Dates as the program writes them into SQL text (between '#' characters) and
// reads them back, by the rules of the current locale (QLocale()).

// True when the locale writes the day before the month in its short date form.
bool LocaleIsDayFirst();

// The base date moved by number units of the interval ("d" days, "ww" weeks,
// "m" months, "yyyy" years) written month first as "M/d/yyyy", unless that
// text reads back as another date in the locale; then day first "d/M/yyyy".
QString SqlDateLiteral(const QString& interval, int number, const QDate& base);

// Reads a date (and optional time) the way the locale reads a typed date:
// "a/b/yyyy" in the locale's day/month order, with day and month exchanged when
// that order gives no valid date; "-" and "." also separate; two-digit years
// 00-29 are 20xx, 30-99 19xx; a time "h:mm", "h:mm:ss", with AM/PM or 24-hour,
// may follow after a blank; ISO "yyyy-MM-dd[ hh:mm[:ss]]" is read as such.
std::optional<QDateTime> ReadLocaleDateTime(const QString& text);

// The database form of a date and time: "yyyy-MM-dd HH:mm:ss".
QString IsoDateTime(const QDateTime& value);
