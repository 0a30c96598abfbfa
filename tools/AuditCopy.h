#pragma once

#include <QString>
#include <functional>

class PgSession;

// Copies an audit database file (SQLite: the Audit and weight tables) into a
// PostgreSQL database in one transaction: the schema is made where it is
// missing, the entries go in batches through COPY, and the row counts are
// compared before the commit. Any failure throws CopyFailure and leaves the
// target as it was.
class AuditCopy
{
public:
    enum class Mode
    {
        IntoEmpty, // refuse a target that holds entries or weights; keys are kept
        Append,    // entries added after the target's own, with new keys; weights the target lacks
        Replace,   // the target's entries and weights removed first; keys are kept
    };

    struct Totals
    {
        qint64 entries = 0;
        qint64 weights = 0;
    };

    // A line of progress: after each batch of entries ("300000 of 1000000
    // entries copied (30 %)", passing: true until the last) and before each
    // later step that takes time.
    using Progress = std::function<void(const QString& line, bool passing)>;

    AuditCopy(QString sourceFile, Mode mode, qint64 batchRows = 100000, Progress progress = {});

    // Throws CopyFailure; on success the target's identity continues after
    // its highest key.
    Totals run(PgSession& target);

private:
    void report(const QString& line, bool passing) const;

    QString m_source;
    Mode m_mode;
    qint64 m_batchRows;
    Progress m_progress;
};
