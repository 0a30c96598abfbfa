#pragma once

#include "AuditBackend.h"

// The embedded default: one SQLite file, named by the "Data Source" of a Jet
// connection string. JetDialect and PlanHints give the texts; rows are read
// with SQLite's own statement API.
class SqliteBackend : public AuditBackend
{
public:
    QString name() const override { return QStringLiteral("sqlite"); }
    std::optional<QString> translate(const QString& jet, AuditError* error) const override;
    QSqlDatabase open(const QString& connectionString, const QString& name, AuditError* error,
                      bool* readOnly) const override;
    QString location(const QString& connectionString) const override;
    std::unique_ptr<AuditRows> rows(QSqlDatabase db, const QString& translated,
                                    AuditError* error) const override;
    bool storeKeys(QSqlDatabase db, const QString& table, const QList<qint64>& keys,
                   AuditError* error) const override;
    bool dropKeys(QSqlDatabase db, const QString& table, AuditError* error) const override;
    bool watch(QSqlDatabase db, StatementProgress* progress) const override;
    void keepStatistics(QSqlDatabase db) const override;
    bool isReadOnlyError(const AuditError& error) const override;
};
