#pragma once

#include <QString>

// Index choices for a SQLite statement over Audit, for the planner that has
// no statistics to go by on most files and then walks more of the table than
// the statement's bounds need. The hints change only how rows are found,
// never which rows or in which order:
//
// - a bound on AutoIndex among the top-level AND terms of the WHERE clause (a
//   comparison with a number, BETWEEN, IN): "Audit NOT INDEXED", so the key
//   range or the key lookups drive the statement;
// - otherwise a bound on [When] (a comparison with a text): a range on Level
//   gets a unary plus, so the (Level, When) index is not walked over every
//   level, and an ORDER BY that starts with AutoIndex gets one too, so the
//   When index is searched and its rows sorted rather than the whole table
//   walked in key order;
// - otherwise a choice of every level (Level = 0 OR ... Level = 3) and an
//   ORDER BY that starts with [When] or AutoIndex: each Level gets a unary
//   plus, so the When index (only entries of the same time then sorted) or
//   the table is walked in order, rather than the (Level, When) index read
//   level by level and every row sorted (into temporary files) before the
//   first one comes.
//
// A statement of another shape (no WHERE, an alias, a FROM of a sub-query,
// an index clause of its own) comes back unchanged.
namespace PlanHints {

QString apply(const QString& sqlite);

} // namespace PlanHints
