#pragma once

#include <QString>
#include <QStringList>

// The columns of one audit entry and the viewer grid's nine columns, whose
// headings equal their bound field names.
namespace AuditColumns {
inline const QStringList All = {
    QStringLiteral("AutoIndex"),   QStringLiteral("Level"),    QStringLiteral("Error"),
    QStringLiteral("Description"), QStringLiteral("Application"), QStringLiteral("When"),
    QStringLiteral("User"),        QStringLiteral("Details"),  QStringLiteral("Path"),
    QStringLiteral("Unattended"),  QStringLiteral("Response"), QStringLiteral("TaskList")};

struct GridColumn
{
    QString heading;
    QString field;
};

// The grid's columns in order (column 1 first).
const QList<GridColumn>& Grid();

// The bound field of the grid column whose heading equals the text, or "".
QString FieldForHeading(const QString& heading);
// The heading of the grid column bound to the field, or "".
QString HeadingForField(const QString& field);
} // namespace AuditColumns
