#include "SqlTextCheck.h"

#include "AuditColumns.h"
#include "JetDialect.h"
#include "RunOptions.h"

namespace SqlTextCheck {

QString conditionProblem(const QString& condition)
{
    int depth = 0;
    const qsizetype n = condition.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = condition.at(i);
        const QChar next = i + 1 < n ? condition.at(i + 1) : QChar();
        if (const auto end = JetDialect::quotedEnd(condition, i)) {
            if (*end >= n)
                return QStringLiteral("a quote or [name] is not closed");
            i = *end;
        } else if (c == QLatin1Char('(')) {
            ++depth;
        } else if (c == QLatin1Char(')')) {
            if (--depth < 0)
                return QStringLiteral("a \")\" closes more than was opened");
        } else if (c == QLatin1Char(';')) {
            return QStringLiteral("\";\" would end the statement");
        } else if ((c == QLatin1Char('-') && next == QLatin1Char('-')) ||
                   (c == QLatin1Char('/') && next == QLatin1Char('*'))) {
            return QStringLiteral("a comment would hide the rest of the statement");
        }
    }
    if (depth != 0)
        return QStringLiteral("a \"(\" is not closed");
    return QString();
}

QString sortProblem(const QString& name)
{
    // The name goes between brackets as given, so blanks around it count.
    if (name.trimmed().isEmpty() || AuditColumns::All.contains(name, Qt::CaseInsensitive) ||
        !AuditColumns::FieldForHeading(name).isEmpty())
        return QString();
    return QStringLiteral("'%1' is not a column of Audit").arg(name);
}

QString runOptionsProblem(const RunOptions& options)
{
    for (const QString* sort : {&options.SortBy1, &options.SortBy2, &options.SortBy3}) {
        const QString problem = sortProblem(*sort);
        if (!problem.isEmpty())
            return problem;
    }
    const QString problem = conditionProblem(options.Query);
    return problem.isEmpty() ? QString()
                             : QStringLiteral("the query is not one condition: ") + problem;
}

} // namespace SqlTextCheck
