#include "AuditCopy.h"

#include "CopyText.h"
#include "PgSession.h"
#include "SqlScript.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <memory>
#include <sqlite3.h>

namespace {

// Sent to the server whenever this much COPY text has gathered.
constexpr std::size_t ChunkBytes = 1 << 20;

const char* const EntryColumns =
    "AutoIndex, Level, Error, Description, Application, [When], User, Details, Path, "
    "Unattended, Response, TaskList";
const char* const TargetColumns = "level, error, description, application, \"when\", \"user\", "
                                  "details, path, unattended, response, tasklist";

// The source file, read-only, inside one read transaction: the counts and
// the rows are one snapshot while other programs go on appending.
class Source
{
public:
    explicit Source(const QString& path) : m_path(path)
    {
        const QFileInfo info(path);
        if (!info.isFile())
            throw CopyFailure((info.exists() ? QStringLiteral("%1: not a regular file")
                                             : QStringLiteral("%1: no such file"))
                                  .arg(path));
        sqlite3* db = nullptr;
        const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                                       SQLITE_OPEN_READONLY, nullptr);
        m_db.reset(db);
        if (rc != SQLITE_OK)
            fail();
        sqlite3_busy_timeout(db, 10000);
        exec("BEGIN");
    }

    qint64 count(const char* sql)
    {
        Statement statement = prepare(sql);
        if (sqlite3_step(statement.get()) != SQLITE_ROW)
            fail();
        return sqlite3_column_int64(statement.get(), 0);
    }

    using Statement = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;

    Statement prepare(const char* sql)
    {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(m_db.get(), sql, -1, &statement, nullptr) != SQLITE_OK)
            fail();
        return Statement(statement, &sqlite3_finalize);
    }

    [[noreturn]] void fail()
    {
        throw CopyFailure(
            QStringLiteral("%1: %2").arg(m_path, QString::fromUtf8(sqlite3_errmsg(m_db.get()))));
    }

private:
    void exec(const char* sql)
    {
        if (sqlite3_exec(m_db.get(), sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            fail();
    }

    QString m_path;
    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> m_db{nullptr, &sqlite3_close};
};

// Sends the rows of a source statement through COPY, in batches of batchRows
// (a new COPY each), skipping the first `skip` columns. Returns the rows sent.
qint64 copyRows(Source& source, sqlite3_stmt* rows, int skip, PgSession& target,
                const QString& copyStatement, qint64 batchRows,
                const std::function<void(qint64)>& batchDone)
{
    const int columns = sqlite3_column_count(rows);
    CopyText text;
    qint64 sent = 0;
    int rc = SQLITE_ROW;
    while (rc == SQLITE_ROW) {
        qint64 inBatch = 0;
        while (inBatch < batchRows && (rc = sqlite3_step(rows)) == SQLITE_ROW) {
            if (inBatch == 0)
                target.beginCopy(copyStatement);
            for (int column = skip; column < columns; ++column) {
                // The text of the column as stored: numbers in decimal, times as written.
                const unsigned char* value = sqlite3_column_text(rows, column);
                text.field(value, static_cast<std::size_t>(sqlite3_column_bytes(rows, column)));
            }
            text.endRow();
            ++inBatch;
            if (text.size() >= ChunkBytes) {
                target.putCopy(text.data());
                text.clear();
            }
        }
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
            if (inBatch > 0)
                target.abortCopy();
            source.fail();
        }
        if (inBatch == 0)
            break;
        target.putCopy(text.data());
        text.clear();
        try {
            target.endCopy();
        } catch (const CopyFailure& failure) {
            throw CopyFailure(QStringLiteral("in the batch of rows %1 to %2: %3")
                                  .arg(sent + 1)
                                  .arg(sent + inBatch)
                                  .arg(failure.text()));
        }
        sent += inBatch;
        batchDone(sent);
    }
    return sent;
}

// The names of the schema's indexes ("CREATE INDEX IF NOT EXISTS name ON ...").
QStringList indexNames(const SqlScript& schema)
{
    static const QRegularExpression name(QStringLiteral("^CREATE INDEX IF NOT EXISTS (\\w+)"),
                                         QRegularExpression::CaseInsensitiveOption);
    QStringList names;
    for (const QString& statement : schema.indexes)
        names << name.match(statement).captured(1);
    return names;
}

} // namespace

AuditCopy::AuditCopy(QString sourceFile, Mode mode, qint64 batchRows, Progress progress)
    : m_source(std::move(sourceFile)), m_mode(mode), m_batchRows(qMax<qint64>(1, batchRows)),
      m_progress(std::move(progress))
{
}

void AuditCopy::report(const QString& line, bool passing) const
{
    if (m_progress)
        m_progress(line, passing);
}

AuditCopy::Totals AuditCopy::run(PgSession& target)
{
    // The source first: a file that is not an audit database touches nothing.
    Source source(m_source);
    const qint64 entries = source.count("SELECT COUNT(*) FROM Audit");
    const bool hasWeights =
        source.count("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND "
                     "name = 'weight' COLLATE NOCASE") > 0;
    const qint64 weights = hasWeights ? source.count("SELECT COUNT(*) FROM weight") : 0;
    Source::Statement entryRows =
        source.prepare(QByteArray("SELECT ") + EntryColumns + " FROM Audit ORDER BY AutoIndex");

    const SqlScript schema = SqlScript::read(QStringLiteral(":/sql/audit_schema_postgresql.sql"));
    if (schema.isEmpty())
        throw CopyFailure(QStringLiteral("the PostgreSQL schema resource is missing"));

    target.exec(QStringLiteral("BEGIN"));
    // The schema's indexes are built after the rows where the table starts
    // empty (one sort each, instead of keeping them up to date row by row);
    // an existing schema first gets whatever it lacks.
    const bool newSchema = target.value(QStringLiteral("SELECT to_regclass('audit')")).isEmpty();
    target.exec((newSchema ? schema.tables : schema.tables + schema.indexes).join(u'\n'));
    // Writers wait until the commit, so the counts compared below are exact;
    // readers go on.
    target.exec(QStringLiteral("LOCK TABLE audit, weight IN EXCLUSIVE MODE"));

    const qint64 entriesBefore = target.count(QStringLiteral("SELECT count(*) FROM audit"));
    const qint64 weightsBefore = target.count(QStringLiteral("SELECT count(*) FROM weight"));
    if (m_mode == Mode::IntoEmpty && (entriesBefore > 0 || weightsBefore > 0))
        throw CopyFailure(QStringLiteral("the target already holds %1 entries and %2 weights "
                                         "(to add to them or replace them, see --help)")
                              .arg(entriesBefore)
                              .arg(weightsBefore));
    if (m_mode == Mode::Replace)
        target.exec(QStringLiteral("TRUNCATE audit, weight RESTART IDENTITY"));
    const bool indexesAfter = m_mode != Mode::Append;
    if (indexesAfter && !newSchema)
        target.exec(QStringLiteral("DROP INDEX IF EXISTS %1").arg(indexNames(schema).join(u',')));
    const qint64 base = m_mode == Mode::Append ? entriesBefore : 0;

    // Appended entries take new keys from the identity, in their old order.
    const bool keepKeys = m_mode != Mode::Append;
    const QString copyEntries = QStringLiteral("COPY audit (%1%2) FROM STDIN")
                                    .arg(keepKeys ? QStringLiteral("autoindex, ") : QString(),
                                         QLatin1String(TargetColumns));
    const auto entriesCopied = [&](qint64 done) {
        report(QStringLiteral("%1 of %2 entries copied (%3 %)")
                   .arg(done)
                   .arg(entries)
                   .arg(entries > 0 ? done * 100 / entries : 100),
               done < entries);
    };
    entriesCopied(0);
    const qint64 sent = copyRows(source, entryRows.get(), keepKeys ? 0 : 1, target, copyEntries,
                                 m_batchRows, entriesCopied);

    // Weights go through a staging table: those the target has (same error
    // and application) stay as they are. The rest keep the file's row order,
    // since of two matching rows the older one is used first.
    qint64 weightsAdded = 0;
    if (hasWeights) {
        target.exec(QStringLiteral(
            "CREATE TEMPORARY TABLE copy_weight (n bigint GENERATED ALWAYS AS IDENTITY, "
            "error integer, application citext, weight integer) ON COMMIT DROP"));
        Source::Statement weightRows =
            source.prepare("SELECT error, application, weight FROM weight ORDER BY rowid");
        copyRows(source, weightRows.get(), 0, target,
                 QStringLiteral("COPY copy_weight (error, application, weight) FROM STDIN"),
                 m_batchRows, [](qint64) {});
        weightsAdded = target.exec(QStringLiteral(
            "INSERT INTO weight (error, application, weight) "
            "SELECT c.error, c.application, c.weight FROM copy_weight c WHERE NOT EXISTS "
            "(SELECT 1 FROM weight w WHERE w.error = c.error AND w.application = c.application) "
            "ORDER BY c.n"));
    }

    if (indexesAfter) {
        report(QStringLiteral("building the indexes"), false);
        target.exec(schema.indexes.join(u'\n'));
    }
    target.exec(QStringLiteral("SELECT setval(pg_get_serial_sequence('audit', 'autoindex'), "
                               "COALESCE(MAX(autoindex), 0) + 1, false) FROM audit"));

    const qint64 entriesAfter = target.count(QStringLiteral("SELECT count(*) FROM audit"));
    const qint64 weightsAfter = target.count(QStringLiteral("SELECT count(*) FROM weight"));
    const qint64 weightsExpected = m_mode == Mode::Append ? weightsBefore + weightsAdded : weights;
    if (sent != entries || entriesAfter != base + entries || weightsAfter != weightsExpected)
        throw CopyFailure(QStringLiteral("the row counts differ, nothing was copied: the source "
                                         "holds %1 entries and %2 weights, %3 entries were sent, "
                                         "the target would hold %4 entries (expected %5) and "
                                         "%6 weights (expected %7)")
                              .arg(entries)
                              .arg(weights)
                              .arg(sent)
                              .arg(entriesAfter)
                              .arg(base + entries)
                              .arg(weightsAfter)
                              .arg(weightsExpected));
    // The planner's statistics for the new rows, before anyone reads them.
    report(QStringLiteral("row counts verified; analysing and committing"), false);
    target.exec(QStringLiteral("ANALYZE audit, weight"));
    target.exec(QStringLiteral("COMMIT"));
    return Totals{entries, weightsAdded};
}
