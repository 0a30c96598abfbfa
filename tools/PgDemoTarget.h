#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QString>
#include <QTemporaryDir>

// makedemo --postgres: the entries are made exactly as for a file, in a
// staging file of a temporary folder, and then copied into the PostgreSQL
// database with AuditCopy (COPY, one transaction), so a seed gives the same
// rows and keys on either backend.
class PgDemoTarget
{
public:
    explicit PgDemoTarget(QString connection) : m_connection(std::move(connection)) {}

    // Why the connection cannot be used (see PgSession::connectionProblem).
    QString problem() const;
    QString stagingPath() const { return m_folder.filePath(QStringLiteral("Audit.mdb")); }

    // The time of the target's newest entry, after which appended entries
    // come; invalid when it has none or cannot be reached (finish() says why).
    QDateTime newestEntry() const;

    // Copies the staging file's rows: into an empty target, replacing the
    // target's rows (force) or after them (append). Prints the outcome as
    // makedemo does and returns its exit status (0, or 1 on failure).
    int finish(bool force, bool append, qint64 rows, const QElapsedTimer& timer) const;

private:
    QString m_connection;
    QTemporaryDir m_folder;
};
