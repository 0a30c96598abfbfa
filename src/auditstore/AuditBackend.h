#pragma once

#include "AuditError.h"
#include "AuditRows.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <memory>
#include <optional>

class StatementProgress;

// What differs between the databases the audit log can live in: how a
// connection opens, how a Jet text reads in the backend's dialect, how many
// rows are read fast, and how a set of keys is kept for one statement. The
// embedded SQLite file is the default; a PostgreSQL server is the other.
// Only AuditDatabase talks to a backend.
class AuditBackend
{
public:
    virtual ~AuditBackend() = default;

    // The backend a connection string names, and the backend of an open connection.
    static const AuditBackend& forConnectionString(const QString& connectionString);
    static const AuditBackend& of(const QSqlDatabase& db);

    // The label of the backend's texts in the audit.sql log.
    virtual QString name() const = 0;
    virtual std::optional<QString> translate(const QString& jet, AuditError* error) const = 0;

    // Opens a connection under its own name; readOnly receives whether the
    // database cannot be changed through it.
    virtual QSqlDatabase open(const QString& connectionString, const QString& name,
                              AuditError* error, bool* readOnly) const = 0;
    // Where the database is, as messages name it.
    virtual QString location(const QString& connectionString) const = 0;

    // A translated statement, ready to read with AuditRows; nullptr on failure.
    virtual std::unique_ptr<AuditRows> rows(QSqlDatabase db, const QString& translated,
                                            AuditError* error) const = 0;

    // Fills a temporary table of one whole-number column AutoIndex, made when
    // missing and emptied first, with keys; dropKeys() removes it. Both run in
    // the caller's transaction.
    virtual bool storeKeys(QSqlDatabase db, const QString& table, const QList<qint64>& keys,
                           AuditError* error) const = 0;
    virtual bool dropKeys(QSqlDatabase db, const QString& table, AuditError* error) const = 0;

    // Runs a translated statement that returns no rows; affected receives the
    // count of rows it changed. While a StatementProgress watches the
    // connection, a long statement lets it tick.
    virtual bool change(QSqlDatabase db, const QString& translated, int* affected,
                        AuditError* error) const;
    // Lets progress (nullptr: none) tick during the statements of db from now
    // on; false where the backend cannot.
    virtual bool watch(QSqlDatabase db, StatementProgress* progress) const = 0;

    // Begins a transaction whose reads all see the rows of its start, while
    // other programs change them.
    virtual bool beginRead(QSqlDatabase db) const { return db.transaction(); }

    // Brings the planner's statistics up to date after a change, where the
    // backend does not do that itself.
    virtual void keepStatistics(QSqlDatabase db) const { Q_UNUSED(db); }
    // Whether a failure means the database refused a change it cannot make.
    virtual bool isReadOnlyError(const AuditError& error) const { Q_UNUSED(error); return false; }
};
