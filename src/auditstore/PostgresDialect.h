#pragma once

#include "AuditError.h"

#include <QString>

#include <optional>

// Turns the Jet-dialect SQL texts the program builds into PostgreSQL texts for
// the schema of sql/audit_schema_postgresql.sql (lower-case names, citext
// text columns, "when" a timestamp):
//  - [Name] and `Name` become "name"; bare When and User become "when" and
//    "user" (unless the text has a CASE expression);
//  - a "double-quoted" Jet string becomes a 'single-quoted' one;
//  - '#...#' becomes TIMESTAMP 'YYYY-MM-DD HH:MM:SS', read with the locale's
//    date rules as for SQLite;
//  - "DELETE x.* FROM" becomes "DELETE FROM";
//  - a whole-number column before LIKE is compared as text (Jet matches a
//    number against a pattern);
//  - a subquery in FROM without a name gets one;
//  - "?" marks become $1, $2, ...; a closing ";" is dropped.
// LIKE stays: on citext it takes no account of letter case, as Jet's does.
namespace PostgresDialect {

std::optional<QString> fromJet(const QString& jet, AuditError* error = nullptr);

} // namespace PostgresDialect
