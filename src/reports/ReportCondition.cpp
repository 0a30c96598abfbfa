#include "ReportCondition.h"

#include "SqlDate.h"

#include <QStringList>

QString ReportCondition::where(const QDate& today) const
{
    QString w = Query.trimmed().isEmpty()
                    ? QStringLiteral(" (")
                    : QStringLiteral(" (") + Query + QStringLiteral(") AND (");

    const bool levels[] = {Status, Warning, Error, Fatal};
    bool first = true;
    for (int level = 0; level < 4; ++level) {
        if (!levels[level])
            continue;
        if (!first)
            w += QStringLiteral(" OR ");
        w += QStringLiteral("(`Level` = %1)").arg(level);
        first = false;
    }
    w += QLatin1Char(')');

    switch (AgeMode) {
    case 1:
        w += QStringLiteral(" AND `When` < #") +
             SqlDateLiteral(QStringLiteral("d"), -int(Days), today) + QLatin1Char('#');
        break;
    case 2:
        w += QStringLiteral(" AND `When` > #") +
             SqlDateLiteral(QStringLiteral("d"), -int(Days), today) + QLatin1Char('#');
        break;
    case 3:
        // Both ends of the span are excluded.
        w += QStringLiteral(" AND ([When] > #") + SpanStart + QStringLiteral("# AND [When] < #") +
             SpanEnd + QStringLiteral("#)");
        break;
    default:
        break;
    }
    return w;
}

QString ReportCondition::selectText(const QString& where, const QString& sortBy1,
                                    const QString& sortBy2, const QString& sortBy3)
{
    QString s =
        QStringLiteral("SELECT Audit.* FROM Audit WHERE") + where + QStringLiteral(" ORDER BY ");
    const QString sorts[] = {sortBy1, sortBy2, sortBy3};
    bool autoIndexGiven = false;
    for (const QString& sort : sorts) {
        if (!sort.trimmed().isEmpty())
            s += QLatin1Char('[') + sort + QStringLiteral("], ");
        // Case-sensitive on purpose: "autoindex" still gets [AutoIndex] appended.
        if (sort == QLatin1String("AutoIndex"))
            autoIndexGiven = true;
    }
    if (!autoIndexGiven) {
        s += QStringLiteral("[AutoIndex];");
    } else if (s.endsWith(QLatin1String(", "))) {
        s.chop(2);
        s += QLatin1Char(';');
    }
    return s;
}

QString ReportCondition::deleteText(const QString& where)
{
    return QStringLiteral("DELETE FROM Audit WHERE") + where;
}

QString ReportCondition::deleteText(const QString& where, qint64 lowestIndex, qint64 highestIndex)
{
    // W between parentheses, so nothing in it can loosen the bound.
    return QStringLiteral("DELETE FROM Audit WHERE (") + where +
           QStringLiteral(") AND [AutoIndex] BETWEEN %1 AND %2 AND [AutoIndex] IN "
                          "(SELECT [AutoIndex] FROM ")
               .arg(lowestIndex)
               .arg(highestIndex) +
           ReportedRowsTable + QLatin1Char(')');
}
