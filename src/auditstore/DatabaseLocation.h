#pragma once

#include <QString>

#include <optional>

// Where an installation's audit database is. By default the SQLite file
// <root>/SYSTEM/Audit.mdb; a central PostgreSQL database is named instead by
//
//     [Database]
//     Connection=postgresql://host/database?user=name
//
// in <root>/SYSTEM/auditlog.ini (a libpq URI; another value is a database
// file, relative to SYSTEM/). The environment variable AUDITLOG_DATABASE, when
// set, overrides both. A password never goes into the URI: libpq reads it
// from ~/.pgpass or the file PGPASSFILE names.
namespace DatabaseLocation {

inline constexpr char EnvironmentVariable[] = "AUDITLOG_DATABASE";
inline constexpr char FileName[] = "auditlog.ini";
inline constexpr char DefaultFile[] = "Audit.mdb";

// The connection string AuditDatabase::open() takes for the installation
// whose SYSTEM folder is given; nothing, and a one-line problem, when the
// named connection is not acceptable.
std::optional<QString> connectionString(const QString& systemFolder, QString* problem = nullptr);

// The Connection value of the [Database] section of an ini file, empty when
// the file, the section or the key is missing.
QString configuredConnection(const QString& iniFile);

} // namespace DatabaseLocation
