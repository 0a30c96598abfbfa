#pragma once

#include <QString>
#include <QStringList>
#include <QTime>

// The texts of a notification rule's fields, read and written the one way the
// product's notification service expects them.
namespace RuleText {

// The number at the start of the text: leading blanks skipped, a sign, digits
// and a decimal part, read as far as they go; 0 when there is no number.
double leadingNumber(const QString& text);
// leadingNumber as the text written back ("12abc" gives "12", "abc" gives "0").
QString leadingNumberText(const QString& text);

// Whether an error number entry is numeric: blanks around a number with an
// optional sign and decimal part. The empty text is not.
bool isNumeric(const QString& text);

// A stored list: split at every ";", each piece trimmed; "" is no entry.
QStringList splitList(const QString& text);
// The entries joined by ";", empty entries skipped.
QString joinList(const QStringList& entries);

// A "Daily" time as stored: 24-hour "HH:mm:ss" (for example "08:30:00").
QString dailyTimeText(const QTime& time);
// Reads that form, and the 12-hour form with AM/PM an older store may hold
// ("8:30:00 AM"), with or without seconds. Invalid QTime when unreadable.
QTime dailyTimeFromText(const QString& text);

} // namespace RuleText
