#include "AuditColumns.h"

namespace AuditColumns {

const QList<GridColumn>& Grid()
{
    static const QList<GridColumn> columns = [] {
        QList<GridColumn> list;
        for (const QString& name : All.mid(0, 9))
            list.append({name, name});
        return list;
    }();
    return columns;
}

QString FieldForHeading(const QString& heading)
{
    for (const GridColumn& column : Grid())
        if (column.heading == heading)
            return column.field;
    return QString();
}

QString HeadingForField(const QString& field)
{
    for (const GridColumn& column : Grid())
        if (column.field == field)
            return column.heading;
    return QString();
}

} // namespace AuditColumns
