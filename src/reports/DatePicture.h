#pragma once

#include <QDate>
#include <QList>
#include <QLocale>
#include <QString>
#include <QTime>

// A date picture of the layouts, read once and then applied to many values:
//   d dd ddd dddd  day, two-digit day, short and long weekday name
//   m mm mmm mmmm  month, two-digit month, short and long month name
//   yy yyyy        year in two or four digits; y alone the day of the year
//   h hh  n nn  s ss   hour, minutes, seconds (one or two digits)
//   AM/PM am/pm A/P a/p   the half of the day; its presence makes h a 12-hour clock
//   "text" and \c  literal text
// Anything else is printed as it stands ("/", ":", " ").
class DatePicture
{
public:
    explicit DatePicture(const QString& picture = QString());

    QString format(const QDate& date, const QTime& time, const QLocale& locale) const;

    // A Qt date or time format ("M/d/yyyy", "h:mm:ss AP") as a picture.
    static QString fromQtFormat(const QString& qtFormat);

private:
    enum class Part {
        Text,
        Day,
        Day2,
        WeekdayShort,
        WeekdayLong,
        Month,
        Month2,
        MonthShort,
        MonthLong,
        Year2,
        Year4,
        DayOfYear,
        Hour,
        Hour2,
        Minute,
        Minute2,
        Second,
        Second2,
        HalfUpper,
        HalfLower,
        HalfLetterUpper,
        HalfLetterLower
    };
    struct Token
    {
        Part part;
        QString text;
    };

    void add(Part part, const QString& text = QString());

    QList<Token> m_tokens;
    bool m_twelveHour = false;
};
