#pragma once

#include "AuditError.h"

#include <QDateTime>
#include <QString>

#include <optional>

// Turns the Jet-dialect SQL texts the program builds into SQLite texts:
// a '#...#' date literal becomes the ISO text 'YYYY-MM-DD HH:MM:SS' read with
// the locale's date rules, and "DELETE x.* FROM" becomes "DELETE FROM".
// Square brackets and back-quotes are left as they are; SQLite reads both.
// Quoted strings and bracketed names are copied untouched. Statements over
// Audit get the index choices of PlanHints.
namespace JetDialect {

// Error number of a malformed date literal (a syntax error in the expression).
constexpr int ErrorBadDateLiteral = 3075;

std::optional<QString> toSqlite(const QString& jet, AuditError* error = nullptr);

// The date of the '#...#' literal at start, read with the locale's rules; end
// receives the index after its closing '#'. Nothing (and the error) when it
// is no date.
std::optional<QDateTime> dateLiteral(const QString& jet, qsizetype start, qsizetype* end,
                                     AuditError* error);

// "DELETE x.* FROM" as "DELETE FROM".
QString withoutDeleteColumns(QString text);

// When a quoted string or name (', ", ` or [) starts at start: the index of
// its closing character (a doubled quote stays inside), or the text's size
// when it is not closed. Nothing when no quote starts there.
std::optional<qsizetype> quotedEnd(const QString& text, qsizetype start);

} // namespace JetDialect
