#include "JetDialect.h"

#include "PlanHints.h"
#include "SqlDate.h"

#include <QRegularExpression>

namespace JetDialect {

std::optional<qsizetype> quotedEnd(const QString& text, qsizetype start)
{
    const QChar c = text.at(start);
    QChar closing;
    if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`'))
        closing = c;
    else if (c == QLatin1Char('['))
        closing = QLatin1Char(']');
    else
        return std::nullopt;
    const qsizetype n = text.size();
    qsizetype j = start + 1;
    while (j < n) {
        if (text.at(j) == closing) {
            if (closing != QLatin1Char(']') && j + 1 < n && text.at(j + 1) == closing) {
                j += 2;
                continue;
            }
            break;
        }
        ++j;
    }
    return qMin(j, n);
}

std::optional<QDateTime> dateLiteral(const QString& jet, qsizetype start, qsizetype* end,
                                     AuditError* error)
{
    const qsizetype close = jet.indexOf(QLatin1Char('#'), start + 1);
    const QString literal = close < 0 ? jet.mid(start) : jet.mid(start, close - start + 1);
    const auto value =
        close < 0 ? std::nullopt : ReadLocaleDateTime(jet.mid(start + 1, close - start - 1));
    if (!value) {
        if (error) {
            error->number = ErrorBadDateLiteral;
            error->description =
                QStringLiteral("Syntax error in date in query expression '%1'.").arg(literal);
        }
        return std::nullopt;
    }
    *end = close + 1;
    return value;
}

std::optional<QString> toSqlite(const QString& jet, AuditError* error)
{
    QString out;
    out.reserve(jet.size() + 16);
    const qsizetype n = jet.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = jet.at(i);
        if (const auto j = quotedEnd(jet, i)) {
            // Copy a quoted string or name whole.
            const qsizetype end = qMin(*j + 1, n);
            out += QStringView(jet).mid(i, end - i);
            i = end;
            continue;
        }

        if (c == QLatin1Char('#')) {
            const auto value = dateLiteral(jet, i, &i, error);
            if (!value)
                return std::nullopt;
            out += QLatin1Char('\'') + IsoDateTime(*value) + QLatin1Char('\'');
            continue;
        }

        out += c;
        ++i;
    }

    return PlanHints::apply(withoutDeleteColumns(out));
}

QString withoutDeleteColumns(QString text)
{
    static const QRegularExpression deleteFrom(
        QStringLiteral("^(\\s*DELETE)\\s+[A-Za-z_][A-Za-z0-9_]*\\.\\*\\s+(FROM\\b)"),
        QRegularExpression::CaseInsensitiveOption);
    text.replace(deleteFrom, QStringLiteral("\\1 \\2"));
    return text;
}

} // namespace JetDialect
