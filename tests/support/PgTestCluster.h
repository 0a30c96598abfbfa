#pragma once

#include <QString>

// The PostgreSQL server of a test process: one throw-away cluster
// (scripts/pg-cluster.sh), started on first use and stopped when the process
// ends (or, after a crash, by the script's watcher), with a template database holding the audit schema, from which each
// test gets a fresh database of its own.
class PgTestCluster
{
public:
    // Whether the suites run against PostgreSQL (AUDITLOG_TEST_BACKEND=postgresql).
    static bool enabled();

    // A new database made from the template: its libpq URI, or empty (and
    // error) when the server or the database could not be made.
    static QString createDatabase(QString* error);
    // The libpq URI of a database of the cluster (starting it), or empty (and
    // error) when the server could not be started.
    static QString uriOf(const QString& database, QString* error = nullptr);
};
