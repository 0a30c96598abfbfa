#pragma once

#include "AuditEntry.h"

#include <QLocale>
#include <QString>

// The text the viewer's grid shows in each of its nine columns for an entry:
// the level's word, When as the locale writes a date and a time with seconds
// and a four-digit year, long texts on one line. The grid paints these and
// Find searches them, so both see the same text.
class GridCellText
{
public:
    explicit GridCellText(const QLocale& locale = QLocale());

    // The text of grid column (0-based) for an entry; "" for an entry deleted
    // meanwhile (AutoIndex 0).
    QString text(const AuditEntry& entry, int column) const;
    // A stored "yyyy-MM-dd HH:mm:ss" as shown; the stored text when it is not a date.
    QString whenText(const QString& stored) const;
    // The two halves of a shown When, joined by a blank.
    QString dateText(const QDate& date) const { return m_locale.toString(date, m_dateFormat); }
    QString timeText(const QTime& time) const { return m_locale.toString(time, m_timeFormat); }

    // "2 - Error" without its number; the number itself outside 0 to 3.
    static QString levelText(int level);
    // Line breaks become blanks.
    static QString oneLine(const QString& text);

    enum Column
    {
        AutoIndexColumn,
        LevelColumn,
        ErrorColumn,
        DescriptionColumn,
        ApplicationColumn,
        WhenColumn,
        UserColumn,
        DetailsColumn,
        PathColumn,
        ColumnCount
    };

private:
    QLocale m_locale;
    QString m_dateFormat;
    QString m_timeFormat;
};
