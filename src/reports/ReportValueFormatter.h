#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QVariant>

// Turns column values into the texts a layout prints. Formats:
//   ""             numbers as plain digits, text as it is, dates as General Date
//   "General Date" the locale's short date (four-digit year) and time with seconds
//   "Yes/No"       0, false, "" print "No"; anything else "Yes"
//   a date picture d dd ddd dddd  m mm mmm mmmm  yy yyyy  h hh  n nn  s ss
//                  AM/PM am/pm A/P a/p (12-hour clock); "text" and \c are literal
// Dates come from the database as ISO text "YYYY-MM-DD HH:MM:SS"; a text that
// is no date prints unchanged.
class ReportValueFormatter
{
public:
    explicit ReportValueFormatter(const QLocale& locale = QLocale::system());

    QString format(const QVariant& value, const QString& format) const;

    QString generalDate(const QDateTime& dateTime) const;
    // The current date and time as the page header's %d and %t print them.
    QString shortDate(const QDate& date) const;
    QString shortTime(const QTime& time) const;

    static QString formatDate(const QDateTime& dateTime, const QString& picture,
                              const QLocale& locale);
    // A date from a column value: QDateTime, QDate or ISO text; invalid otherwise.
    static QDateTime toDateTime(const QVariant& value);

private:
    QLocale m_locale;
    QString m_generalFormat;
    QString m_shortDateFormat;
};
