// makedemo: creates an audit database from the shipped schema and appends
// realistic entries, as the product's programs would have written them over the
// last 30 calendar days, today included (--days N for another span): the
// viewer's default start-up purge keeps exactly those. One thread makes the
// rows (generateRows, to any sink) while another stores them, 64 to a
// prepared INSERT, in one transaction; for a new file the indexes are built
// after the rows, which is much faster than keeping them up to date row by row.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <array>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <cstdio>
#include <ctime>
#include <random>
#include <sqlite3.h>
#include <string>
#include <vector>

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

// The schema's statements, tables first and indexes apart, so that a new file
// can get its indexes after the rows.
struct Schema
{
    QStringList tables;
    QStringList indexes;
};

Schema readSchema()
{
    QFile file(QStringLiteral(":/sql/audit_schema.sql"));
    if (!file.open(QIODevice::ReadOnly))
        throw Failure{QStringLiteral("the schema resource is missing")};
    QString text;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const qsizetype comment = line.indexOf(QLatin1String("--"));
        text += (comment < 0 ? line : line.left(comment)) + QLatin1Char('\n');
    }
    Schema schema;
    for (const QString& part : text.split(QLatin1Char(';'))) {
        const QString statement = part.trimmed();
        if (statement.isEmpty())
            continue;
        if (statement.startsWith(QLatin1String("CREATE INDEX"), Qt::CaseInsensitive))
            schema.indexes.append(statement + QLatin1Char(';'));
        else
            schema.tables.append(statement + QLatin1Char(';'));
    }
    return schema;
}

// Picks from fixed lists with a seeded generator, so a seed gives the same rows.
class Generator
{
public:
    explicit Generator(quint64 seed) : m_random(seed) {}

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }
    double unit() { return std::uniform_real_distribution<double>(0.0, 1.0)(m_random); }
    template <typename T, size_t N> const T& pick(const std::array<T, N>& list)
    {
        return list[static_cast<size_t>(below(static_cast<int>(N)))];
    }

private:
    std::mt19937_64 m_random;
};

const std::array<const char*, 9> applications = {
    "Translator",    "Communications",  "Mailbox Manager",      "Scheduler",     "Document Manager",
    "Partner Setup", "Archive Manager", "Notification Service", "Import Manager"};
const std::array<const char*, 7> users = {"jsmith", "mgarcia", "akowalski", "lchen",
                                          "rpatel", "SYSTEM",  "edibatch"};
const std::array<const char*, 7> partners = {"ACME Retail",   "Northwind Foods", "Globex Supply",
                                             "Initech Parts", "Umbrella Health", "Stark Logistics",
                                             "Wayne Hardware"};
const std::array<const char*, 7> slugs = {"acme",     "northwind", "globex", "initech",
                                          "umbrella", "stark",     "wayne"};
const std::array<const char*, 6> documents = {"850 Purchase Order",    "810 Invoice",
                                              "856 Ship Notice",       "997 Acknowledgment",
                                              "855 PO Acknowledgment", "820 Payment Order"};
const std::array<const char*, 6> segments = {"BEG", "N1", "PO1", "IT1", "TD5", "CTT"};
const std::array<const char*, 5> responses = {"Operator notified", "Retried automatically",
                                              "Ignored", "Resent to partner", "Escalated"};
const std::array<const char*, 4> taskLists = {
    "Translate;Validate;Route", "Poll;Receive;Acknowledge", "Archive;Purge", "Import;Map;Export"};

struct Row
{
    int level = 0;
    int error = 0;
    std::string description;
    std::string application;
    std::string when;
    std::string user;
    std::string details;
    std::string path;
    int unattended = 0;
    std::string response;
    std::string taskList;
};

std::string format(const char* pattern, auto... values)
{
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, pattern, values...);
    return buffer;
}

// A severity with the weights of a working installation: mostly status
// messages, now and then a fatal error, and very rarely an unknown level 4
// written by an old adapter.
int chooseLevel(Generator& g)
{
    const double u = g.unit();
    if (u < 0.001)
        return 4;
    if (u < 0.02)
        return 3;
    if (u < 0.10)
        return 2;
    if (u < 0.27)
        return 1;
    return 0;
}

// 'YYYY-MM-DD HH:MM:SS' of a UTC time in seconds since 1970, without the
// allocations of a QDateTime text (ten million rows each need one).
std::string isoTime(qint64 seconds)
{
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    return format("%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
}

Row makeRow(Generator& g, qint64 when)
{
    Row r;
    r.level = chooseLevel(g);
    const int partner = g.below(static_cast<int>(partners.size()));
    const char* document = g.pick(documents);
    const int control = 100000 + g.below(900000);
    r.application = g.pick(applications);
    r.user = g.pick(users);
    r.when = isoTime(when);
    r.unattended = (r.user == "SYSTEM" || r.user == "edibatch" || g.below(4) == 0) ? 1 : 0;
    r.path = format("/srv/edi/%s/%s/%09d.x12", g.below(2) ? "inbound" : "outbound",
                    slugs[static_cast<size_t>(partner)], control);
    const char* who = partners[static_cast<size_t>(partner)];

    switch (r.level) {
    case 0:
        r.error = 0;
        switch (g.below(5)) {
        case 0:
            r.description =
                format("Translated %s from %s (%d segments)", document, who, 12 + g.below(400));
            break;
        case 1:
            r.description =
                format("Session with %s completed: %d documents sent", who, 1 + g.below(60));
            break;
        case 2:
            r.description = format("Mailbox polled: %d new documents", g.below(25));
            break;
        case 3:
            r.description = format("Scheduled task '%s' started", g.pick(taskLists));
            break;
        default:
            r.description = format("Archived %d documents older than 90 days", g.below(5000));
            break;
        }
        break;
    case 1:
        r.error = 1001 + g.below(40);
        switch (g.below(4)) {
        case 0:
            r.description =
                format("Duplicate interchange control number %09d from %s", control, who);
            break;
        case 1:
            r.description = format("Acknowledgment overdue for %s sent to %s", document, who);
            break;
        case 2:
            r.description = format("Free space on /srv/edi below %d%%", 5 + g.below(10));
            break;
        default:
            r.description =
                format("Retrying connection to %s (attempt %d of 5)", who, 1 + g.below(5));
            break;
        }
        break;
    case 2:
        r.error = 2001 + g.below(120);
        switch (g.below(4)) {
        case 0:
            r.description = format("Translation failed for %s from %s: segment %s invalid",
                                   document, who, g.pick(segments));
            break;
        case 1:
            r.description = format("Connection to %s refused by the network", who);
            break;
        case 2:
            r.description = format("Cannot write %s: permission denied", r.path.c_str());
            break;
        default:
            r.description = format("No map for %s from %s", document, who);
            break;
        }
        break;
    case 3:
        r.error = 3001 + g.below(10);
        r.description = g.below(2) ? "Document database is damaged; translation stopped"
                                   : "Licence expired: communications disabled";
        break;
    default:
        r.error = 9999;
        r.description = "Unknown severity reported by the legacy adapter";
        break;
    }

    r.details =
        format("Partner: %s\nInterchange: ISA %09d\nGroup: GS %d\nDocument: %s\n"
               "Program: %s, user %s",
               who, control, 1 + g.below(9999), document, r.application.c_str(), r.user.c_str());
    if (r.level >= 2) {
        r.details += format("\nStep failed: %s at element %d", g.pick(segments), 1 + g.below(12));
        r.response = g.pick(responses);
    } else if (g.below(10) == 0) {
        r.response = "None required";
    }
    if (g.below(3) == 0)
        r.taskList = g.pick(taskLists);
    return r;
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

// Each entry, in time order, to a sink. Times rise with the row number, so
// insertion order is time order. The rows depend only on the generator's
// seed, whatever the sink does with them (an SQLite file or another store).
using RowSink = std::function<void(const Row&)>;

void generateRows(qint64 rows, Generator& g, const QDateTime& first, const QDateTime& last,
                  const RowSink& sink)
{
    const qint64 span = qMax<qint64>(0, first.secsTo(last));
    const qint64 start = first.toSecsSinceEpoch();
    for (qint64 i = 0; i < rows; ++i) {
        const double position = (static_cast<double>(i) + g.unit()) / static_cast<double>(rows);
        sink(makeRow(g, start + static_cast<qint64>(position * span)));
    }
}

// generateRows on a thread of its own, handing the rows over in batches to
// the sink on the calling thread: making the texts and storing them take
// about as long as each other, so two cores do both at once.
void pipeRows(qint64 rows, Generator& g, const QDateTime& first, const QDateTime& last,
              const RowSink& sink)
{
    constexpr size_t BatchRows = 4096;
    constexpr size_t MaxBatches = 8;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::vector<Row>> full;
    bool done = false;
    bool stop = false;
    std::thread producer([&] {
        std::vector<Row> batch;
        batch.reserve(BatchRows);
        auto hand = [&] {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return full.size() < MaxBatches || stop; });
            full.push_back(std::move(batch));
            changed.notify_all();
            batch.clear();
            batch.reserve(BatchRows);
            return !stop;
        };
        try {
            generateRows(rows, g, first, last, [&](const Row& row) {
                batch.push_back(row);
                if (batch.size() == BatchRows && !hand())
                    throw Failure{};
            });
            if (!batch.empty())
                hand();
        } catch (const Failure&) {
        }
        std::lock_guard lock(mutex);
        done = true;
        changed.notify_all();
    });
    auto finish = [&] {
        {
            std::lock_guard lock(mutex);
            stop = true;
            changed.notify_all();
        }
        producer.join();
    };
    try {
        for (;;) {
            std::vector<Row> batch;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return !full.empty() || done; });
                if (full.empty())
                    break;
                batch = std::move(full.front());
                full.pop_front();
                changed.notify_all();
            }
            for (const Row& row : batch)
                sink(row);
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
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

    void operator()(const Row& row)
    {
        m_rows.push_back(row);
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
    parser.addOptions({force, append, seed, now, days});

    auto usageError = [](const QString& text) {
        std::fprintf(stderr, "makedemo: %s\n", qPrintable(text));
        return 2;
    };
    if (!parser.parse(app.arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty() || positional.size() > 2)
        return usageError(QStringLiteral("usage: makedemo PATH [ROWS] [--force|--append] "
                                         "[--seed N] [--now TIME] [--days N]"));
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
    if (exists && parser.isSet(force))
        removeDatabase(path);
    const bool fresh = !QFileInfo::exists(path);

    QElapsedTimer timer;
    timer.start();
    sqlite3* db = nullptr;
    try {
        const Schema schema = readSchema();
        const int flags = SQLITE_OPEN_READWRITE | (fresh ? SQLITE_OPEN_CREATE : 0);
        const int opened =
            sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
        check(opened, db, "opening the database");
        sqlite3_busy_timeout(db, 10000);
        // A new file is written without a journal (nobody else can see it yet, and a
        // failure removes it): every page is written once, not once to the WAL and
        // again to the file. It gets its WAL journal when the rows and indexes are in.
        exec(db, fresh ? QStringLiteral("PRAGMA journal_mode=OFF;")
                       : QStringLiteral("PRAGMA journal_mode=WAL;"));
        // A large page cache and a second sorter thread for the index builds.
        exec(db, QStringLiteral("PRAGMA cache_size=-262144; PRAGMA threads=2;"));
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
        if (!fresh) {
            // Appended entries come after the newest one already there.
            const QDateTime newest = lastEntryTime(db);
            if (newest.isValid() && newest > first)
                first = newest.addSecs(1) > last ? newest : newest.addSecs(1);
        }
        exec(db, QStringLiteral("PRAGMA synchronous=OFF; BEGIN IMMEDIATE;"));
        SqliteRowSink insert(db);
        pipeRows(rows, generator, first, qMax(first, last), std::ref(insert));
        insert.finish();
        exec(db, QStringLiteral("COMMIT;"));
        exec(db, schema.indexes.join(QLatin1Char('\n')));
        if (fresh)
            exec(db, QStringLiteral("PRAGMA journal_mode=WAL;"));
        exec(db, QStringLiteral("PRAGMA synchronous=NORMAL; PRAGMA wal_checkpoint(TRUNCATE);"));
    } catch (const Failure& failure) {
        if (db)
            sqlite3_close(db);
        if (fresh)
            removeDatabase(path);
        std::fprintf(stderr, "makedemo: %s: %s\n", qPrintable(path), qPrintable(failure.text));
        return 1;
    }
    sqlite3_close(db);
    std::printf("makedemo: %lld entries %s %s in %.2f s\n", static_cast<long long>(rows),
                fresh ? "written to" : "appended to", qPrintable(path),
                static_cast<double>(timer.elapsed()) / 1000.0);
    return 0;
}
