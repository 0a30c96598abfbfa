#pragma once

#include <QSqlDatabase>

struct sqlite3;

// The SQLite handle behind an open QSQLITE connection, or null (Qt's driver
// and this program use the same system SQLite library).
sqlite3* SqliteHandleOf(const QSqlDatabase& db);
