// makedemo: creates an audit database from the shipped schema and appends
// realistic entries, as the product's programs would have written them over the
// last 30 calendar days, today included (--days N for another span): the
// viewer's default start-up purge keeps exactly those. One thread makes the
// rows (generateRows, to any sink) while another stores them, 64 to a
// prepared INSERT, in one transaction; for a new file the indexes are built
// after the rows, which is much faster than keeping them up to date row by row
// (measured: a third more processor time with the indexes there first).
// With --postgres the rows are made the same way in a staging file and copied
// into a PostgreSQL database (PgDemoTarget).

#include "DemoRows.h"
#include "PgDemoTarget.h"
#include "SqlScript.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <random>
#include <sqlite3.h>
#include <string>
#include <vector>

using namespace DemoRows;

namespace {

constexpr int DefaultRows = 10000;
// The start-up purge's default age: demo entries stay after a first start.
constexpr int DefaultDays = 30;

struct Failure
{
    QString text;
};

void check(int rc, sqlite3* db, const char* what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw Failure{QStringLiteral("%1: %2").arg(QLatin1String(what),
                                                   QString::fromUtf8(sqlite3_errmsg(db)))};
}

void exec(sqlite3* db, const QString& sql)
{
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        const QString text = QString::fromUtf8(message ? message : sqlite3_errstr(rc));
        sqlite3_free(message);
        throw Failure{text};
    }
}

using Schema = SqlScript;

Schema readSchema()
{
    const Schema schema = SqlScript::read(QStringLiteral(":/sql/audit_schema.sql"));
    if (schema.isEmpty())
        throw Failure{QStringLiteral("the schema resource is missing")};
    return schema;
}

void bindText(sqlite3_stmt* statement, int index, const std::string& text)
{
    sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
}

QDateTime lastEntryTime(sqlite3* db)
{
    sqlite3_stmt* statement = nullptr;
    check(sqlite3_prepare_v2(db, "SELECT MAX([When]) FROM Audit", -1, &statement, nullptr), db,
          "reading the newest entry");
    QDateTime result;
    if (sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_type(statement, 0) == SQLITE_TEXT)
        result = QDateTime::fromString(
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))),
            QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    result.setTimeSpec(Qt::UTC);
    sqlite3_finalize(statement);
    return result;
}

void addWeights(sqlite3* db)
{
    exec(db, QStringLiteral("INSERT INTO weight (error, application, weight) VALUES "
                            "(1001, '*', 1), (1017, 'Communications', 2), "
                            "(2001, 'Translator', 3), (2040, '*', 2), (3001, '*', 3), "
                            "(1030, 'Scheduler', 0);"));
}

// A sink that inserts the rows into Audit, BatchRows at a time through one
// prepared statement of as many VALUES lists (the rest one by one): each
// statement has a cost of its own besides its rows, AUTOINCREMENT's update of
// the key counter among it. Call finish() after the last row.
class SqliteRowSink
{
public:
    static constexpr int BatchRows = 64;

    explicit SqliteRowSink(sqlite3* db)
        : m_db(db), m_batch(prepare(db, BatchRows)), m_single(prepare(db, 1))
    {
        m_rows.reserve(BatchRows);
    }
    ~SqliteRowSink()
    {
        sqlite3_finalize(m_batch);
        sqlite3_finalize(m_single);
    }
    SqliteRowSink(const SqliteRowSink&) = delete;
    SqliteRowSink& operator=(const SqliteRowSink&) = delete;

    void operator()(Row&& row)
    {
        m_rows.push_back(std::move(row));
        if (m_rows.size() == BatchRows)
            insert(m_batch, 0, BatchRows);
    }

    void finish()
    {
        for (size_t i = 0; i < m_rows.size(); ++i)
            insert(m_single, i, 1);
        m_rows.clear();
    }

private:
    static sqlite3_stmt* prepare(sqlite3* db, int rows)
    {
        std::string sql = "INSERT INTO Audit (Level, Error, Description, Application, [When], "
                          "User, Details, Path, Unattended, Response, TaskList) VALUES ";
        for (int i = 0; i < rows; ++i)
            sql += i ? ", (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)" : "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
        sqlite3_stmt* statement = nullptr;
        check(sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr), db,
              "preparing the insert");
        return statement;
    }

    void insert(sqlite3_stmt* statement, size_t from, size_t count)
    {
        for (size_t i = 0; i < count; ++i) {
            const Row& r = m_rows[from + i];
            const int at = static_cast<int>(i) * 11;
            sqlite3_bind_int(statement, at + 1, r.level);
            sqlite3_bind_int(statement, at + 2, r.error);
            bindText(statement, at + 3, r.description);
            bindText(statement, at + 4, r.application);
            bindText(statement, at + 5, r.when);
            bindText(statement, at + 6, r.user);
            bindText(statement, at + 7, r.details);
            bindText(statement, at + 8, r.path);
            sqlite3_bind_int(statement, at + 9, r.unattended);
            bindText(statement, at + 10, r.response);
            bindText(statement, at + 11, r.taskList);
        }
        const int rc = sqlite3_step(statement);
        sqlite3_reset(statement);
        if (rc != SQLITE_DONE)
            check(rc, m_db, "inserting entries");
        if (count == BatchRows)
            m_rows.clear();
    }

    sqlite3* m_db;
    sqlite3_stmt* m_batch;
    sqlite3_stmt* m_single;
    std::vector<Row> m_rows;
};

void removeDatabase(const QString& path)
{
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("makedemo"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Creates a demo audit database and fills it with realistic entries "
                       "spread over the last 30 calendar days, today included."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("path"), QStringLiteral("The database file."));
    parser.addPositionalArgument(QStringLiteral("rows"),
                                 QStringLiteral("Entries to append (default %1).").arg(DefaultRows),
                                 QStringLiteral("[rows]"));
    const QCommandLineOption force(QStringLiteral("force"),
                                   QStringLiteral("Replace an existing file."));
    const QCommandLineOption append(QStringLiteral("append"),
                                    QStringLiteral("Add to an existing database."));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("Seed of the generator (same seed, same rows)."),
                                  QStringLiteral("n"));
    const QCommandLineOption now(QStringLiteral("now"),
                                 QStringLiteral("The time of the newest entry, "
                                                "yyyy-MM-ddTHH:mm:ss (default: now)."),
                                 QStringLiteral("time"));
    const QCommandLineOption days(
        QStringLiteral("days"),
        QStringLiteral("Spread the entries over the last n calendar days, today included "
                       "(default %1, the viewer's default purge age).")
            .arg(DefaultDays),
        QStringLiteral("n"));
    const QCommandLineOption postgres(
        QStringLiteral("postgres"),
        QStringLiteral("Fill this PostgreSQL database (a libpq URI; the password in "
                       "~/.pgpass) instead of a file: same rows, no path."),
        QStringLiteral("uri"));
    parser.addOptions({force, append, seed, now, days, postgres});

    auto usageError = [](const QString& text) {
        std::fprintf(stderr, "makedemo: %s\n", qPrintable(text));
        return 2;
    };
    if (!parser.parse(app.arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    QStringList positional = parser.positionalArguments();
    // A PostgreSQL target: the rows are made in its staging file, then copied.
    std::optional<PgDemoTarget> server;
    if (parser.isSet(postgres)) {
        server.emplace(parser.value(postgres));
        if (const QString problem = server->problem(); !problem.isEmpty())
            return usageError(problem);
        positional.prepend(server->stagingPath());
    }
    if (positional.isEmpty() || positional.size() > 2)
        return usageError(QStringLiteral("usage: makedemo {PATH|--postgres URI} [ROWS] "
                                         "[--force|--append] [--seed N] [--now TIME] [--days N]"));
    const QString path = positional.at(0);
    qint64 rows = DefaultRows;
    if (positional.size() == 2) {
        bool ok = false;
        rows = positional.at(1).toLongLong(&ok);
        if (!ok || rows < 0)
            return usageError(QStringLiteral("'%1' is not a number of rows").arg(positional.at(1)));
    }
    if (parser.isSet(force) && parser.isSet(append))
        return usageError(QStringLiteral("--force and --append exclude each other"));
    quint64 seedValue = std::random_device{}();
    if (parser.isSet(seed)) {
        bool ok = false;
        seedValue = parser.value(seed).toULongLong(&ok);
        if (!ok)
            return usageError(QStringLiteral("'%1' is not a seed").arg(parser.value(seed)));
    }
    int spanDays = DefaultDays;
    if (parser.isSet(days)) {
        bool ok = false;
        spanDays = parser.value(days).toInt(&ok);
        if (!ok || spanDays < 1 || spanDays > 36500)
            return usageError(
                QStringLiteral("'%1' is not a number of days (1 to 36500)").arg(parser.value(days)));
    }
    QDateTime last = QDateTime::currentDateTime();
    if (parser.isSet(now)) {
        last = QDateTime::fromString(parser.value(now), Qt::ISODate);
        if (!last.isValid())
            return usageError(QStringLiteral("'%1' is not a time").arg(parser.value(now)));
    }
    last.setTimeSpec(Qt::UTC); // wall-clock time as written, no daylight-saving gaps

    const bool exists = QFileInfo::exists(path);
    if (exists && !parser.isSet(force) && !parser.isSet(append))
        return usageError(QStringLiteral("%1 exists; use --force to replace it or --append to "
                                         "add to it")
                              .arg(path));
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo(folder).isDir()) {
        std::fprintf(stderr, "makedemo: %s: the folder %s does not exist (make it first)\n",
                     qPrintable(path), qPrintable(folder));
        return 1;
    }
    // A new file is made under a name of its own and renamed into place when
    // complete: a run that fails or is killed leaves no half-made database at
    // the path, and --force keeps the old one until the new one is there.
    const bool fresh = !exists || parser.isSet(force);
    const QString work = fresh ? path + QStringLiteral(".part") : path;
    if (fresh)
        removeDatabase(work);

    QElapsedTimer timer;
    timer.start();
    sqlite3* db = nullptr;
    try {
        const Schema schema = readSchema();
        // One thread uses the connection: no mutex around each of its many binds.
        const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX |
                          (fresh ? SQLITE_OPEN_CREATE : 0);
        const int opened =
            sqlite3_open_v2(QFile::encodeName(work).constData(), &db, flags, nullptr);
        check(opened, db, "opening the database");
        sqlite3_busy_timeout(db, 10000);
        // A new file is written without a journal (nobody else can see it yet, and a
        // failure removes it): every page is written once, not once to the WAL and
        // again to the file. It gets its WAL journal when the rows and indexes are in.
        exec(db, fresh ? QStringLiteral("PRAGMA journal_mode=OFF;")
                       : QStringLiteral("PRAGMA journal_mode=WAL;"));
        // A large page cache for the inserts: pages go to the file in big runs.
        exec(db, QStringLiteral("PRAGMA cache_size=-262144;"));
        if (fresh) {
            exec(db, schema.tables.join(QLatin1Char('\n')));
            addWeights(db);
        } else {
            // An existing file must already be an audit database.
            exec(db, QStringLiteral("SELECT 1 FROM Audit LIMIT 0;"));
        }

        Generator generator(seedValue);
        // From the start of the first of the days: the purge of spanDays days
        // deletes only what is older.
        QDateTime first(last.date().addDays(1 - spanDays), QTime(0, 0), Qt::UTC);
        // Appended entries come after the newest one already there.
        const QDateTime newest = server && parser.isSet(append) ? server->newestEntry()
                                 : fresh                        ? QDateTime()
                                                                : lastEntryTime(db);
        if (newest.isValid() && newest > first)
            first = newest.addSecs(1) > last ? newest : newest.addSecs(1);
        exec(db, QStringLiteral("PRAGMA synchronous=OFF; BEGIN IMMEDIATE;"));
        SqliteRowSink insert(db);
        pipeRows(rows, generator, first, qMax(first, last), std::ref(insert));
        insert.finish();
        exec(db, QStringLiteral("COMMIT;"));
        if (!server) {
            // The cache size also bounds each run that CREATE INDEX sorts in memory
            // before merging the runs from temporary files. The in-memory sort is a
            // merge of linked records, so a run much larger than the processor's
            // cache stalls on memory at every step: 1 MB runs halve the processor
            // time of the six index builds (large ones: 256 MB). Sorter threads
            // only add processor time to them.
            exec(db, QStringLiteral("PRAGMA cache_size=-1024; PRAGMA threads=0;"));
            exec(db, schema.indexes.join(QLatin1Char('\n')));
        }
        if (fresh)
            exec(db, QStringLiteral("PRAGMA journal_mode=WAL;"));
        exec(db, QStringLiteral("PRAGMA synchronous=NORMAL; PRAGMA wal_checkpoint(TRUNCATE);"));
    } catch (const Failure& failure) {
        if (db)
            sqlite3_close(db);
        if (fresh)
            removeDatabase(work);
        std::fprintf(stderr, "makedemo: %s: %s\n", qPrintable(path), qPrintable(failure.text));
        return 1;
    }
    sqlite3_close(db);
    if (fresh) {
        // The old file's journals would be read as the new file's.
        for (const char* suffix : {"-wal", "-shm", "-journal"})
            QFile::remove(path + QLatin1String(suffix));
        if (std::rename(QFile::encodeName(work).constData(), QFile::encodeName(path).constData())) {
            std::fprintf(stderr, "makedemo: %s: cannot rename %s into place: %s\n",
                         qPrintable(path), qPrintable(work), std::strerror(errno));
            removeDatabase(work);
            return 1;
        }
    }
    if (server)
        return server->finish(parser.isSet(force), parser.isSet(append), rows, timer);
    std::printf("makedemo: %lld entries %s %s in %.2f s\n", static_cast<long long>(rows),
                fresh ? "written to" : "appended to", qPrintable(path),
                static_cast<double>(timer.elapsed()) / 1000.0);
    return 0;
}
