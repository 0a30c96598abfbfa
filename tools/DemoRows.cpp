#include "DemoRows.h"

#include <condition_variable>
#include <cstring>
#include <ctime>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace DemoRows {

namespace {

// Ends the generating thread when the sink has stopped taking rows.
struct Stopped
{
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

// One value for format(): a text or a number.
struct Arg
{
    Arg(const char* text) : text(text) {}
    Arg(int number) : number(number) {}
    const char* text = nullptr;
    long long number = 0;
};

// printf's %s, %d, %0Nd and %% without its cost per call (a string stream set
// up for each text, the larger part of making a row): same texts.
std::string formatArgs(const char* pattern, std::initializer_list<Arg> args)
{
    std::string out;
    out.reserve(std::strlen(pattern) + 48);
    const Arg* arg = args.begin();
    for (const char* p = pattern; *p; ++p) {
        if (*p != '%') {
            out += *p;
            continue;
        }
        if (*++p == '%') {
            out += '%';
            continue;
        }
        int width = 0;
        while (*p >= '0' && *p <= '9')
            width = width * 10 + (*p++ - '0');
        if (*p == 's') {
            out += arg++->text;
            continue;
        }
        // 'd': zeros up to the width, after a sign.
        const long long value = arg++->number;
        unsigned long long rest = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                            : static_cast<unsigned long long>(value);
        char digits[24];
        int count = 0;
        do {
            digits[count++] = static_cast<char>('0' + rest % 10);
            rest /= 10;
        } while (rest);
        if (value < 0)
            out += '-';
        out.append(static_cast<size_t>(qMax(0, width - count - (value < 0 ? 1 : 0))), '0');
        while (count)
            out += digits[--count];
    }
    return out;
}

std::string format(const char* pattern, auto... values)
{
    return formatArgs(pattern, {Arg(values)...});
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

} // namespace

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
            generateRows(rows, g, first, last, [&](Row&& row) {
                batch.push_back(std::move(row));
                if (batch.size() == BatchRows && !hand())
                    throw Stopped{};
            });
            if (!batch.empty())
                hand();
        } catch (const Stopped&) {
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
            for (Row& row : batch)
                sink(std::move(row));
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

} // namespace DemoRows
