#include "ViewKeyQueries.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

// A term of an ORDER BY list with its direction turned round, or "" when it is
// not a plain column with an optional ASC or DESC.
QString reversed(const QString& term)
{
    static const QRegularExpression shape(QStringLiteral("^([\\w\\.\\[\\]]+)(?:\\s+(ASC|DESC))?$"),
                                          QRegularExpression::CaseInsensitiveOption);
    const auto match = shape.match(term.trimmed());
    if (!match.hasMatch())
        return QString();
    const bool descending =
        match.captured(2).compare(QLatin1String("DESC"), Qt::CaseInsensitive) == 0;
    return match.captured(1) + (descending ? QStringLiteral(" ASC") : QStringLiteral(" DESC"));
}

bool isAutoIndex(const QString& term)
{
    QString column = term.section(QLatin1Char(' '), 0, 0);
    column.remove(QLatin1Char('[')).remove(QLatin1Char(']'));
    return column.compare(QLatin1String("AutoIndex"), Qt::CaseInsensitive) == 0 ||
           column.compare(QLatin1String("Audit.AutoIndex"), Qt::CaseInsensitive) == 0;
}

} // namespace

ViewKeyQueries ViewKeyQueries::of(const QString& recordSource)
{
    ViewKeyQueries queries;
    QString source = recordSource.trimmed();
    if (source.endsWith(QLatin1Char(';')))
        source.chop(1);
    // Select only the keys: "SELECT Audit.* FROM ..." becomes "SELECT Audit.AutoIndex
    // FROM ...", which SQLite answers from the indexes alone.
    static const QRegularExpression selectAll(QStringLiteral("^SELECT\\s+Audit\\.\\*\\s+FROM\\s"),
                                              QRegularExpression::CaseInsensitiveOption);
    const auto select = selectAll.match(source);
    if (!select.hasMatch()) {
        queries.forward = QStringLiteral("SELECT AutoIndex FROM (") + source + QLatin1Char(')');
        return queries;
    }
    const QString rest = source.mid(select.capturedEnd());
    queries.forward = QStringLiteral("SELECT Audit.AutoIndex FROM ") + rest;

    // The last ORDER BY, when nothing after it is in parentheses (a sub-query's).
    static const QRegularExpression orderBy(QStringLiteral("\\bORDER\\s+BY\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    qsizetype at = -1;
    for (auto it = orderBy.globalMatch(rest); it.hasNext();)
        at = it.next().capturedStart();
    if (at < 0 || rest.indexOf(QLatin1Char('('), at) >= 0 ||
        rest.indexOf(QLatin1Char(')'), at) >= 0)
        return queries;
    const QStringList terms =
        rest.mid(at).section(QRegularExpression(QStringLiteral("\\s+")), 2).split(QLatin1Char(','));
    QStringList turned;
    for (const QString& term : terms) {
        const QString other = reversed(term);
        if (other.isEmpty())
            return queries;
        turned.append(other);
    }
    if (!isAutoIndex(turned.last()))
        return queries;
    const QString body = rest.left(at).trimmed();
    queries.reverse = QStringLiteral("SELECT Audit.AutoIndex FROM ") + body +
                      QStringLiteral(" ORDER BY ") + turned.join(QStringLiteral(", "));
    queries.count = QStringLiteral("SELECT COUNT(*) FROM ") + body;
    return queries;
}
