#include "PlanHints.h"

#include "JetDialect.h"

#include <QList>
#include <algorithm>
#include <tuple>

namespace {

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

// Whether the word starts at i, as a whole word.
bool wordAt(const QString& s, qsizetype i, QLatin1String word)
{
    const qsizetype end = i + word.size();
    if (end > s.size() || QStringView(s).mid(i, word.size()).compare(word, Qt::CaseInsensitive))
        return false;
    return (i == 0 || !isNameChar(s.at(i - 1))) && (end == s.size() || !isNameChar(s.at(end)));
}

qsizetype skipBlanks(const QString& s, qsizetype i, qsizetype end)
{
    while (i < end && s.at(i).isSpace())
        ++i;
    return i;
}

// Where the quoted text or parenthesised group starting at i ends (one past
// it), or i + 1 for any other character.
qsizetype stepOver(const QString& s, qsizetype i, qsizetype end)
{
    if (const auto close = JetDialect::quotedEnd(s, i))
        return qMin(*close + 1, end);
    if (s.at(i) != QLatin1Char('('))
        return i + 1;
    int depth = 0;
    qsizetype j = i;
    while (j < end) {
        const QChar c = s.at(j);
        if (c == QLatin1Char('(')) {
            ++depth;
            ++j;
        } else if (c == QLatin1Char(')')) {
            ++j;
            if (--depth == 0)
                return j;
        } else if (const auto close = JetDialect::quotedEnd(s, j)) {
            j = qMin(*close + 1, end);
        } else {
            ++j;
        }
    }
    return end;
}

// A column name at i, bare or quoted, with or without "Audit.": the name and
// where it ends.
struct Column
{
    QString name;
    qsizetype end = -1;
};

Column columnAt(const QString& s, qsizetype i, qsizetype end)
{
    auto nameAt = [&](qsizetype at) -> Column {
        if (at >= end)
            return {};
        if (const auto close = JetDialect::quotedEnd(s, at)) {
            if (s.at(at) == QLatin1Char('\'') || *close >= end)
                return {};
            return {s.mid(at + 1, *close - at - 1), *close + 1};
        }
        qsizetype j = at;
        while (j < end && isNameChar(s.at(j)))
            ++j;
        return j == at ? Column{} : Column{s.mid(at, j - at), j};
    };
    Column first = nameAt(i);
    if (first.end >= 0 && first.end < end && s.at(first.end) == QLatin1Char('.') &&
        first.name.compare(QLatin1String("Audit"), Qt::CaseInsensitive) == 0)
        return nameAt(first.end + 1);
    return first;
}

bool isColumn(const Column& column, QLatin1String name)
{
    return column.end >= 0 && column.name.compare(name, Qt::CaseInsensitive) == 0;
}

struct Bounds
{
    bool autoIndex = false;
    bool when = false;
    QList<qsizetype> levelRanges; // where each range term on Level starts
    QList<qsizetype> levelChoice; // where each Level of a choice of levels starts
    QList<int> levels;            // the levels of that choice
};

// s[begin, end) without blanks or parentheses around all of it.
std::pair<qsizetype, qsizetype> unwrapped(const QString& s, qsizetype begin, qsizetype end)
{
    for (;;) {
        begin = skipBlanks(s, begin, end);
        while (end > begin && s.at(end - 1).isSpace())
            --end;
        if (begin >= end || s.at(begin) != QLatin1Char('(') || stepOver(s, begin, end) != end)
            return {begin, end};
        ++begin;
        --end;
    }
}

// A choice of levels, s[begin, end) being Level equalities joined by OR
// ("(Level = 0) OR (Level = 2)"): kept in bounds; any other choice is not.
void levelChoice(const QString& s, qsizetype begin, qsizetype end, Bounds& bounds)
{
    QList<qsizetype> columns;
    QList<int> levels;
    auto take = [&](qsizetype from, qsizetype to) {
        std::tie(from, to) = unwrapped(s, from, to);
        const Column column = columnAt(s, from, to);
        if (!isColumn(column, QLatin1String("Level")))
            return false;
        qsizetype i = skipBlanks(s, column.end, to);
        if (i >= to || s.at(i) != QLatin1Char('='))
            return false;
        i += i + 1 < to && s.at(i + 1) == QLatin1Char('=') ? 2 : 1;
        bool number = false;
        levels.append(QStringView(s).mid(i, to - i).trimmed().toInt(&number));
        columns.append(from);
        return number;
    };
    qsizetype termStart = begin;
    for (qsizetype i = begin; i < end;) {
        if (wordAt(s, i, QLatin1String("AND")))
            return;
        if (wordAt(s, i, QLatin1String("OR"))) {
            if (!take(termStart, i))
                return;
            termStart = i + 2;
            i += 2;
            continue;
        }
        i = stepOver(s, i, end);
    }
    if (!take(termStart, end))
        return;
    // Two choices of levels choose the levels both name.
    if (!bounds.levelChoice.isEmpty())
        levels.removeIf([&](int level) { return !bounds.levels.contains(level); });
    bounds.levelChoice += columns;
    bounds.levels = levels;
}

// Where the first key of the ORDER BY at i starts; n when there is none.
qsizetype firstOrderKey(const QString& s, qsizetype i, qsizetype n)
{
    if (i >= n || !wordAt(s, i, QLatin1String("ORDER")))
        return n;
    const qsizetype by = skipBlanks(s, i + 5, n);
    return wordAt(s, by, QLatin1String("BY")) ? skipBlanks(s, by + 2, n) : n;
}

// The levels a report of every level names.
constexpr int EveryLevel[] = {0, 1, 2, 3};

// One term that is no AND of others: a bound it sets, if any.
void classify(const QString& s, qsizetype begin, qsizetype end, Bounds& bounds)
{
    const Column column = columnAt(s, begin, end);
    if (column.end < 0)
        return;
    qsizetype i = skipBlanks(s, column.end, end);
    QString op;
    for (const char* candidate : {"<=", ">=", "<>", "!=", "==", "<", ">", "="}) {
        if (QStringView(s).mid(i).startsWith(QLatin1String(candidate))) {
            op = QLatin1String(candidate);
            break;
        }
    }
    const bool between = op.isEmpty() && wordAt(s, i, QLatin1String("BETWEEN"));
    const bool in = op.isEmpty() && wordAt(s, i, QLatin1String("IN"));
    if ((op.isEmpty() && !between && !in) || op == QLatin1String("<>") || op == QLatin1String("!="))
        return;
    i = skipBlanks(s, i + (between ? 7 : in ? 2 : op.size()), end);
    if (i >= end)
        return;
    const QChar c = s.at(i);
    const bool number = c.isDigit() || c == QLatin1Char('-') || c == QLatin1Char('?');
    if (isColumn(column, QLatin1String("AutoIndex")))
        bounds.autoIndex = bounds.autoIndex || (in ? c == QLatin1Char('(') : number);
    else if (isColumn(column, QLatin1String("When")) && !in)
        bounds.when = bounds.when || c == QLatin1Char('\'');
    else if (isColumn(column, QLatin1String("Level")) && !in &&
             (between || op.startsWith(QLatin1Char('<')) || op.startsWith(QLatin1Char('>'))))
        bounds.levelRanges.append(begin);
}

// The AND terms of s[begin, end), through parentheses that hold ANDs only.
void collect(const QString& s, qsizetype begin, qsizetype end, Bounds& bounds)
{
    begin = skipBlanks(s, begin, end);
    while (end > begin && s.at(end - 1).isSpace())
        --end;
    if (begin >= end)
        return;
    if (s.at(begin) == QLatin1Char('(') && stepOver(s, begin, end) == end) {
        collect(s, begin + 1, end - 1, bounds);
        return;
    }
    QList<std::pair<qsizetype, qsizetype>> terms;
    qsizetype termStart = begin;
    bool inBetween = false;
    for (qsizetype i = begin; i < end;) {
        if (wordAt(s, i, QLatin1String("OR"))) {
            // A choice of terms bounds nothing; a choice of levels is noted.
            levelChoice(s, begin, end, bounds);
            return;
        }
        if (wordAt(s, i, QLatin1String("BETWEEN")))
            inBetween = true;
        if (wordAt(s, i, QLatin1String("AND"))) {
            if (inBetween) {
                inBetween = false;
            } else {
                terms.append({termStart, i});
                termStart = i + 3;
            }
            i += 3;
            continue;
        }
        i = stepOver(s, i, end);
    }
    terms.append({termStart, end});
    if (terms.size() == 1) {
        classify(s, begin, end, bounds);
        return;
    }
    for (const auto& [from, to] : terms)
        collect(s, from, to, bounds);
}

// The first top-level occurrence of one of the words at or after i, or end.
qsizetype findWord(const QString& s, qsizetype i, qsizetype end,
                   std::initializer_list<const char*> words)
{
    while (i < end) {
        for (const char* word : words)
            if (wordAt(s, i, QLatin1String(word)))
                return i;
        i = s.at(i) == QLatin1Char(';') ? end : stepOver(s, i, end);
    }
    return end;
}

} // namespace

namespace PlanHints {

QString apply(const QString& sqlite)
{
    const qsizetype n = sqlite.size();
    const qsizetype start = skipBlanks(sqlite, 0, n);
    if (!wordAt(sqlite, start, QLatin1String("SELECT")) &&
        !wordAt(sqlite, start, QLatin1String("DELETE")))
        return sqlite;
    if (findWord(sqlite, start, n, {"INDEXED"}) < n)
        return sqlite;
    const qsizetype from = findWord(sqlite, start, n, {"FROM"});
    if (from >= n)
        return sqlite;
    const qsizetype tableStart = skipBlanks(sqlite, from + 4, n);
    const Column table = columnAt(sqlite, tableStart, n);
    if (!isColumn(table, QLatin1String("Audit")))
        return sqlite;
    const qsizetype where = skipBlanks(sqlite, table.end, n);
    if (!wordAt(sqlite, where, QLatin1String("WHERE")))
        return sqlite;
    const qsizetype whereEnd = findWord(sqlite, where + 5, n, {"ORDER", "GROUP", "LIMIT"});
    // The WHERE clause stops at a top-level ";" too.
    qsizetype conditionEnd = where + 5;
    while (conditionEnd < whereEnd && sqlite.at(conditionEnd) != QLatin1Char(';'))
        conditionEnd = stepOver(sqlite, conditionEnd, whereEnd);

    Bounds bounds;
    collect(sqlite, where + 5, conditionEnd, bounds);

    // Insertions, made from the end so that earlier positions stay valid.
    QList<std::pair<qsizetype, QString>> edits;
    const qsizetype key = firstOrderKey(sqlite, whereEnd, n);
    if (bounds.autoIndex) {
        edits.append({table.end, QStringLiteral(" NOT INDEXED")});
    } else if (bounds.when) {
        for (qsizetype at : bounds.levelRanges)
            edits.append({at, QStringLiteral("+")});
        if (isColumn(columnAt(sqlite, key, n), QLatin1String("AutoIndex")))
            edits.append({key, QStringLiteral("+")});
    } else if ((isColumn(columnAt(sqlite, key, n), QLatin1String("When")) ||
                isColumn(columnAt(sqlite, key, n), QLatin1String("AutoIndex"))) &&
               std::all_of(std::begin(EveryLevel), std::end(EveryLevel),
                           [&](int level) { return bounds.levels.contains(level); })) {
        for (qsizetype at : bounds.levelChoice)
            edits.append({at, QStringLiteral("+")});
    }
    std::sort(edits.begin(), edits.end(),
              [](const auto& a, const auto& b) { return a.first > b.first; });
    QString out = sqlite;
    for (const auto& [at, text] : edits)
        out.insert(at, text);
    return out;
}

} // namespace PlanHints
