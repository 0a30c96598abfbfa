#pragma once

#include "AuditEntry.h"

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>

// A real audit database for tests, made from the shipped schema in its own
// temporary folder as <root>/SYSTEM/Audit.mdb, the layout start-up expects.
// Rows are written on a connection of its own, as another program would.
// With AUDITLOG_TEST_BACKEND=postgresql it is a fresh database on the test
// process's PostgreSQL server instead (PgTestCluster), named by the root's
// SYSTEM/auditlog.ini; path() is then its URI, and the SQLite texts the
// helpers take are read in the server's dialect.
class AuditTestDb
{
public:
    AuditTestDb();
    ~AuditTestDb();
    AuditTestDb(const AuditTestDb&) = delete;
    AuditTestDb& operator=(const AuditTestDb&) = delete;

    // errorString(): why the database was not made, or the last add or exec failed.
    bool isValid() const { return m_valid; }
    QString errorString() const { return m_error; }

    QString path() const { return m_path; }
    // Whether the database is on a PostgreSQL server.
    bool isServer() const;
    // The installation root above SYSTEM/, with a trailing "/".
    QString root() const { return m_root; }

    // An entry of a level at a time with plausible other fields.
    static AuditEntry entry(int level, const QDateTime& when,
                            const QString& description = QString());

    // Appends an entry and returns its new AutoIndex, or 0 on failure.
    qint64 add(const AuditEntry& entry);
    // Appends entries in one transaction; false on any failure.
    bool add(const QList<AuditEntry>& entries);

    // Rows matching an SQLite condition (all when empty), in AutoIndex order.
    int count(const QString& sqliteWhere = QString()) const;
    QList<qint64> keys(const QString& sqliteWhere = QString()) const;
    QList<AuditEntry> entries(const QString& sqliteWhere = QString()) const;
    bool exec(const QString& sqlite);

    // The first column of an SQLite query on any database file (or server
    // URI), read on a connection of its own.
    static QVariantList values(const QString& file, const QString& sqlite);
    // The AutoIndex values of a database file's rows matching an SQLite condition.
    static QSet<qint64> keySet(const QString& file, const QString& sqliteWhere = QString());

    // Opens the program's shared "Audit" connection on this file.
    bool openShared();

private:
    bool create();
    QSqlDatabase db() const;
    QString text(const QString& sqlite) const;

    QTemporaryDir m_folder;
    QString m_path;
    QString m_root;
    QString m_connectionName;
    QString m_error;
    bool m_valid = false;
};
