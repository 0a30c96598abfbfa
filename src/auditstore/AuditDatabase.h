#pragma once

#include "AuditError.h"

#include <QLoggingCategory>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <optional>

struct sqlite3_stmt;

// Statements as built (Jet text) and as run (SQLite text):
// QT_LOGGING_RULES="audit.sql=true" shows them on standard error.
Q_DECLARE_LOGGING_CATEGORY(lcAuditSql)

// The shared "Audit" connection to the audit database, and the one place where
// statements run. Every statement is built in the Jet dialect, turned into
// SQLite by JetDialect and logged in both forms. The database file must exist:
// the program never creates it.
class AuditDatabase
{
public:
    static AuditDatabase& instance();

    // The connection string the program uses for a database file.
    static QString connectionStringFor(const QString& databasePath);
    // The file named by the "Data Source" of a connection string.
    static QString dataSourceOf(const QString& connectionString);

    // Opens the shared connection: the file must exist and hold the Audit table;
    // WAL journal and a busy timeout so other programs can append meanwhile.
    bool open(const QString& connectionString, AuditError* error = nullptr);
    void close();
    bool isOpen() const;
    // The error of the last failed open (number 0 when it succeeded).
    AuditError openError() const { return m_openError; }

    QString connectionString() const { return m_connectionString; }
    QString databasePath() const { return dataSourceOf(m_connectionString); }
    QSqlDatabase connection() const;

    // Runs a statement that returns no rows; rowsAffected receives the count.
    bool execute(const QString& jet, int* rowsAffected = nullptr, AuditError* error = nullptr);
    // Runs a SELECT on the shared connection; the query stands before its first row.
    std::optional<QSqlQuery> select(const QString& jet, AuditError* error = nullptr,
                                     bool forwardOnly = true);

    // Runs a Jet text on any connection of the audit database (the view's own,
    // a worker thread's), through the same dialect layer and logging.
    static std::optional<QSqlQuery> run(QSqlDatabase db, const QString& jet,
                                        AuditError* error = nullptr, bool forwardOnly = true);

    // Prepares a Jet text for SQLite's own statement API on a connection of
    // the audit database (through the same dialect layer and logging), for
    // readers that step through many rows; nullptr on failure. The caller
    // finalizes the statement.
    static sqlite3_stmt* prepare(QSqlDatabase db, const QString& jet, AuditError* error = nullptr);
    // The error of the statement's connection.
    static AuditError errorOf(sqlite3_stmt* statement);

    // Opens a further connection to the same file under its own name (for a
    // worker thread or a second reader), with the same timeout and journal.
    static QSqlDatabase openConnection(const QString& connectionString, const QString& name,
                                       AuditError* error = nullptr);

    // The error of a failed query as the program reports it.
    static AuditError errorOf(const class QSqlError& sqlError);

    static constexpr int BusyTimeoutMs = 10000;
    static inline const QString ConnectionName = QStringLiteral("Audit");

private:
    AuditDatabase() = default;
    QString m_connectionString;
    AuditError m_openError;
};

// The connection's information-message handler: shows "Audit Database Error
// <n> - <description>" unless the number is 0 or the run is unattended.
void Audit_InfoMessage(const AuditError& error);
