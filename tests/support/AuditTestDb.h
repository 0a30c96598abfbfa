#pragma once

#include "AuditEntry.h"

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QTemporaryDir>

// A real audit database for tests, made from the shipped schema in its own
// temporary folder as <root>/SYSTEM/Audit.mdb, the layout start-up expects.
// Rows are written on a connection of its own, as the product's other
// programs would write them.
//
//     AuditTestDb db;
//     db.add(AuditTestDb::entry(2, QDateTime(QDate(2003, 3, 9), QTime(8, 0))));
//     QVERIFY(db.openShared());          // the program's "Audit" connection
//     QCOMPARE(db.count("Level = 2"), 1);
class AuditTestDb
{
public:
    AuditTestDb();
    ~AuditTestDb();
    AuditTestDb(const AuditTestDb&) = delete;
    AuditTestDb& operator=(const AuditTestDb&) = delete;

    // Whether the database was made; errorString() tells why not, or why the
    // last add or exec failed.
    bool isValid() const { return m_valid; }
    QString errorString() const { return m_error; }

    QString path() const { return m_path; }
    // The installation root above SYSTEM/, with a trailing "/".
    QString root() const { return m_root; }

    // An entry of a level at a time with plausible other fields.
    static AuditEntry entry(int level, const QDateTime& when,
                            const QString& description = QString());

    // Appends an entry (its AutoIndex is ignored) and returns the AutoIndex
    // the database gave it, or 0 on failure.
    qint64 add(const AuditEntry& entry);
    // Appends entries in one transaction; false on any failure.
    bool add(const QList<AuditEntry>& entries);

    // Rows, AutoIndex values and entries matching an SQLite condition (all
    // when empty), in AutoIndex order.
    int count(const QString& sqliteWhere = QString()) const;
    QList<qint64> keys(const QString& sqliteWhere = QString()) const;
    QList<AuditEntry> entries(const QString& sqliteWhere = QString()) const;
    // Runs SQLite text on the test's own connection.
    bool exec(const QString& sqlite);

    // Opens the program's shared "Audit" connection on this file.
    bool openShared();

private:
    bool create();
    QSqlDatabase db() const;

    QTemporaryDir m_folder;
    QString m_path;
    QString m_root;
    QString m_connectionName;
    QString m_error;
    bool m_valid = false;
};
