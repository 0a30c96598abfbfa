#pragma once

#include <QDateTime>
#include <QSqlRecord>
#include <QString>
#include <QVariant>

// One row of the Audit table.
struct AuditEntry
{
    qint64 AutoIndex = 0;
    int Level = 0;
    int Error = 0;
    QString Description;
    QString Application;
    QString When; // as stored: "yyyy-MM-dd HH:mm:ss"
    QString User;
    QString Details;
    QString Path;
    bool Unattended = false;
    QString Response;
    QString TaskList;

    // The value of a column by its name ("When" as stored text).
    QVariant value(const QString& column) const;
    // When as a date and time (invalid when the stored text is not one).
    QDateTime whenDateTime() const;

    static AuditEntry fromRecord(const QSqlRecord& record);
};
