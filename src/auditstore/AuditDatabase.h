#pragma once

#include "AuditError.h"
#include "AuditRows.h"

#include <QLoggingCategory>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

// Statements as built (Jet text) and as run (the backend's text):
// QT_LOGGING_RULES="audit.sql=true" shows them on standard error.
Q_DECLARE_LOGGING_CATEGORY(lcAuditSql)

// The shared "Audit" connection to the audit database, and the one place where
// statements run. Every statement is built in the Jet dialect, turned into the
// backend's dialect (AuditBackend: the SQLite file, or a PostgreSQL server when
// the connection string is a libpq URI) and logged in both forms. The database
// must exist: the program never creates it. Nothing above this class knows
// which backend it talks to.
class AuditDatabase
{
public:
    static AuditDatabase& instance();

    // The connection string the program uses for a database file (a server's
    // URI is one already).
    static QString connectionStringFor(const QString& databasePath);
    // The file named by the "Data Source" of a connection string.
    static QString dataSourceOf(const QString& connectionString);
    // The database a connection string names, as messages name it: the file,
    // or the server's URI.
    static QString locationOf(const QString& connectionString);

    // Opens the shared connection: the file must exist and hold the Audit table;
    // a busy timeout lets other programs append meanwhile. Opening writes
    // nothing (the journal mode stays the file's own); a file the user may only
    // read opens read-only, and then every change is refused.
    bool open(const QString& connectionString, AuditError* error = nullptr);
    void close();
    bool isOpen() const;
    // The shared connection cannot change the file (see open()).
    bool isReadOnly() const { return m_readOnly; }
    // The error of the last failed open (number 0 when it succeeded).
    AuditError openError() const { return m_openError; }

    QString connectionString() const { return m_connectionString; }
    // The database file, or the server's URI.
    QString databasePath() const { return locationOf(m_connectionString); }
    QSqlDatabase connection() const;

    // Runs a statement that returns no rows; rowsAffected receives the count.
    // After one that changed rows outside a transaction, the planner's
    // statistics are brought up to date where they are missing or stale.
    bool execute(const QString& jet, int* rowsAffected = nullptr, AuditError* error = nullptr);
    // Runs a SELECT on the shared connection; the query stands before its first row.
    std::optional<QSqlQuery> select(const QString& jet, AuditError* error = nullptr,
                                     bool forwardOnly = true);

    // Runs a Jet text on any connection of the audit database (the view's own,
    // a worker thread's), through the same dialect layer and logging.
    static std::optional<QSqlQuery> run(QSqlDatabase db, const QString& jet,
                                        AuditError* error = nullptr, bool forwardOnly = true);

    // Prepares a Jet text on a connection of the audit database (through the
    // same dialect layer and logging) for readers that step through many rows
    // with the backend's own client library; nullptr on failure.
    static std::unique_ptr<AuditRows> rows(QSqlDatabase db, const QString& jet,
                                           AuditError* error = nullptr);

    // Begins a transaction on the shared connection whose reads all see the
    // rows of its start (a report's snapshot); commit() or rollback() ends it.
    bool beginRead();

    // A temporary table of keys on the shared connection, for one statement
    // to be limited to (made when missing, emptied first), and its removal;
    // both in the caller's transaction.
    bool storeKeys(const QString& table, const QList<qint64>& keys, AuditError* error = nullptr);
    bool dropKeys(const QString& table, AuditError* error = nullptr);

    // Opens a further connection to the same database under its own name (for
    // a worker thread or a second reader), the same way; readOnly receives
    // whether it can change the database.
    static QSqlDatabase openConnection(const QString& connectionString, const QString& name,
                                       AuditError* error = nullptr, bool* readOnly = nullptr);

    // A message of several lines (a client library's, with an indented hint)
    // as one line, the blanks in it simplified.
    static QString oneLine(const QString& message);
    // The error of a failed query as the program reports it.
    static AuditError errorOf(const class QSqlError& sqlError);

    // A test seam at the one place statements run: the function sees each
    // backend text before it runs, and an error it returns is the statement's
    // result instead. None in the program; tests inject failures with it.
    using StatementFault = std::function<std::optional<AuditError>(const QString& text)>;
    static void setStatementFault(StatementFault fault);

    // Updates the planner's statistics of the tables this connection's queries
    // used, where they are missing or out of date and the backend does not
    // (SQLite: each index is sampled, so ten million entries cost milliseconds).
    static void keepStatistics(QSqlDatabase db);

    static constexpr int BusyTimeoutMs = 10000;
    static inline const QString ConnectionName = QStringLiteral("Audit");

private:
    AuditDatabase() = default;
    QString m_connectionString;
    AuditError m_openError;
    bool m_readOnly = false;
};

// The connection's information-message handler: shows "Audit Database Error
// <n> - <description>" unless the number is 0 or the run is unattended.
void Audit_InfoMessage(const AuditError& error);
