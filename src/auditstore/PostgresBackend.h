#pragma once

#include "AuditBackend.h"

// A central database on a PostgreSQL server, named by a libpq URI
// (postgresql://host/database?...). Ordinary statements run through Qt's
// QPSQL driver; rows are read with libpq on the same connection: a statement
// with "?" marks as a prepared statement, one without through a server-side
// cursor a batch at a time, so a million rows are never held at once.
class PostgresBackend : public AuditBackend
{
public:
    // Whether a connection string is a libpq URI.
    static bool isUri(const QString& connectionString);
    // Gives a QPSQL connection the parameters of a libpq URI (the driver
    // itself takes only separate ones); false when libpq cannot read it.
    static bool configure(QSqlDatabase& db, const QString& uri, QString* error = nullptr);

    QString name() const override { return QStringLiteral("pgsql"); }
    std::optional<QString> translate(const QString& jet, AuditError* error) const override;
    QSqlDatabase open(const QString& connectionString, const QString& name, AuditError* error,
                      bool* readOnly) const override;
    QString location(const QString& connectionString) const override { return connectionString; }
    std::unique_ptr<AuditRows> rows(QSqlDatabase db, const QString& translated,
                                    AuditError* error) const override;
    bool storeKeys(QSqlDatabase db, const QString& table, const QList<qint64>& keys,
                   AuditError* error) const override;
    bool dropKeys(QSqlDatabase db, const QString& table, AuditError* error) const override;
    bool change(QSqlDatabase db, const QString& translated, int* affected,
                AuditError* error) const override;
    bool watch(QSqlDatabase db, StatementProgress* progress) const override;
    bool beginRead(QSqlDatabase db) const override;
    bool isReadOnlyError(const AuditError& error) const override;
};
