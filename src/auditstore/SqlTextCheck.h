#pragma once

#include <QString>

struct RunOptions;

// Checks of the SQL texts a caller hands to the report routines, so that a
// sort name or an extra condition cannot change what a statement does beyond
// its own place in it.
namespace SqlTextCheck {

// "" when the text is blank or one well-formed condition: quotes, [names] and
// parentheses closed and balanced, no comment ("--", "/*") and no ";" outside
// quotes. Otherwise why not.
QString conditionProblem(const QString& condition);

// "" when the name is blank or names a column of Audit (any case) or a
// heading of the viewer grid. Otherwise why not.
QString sortProblem(const QString& name);

// The first problem of the three sort names and the query of a run, or "".
QString runOptionsProblem(const RunOptions& options);

} // namespace SqlTextCheck
