#include "AuditEntry.h"

#include "SqlDate.h"

QVariant AuditEntry::value(const QString& column) const
{
    if (column == QLatin1String("AutoIndex"))
        return AutoIndex;
    if (column == QLatin1String("Level"))
        return Level;
    if (column == QLatin1String("Error"))
        return Error;
    if (column == QLatin1String("Description"))
        return Description;
    if (column == QLatin1String("Application"))
        return Application;
    if (column == QLatin1String("When"))
        return When;
    if (column == QLatin1String("User"))
        return User;
    if (column == QLatin1String("Details"))
        return Details;
    if (column == QLatin1String("Path"))
        return Path;
    if (column == QLatin1String("Unattended"))
        return Unattended;
    if (column == QLatin1String("Response"))
        return Response;
    if (column == QLatin1String("TaskList"))
        return TaskList;
    return QVariant();
}

QDateTime AuditEntry::whenDateTime() const
{
    // Wall-clock time as written; UTC keeps it free of daylight-saving gaps.
    const QDate date = QDate::fromString(When.left(10), QStringLiteral("yyyy-MM-dd"));
    QTime time(0, 0);
    if (When.size() > 10)
        time = QTime::fromString(When.mid(11, 8), QStringLiteral("HH:mm:ss"));
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time, Qt::UTC);
}

AuditEntry AuditEntry::fromRecord(const QSqlRecord& record)
{
    AuditEntry e;
    auto text = [&](const char* name) { return record.value(QLatin1String(name)).toString(); };
    e.AutoIndex = record.value(QStringLiteral("AutoIndex")).toLongLong();
    e.Level = record.value(QStringLiteral("Level")).toInt();
    e.Error = record.value(QStringLiteral("Error")).toInt();
    e.Description = text("Description");
    e.Application = text("Application");
    // A server gives "When" as a timestamp, the file as its text.
    const QVariant when = record.value(QStringLiteral("When"));
    e.When = when.typeId() == QMetaType::QDateTime ? IsoDateTime(when.toDateTime())
                                                   : when.toString();
    e.User = text("User");
    e.Details = text("Details");
    e.Path = text("Path");
    e.Unattended = record.value(QStringLiteral("Unattended")).toInt() != 0;
    e.Response = text("Response");
    e.TaskList = text("TaskList");
    return e;
}
