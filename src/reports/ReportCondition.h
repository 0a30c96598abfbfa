#pragma once

#include <QDate>
#include <QString>
#include <cstdint>

// The selection of one report run and the SQL texts built from it: the
// condition W, the report's SELECT and the DELETE of the reported entries.
// Pure text building, no database: the texts are Jet dialect, as every
// statement of the program is built (`Level` and `When` between grave accents,
// [names] in brackets, dates between '#').
struct ReportCondition
{
    bool Status = false;
    bool Warning = false;
    bool Error = false;
    bool Fatal = false;
    int16_t AgeMode = 0; // 1 older than Days, 2 newer than Days, 3 between the span dates
    int16_t Days = 0;
    QString SpanStart; // written unchanged between '#'
    QString SpanEnd;
    QString Query; // extra condition, blank for none

    // True when at least one level is selected; without one W holds "()".
    bool hasLevel() const { return Status || Warning || Error || Fatal; }

    // W, starting with a blank: " (Query) AND (levels) [AND age]". Age
    // cut-offs are counted back from today.
    QString where(const QDate& today) const;

    // "SELECT Audit.* FROM Audit WHERE" W " ORDER BY " the non-blank sort
    // columns, with [AutoIndex] last unless one of them is exactly "AutoIndex".
    static QString selectText(const QString& where, const QString& sortBy1, const QString& sortBy2,
                              const QString& sortBy3);

    // "DELETE FROM Audit WHERE" W.
    static QString deleteText(const QString& where);
    // The same, limited to entries that existed when the report was read and
    // that the report read (their AutoIndex listed in ReportedRowsTable, all
    // between lowestIndex and highestIndex): "(" W ") AND [AutoIndex] BETWEEN "
    // lowestIndex " AND " highestIndex " AND [AutoIndex] IN (SELECT ...)". The
    // range adds no condition of its own; it lets any planner find the keys
    // by a range of the table's key rather than by walking the whole table.
    static QString deleteText(const QString& where, qint64 lowestIndex, qint64 highestIndex);
    static inline const QString ReportedRowsTable = QStringLiteral("ReportedRows");
};
