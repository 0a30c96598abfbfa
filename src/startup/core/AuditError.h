#pragma once

#include <QString>

// A database or provider error: its number and description, as shown to the
// operator ("Error 3024 - ...").
struct AuditError
{
    int number = 0;
    QString description;

    bool isError() const { return number != 0; }
};

// The number under which a missing database file is reported.
constexpr int ErrorDatabaseNotFound = 3024;
// The number under which a change to a database the user may only read is refused.
constexpr int ErrorReadOnly = 3027;
// The number under which a file that is not an SQLite database is refused.
constexpr int ErrorNotADatabase = 26;
