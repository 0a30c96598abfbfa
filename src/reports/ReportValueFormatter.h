#pragma once

#include "DatePicture.h"

#include <QHash>
#include <QLocale>
#include <QString>
#include <QVariant>

class ReportRowSource;

// Turns column values into the texts a layout prints. Formats:
//   ""             numbers as plain digits, text as it is, dates as General Date
//   "General Date" the locale's short date (four-digit year) and time with seconds
//   "Yes/No"       0, false, "" print "No"; anything else "Yes"
//   a date picture (see DatePicture), such as "mm/dd/yyyy hh:nn AM/PM"
// Dates come from the database as ISO text "YYYY-MM-DD HH:MM:SS"; a text that
// is no date prints unchanged. In the C locale dates are month first, as
// everywhere in the program's dates.
class ReportValueFormatter
{
public:
    explicit ReportValueFormatter(const QLocale& locale = QLocale());

    QString format(const QVariant& value, const QString& format) const;
    // The same for a field of the source's current row, into out: texts and
    // whole numbers are read without a QVariant (ReportRowSource::raw).
    void formatField(const ReportRowSource& source, const QString& field, const QString& format,
                     QString& out) const;
    // Set out to the text of UTF-8 bytes, or a number's digits, in out's own
    // buffer where out does not share it.
    static void assignUtf8(QString& out, QByteArrayView utf8);
    static void assignNumber(QString& out, qint64 number);

    // The current date and time as the page header's %d and %t print them.
    QString shortDate(const QDate& date) const;
    QString shortTime(const QTime& time) const;

    // A date from a column value: QDateTime, QDate or ISO text. False when
    // the value is no date.
    static bool readDateTime(const QVariant& value, QDate* date, QTime* time);

private:
    // A date in a date format (General Date or a picture).
    QString pictureFormat(const QString& format, const QDate& date, const QTime& time) const;

    QLocale m_locale;
    DatePicture m_datePicture;
    DatePicture m_generalPicture;
    DatePicture m_timePicture;
    mutable QHash<QString, DatePicture> m_pictures;
};
