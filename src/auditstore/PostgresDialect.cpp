#include "PostgresDialect.h"

#include "JetDialect.h"
#include "SqlDate.h"

#include <QRegularExpression>
#include <QStringList>
#include <QVector>

namespace PostgresDialect {

namespace {

bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

QString quotedName(QStringView name)
{
    QString inner = name.toString().toLower();
    inner.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + inner + QLatin1Char('"');
}

// The next word after position at, skipping blanks (empty when none).
QString wordAfter(const QString& text, qsizetype at)
{
    while (at < text.size() && text.at(at).isSpace())
        ++at;
    qsizetype end = at;
    while (end < text.size() && isWordChar(text.at(end)))
        ++end;
    return text.mid(at, end - at).toLower();
}

QChar charAfter(const QString& text, qsizetype at)
{
    while (at < text.size() && text.at(at).isSpace())
        ++at;
    return at < text.size() ? text.at(at) : QChar();
}

// Whether LIKE or NOT LIKE follows position at.
bool likeAfter(const QString& text, qsizetype at)
{
    const QString word = wordAfter(text, at);
    if (word == QLatin1String("not")) {
        while (at < text.size() && text.at(at).isSpace())
            ++at;
        return wordAfter(text, at + 3) == QLatin1String("like");
    }
    return word == QLatin1String("like");
}

bool isNumberColumn(const QString& lowerName)
{
    static const QStringList numbers = {QStringLiteral("autoindex"), QStringLiteral("level"),
                                        QStringLiteral("error"), QStringLiteral("unattended"),
                                        QStringLiteral("weight")};
    return numbers.contains(lowerName);
}

// Words after which a subquery in FROM has ended without a name of its own.
bool endsSubquery(const QString& text, qsizetype at)
{
    const QChar next = charAfter(text, at);
    if (next.isNull() || next == QLatin1Char(';') || next == QLatin1Char(')') ||
        next == QLatin1Char(','))
        return true;
    static const QStringList clauses = {"where", "order", "group", "having", "limit", "union",
                                        "join",  "inner", "left",  "right",  "cross", "offset"};
    return clauses.contains(wordAfter(text, at));
}

} // namespace

std::optional<QString> fromJet(const QString& jet, AuditError* error)
{
    static const QRegularExpression caseWord(QStringLiteral("\\bcase\\b"),
                                             QRegularExpression::CaseInsensitiveOption);
    const bool hasCase = caseWord.match(jet).hasMatch();
    QString out;
    out.reserve(jet.size() + 32);
    const qsizetype n = jet.size();
    QVector<bool> fromParens; // per open parenthesis: whether it follows FROM
    QString lastWord;
    int marks = 0;
    qsizetype i = 0;
    while (i < n) {
        const QChar c = jet.at(i);
        QString name; // a column or table name just written, in lower case
        if (c == QLatin1Char('\'')) {
            const qsizetype end = qMin(*JetDialect::quotedEnd(jet, i) + 1, n);
            out += QStringView(jet).mid(i, end - i);
            i = end;
            lastWord.clear();
            continue;
        }
        if (c == QLatin1Char('"')) {
            const qsizetype close = *JetDialect::quotedEnd(jet, i);
            QString inner = jet.mid(i + 1, close - i - 1);
            inner.replace(QLatin1String("\"\""), QLatin1String("\""));
            inner.replace(QLatin1Char('\''), QLatin1String("''"));
            out += QLatin1Char('\'') + inner + QLatin1Char('\'');
            i = qMin(close + 1, n);
            lastWord.clear();
            continue;
        }
        if (c == QLatin1Char('[') || c == QLatin1Char('`')) {
            const qsizetype close = *JetDialect::quotedEnd(jet, i);
            name = jet.mid(i + 1, close - i - 1).toLower();
            out += quotedName(name);
            i = qMin(close + 1, n);
        } else if (c == QLatin1Char('#')) {
            const auto value = JetDialect::dateLiteral(jet, i, &i, error);
            if (!value)
                return std::nullopt;
            out += QStringLiteral("TIMESTAMP '") + IsoDateTime(*value) + QLatin1Char('\'');
            lastWord.clear();
            continue;
        } else if (c == QLatin1Char('?')) {
            out += QLatin1Char('$') + QString::number(++marks);
            ++i;
            lastWord.clear();
            continue;
        } else if (isWordChar(c) && (i == 0 || !isWordChar(jet.at(i - 1)))) {
            qsizetype end = i;
            while (end < n && isWordChar(jet.at(end)))
                ++end;
            const QString word = jet.mid(i, end - i);
            const QString lower = word.toLower();
            i = end;
            if (!hasCase && (lower == QLatin1String("when") || lower == QLatin1String("user"))) {
                out += quotedName(lower);
                name = lower;
            } else {
                out += word;
                lastWord = lower;
                if (!c.isDigit())
                    name = lower;
                if (isNumberColumn(lower) && likeAfter(jet, i))
                    out += QStringLiteral("::text");
                continue;
            }
        } else if (c == QLatin1Char('(')) {
            fromParens.append(lastWord == QLatin1String("from"));
            out += c;
            ++i;
            lastWord.clear();
            continue;
        } else if (c == QLatin1Char(')')) {
            out += c;
            ++i;
            if (!fromParens.isEmpty() && fromParens.takeLast() && endsSubquery(jet, i))
                out += QStringLiteral(" AS subquery");
            lastWord.clear();
            continue;
        } else {
            out += c;
            ++i;
            if (!c.isSpace())
                lastWord.clear();
            continue;
        }
        // A name in quotes or brackets was written.
        lastWord.clear();
        if (isNumberColumn(name) && likeAfter(jet, i))
            out += QStringLiteral("::text");
    }
    QString text = JetDialect::withoutDeleteColumns(out).trimmed();
    while (text.endsWith(QLatin1Char(';')))
        text.chop(1);
    return text.trimmed();
}

} // namespace PostgresDialect
