#include "AppState.h"
#include "AuditDatabase.h"
#include "AuditTestDb.h"
#include "ReportEngine.h"
#include "ReportEngineHooks.h"
#include "ReportLayout.h"
#include "ReportRenderer.h"
#include "SmtpTestServer.h"
#include "TestEnvironment.h"
#include "ZlkApi.h"

#include <QBuffer>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

// Whole report runs on a real database: every destination, the deletion after
// a report, the failures that must leave every entry in place, and a report
// while another program appends entries.
class tst_EngineRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void destinations_data();
    void destinations();
    void printAndPreviewHooks();
    void failuresKeepEntries_data();
    void failuresKeepEntries();
    void mailRun_data();
    void mailRun();
    void mailAddress_data();
    void mailAddress();
    void mailFailureKeepsEntries_data();
    void mailFailureKeepsEntries();
    void concurrentWriterSurvivesDelete();

private:
    ReportEngine::Request request(int16_t destination, bool remove = false) const;
    bool run(const ReportEngine::Kind& kind, const ReportEngine::Request& request);
    QStringList descriptionsIn(const QString& text) const;
    QStringList leftInFolder() const;
    QString readFile(const QString& path) const;

    std::unique_ptr<SmtpTestServer> m_server;
    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<AuditTestDb> m_db;
    QString m_previousFolder;
    QString m_folder; // the current directory during a run
    ReportEngineHooks m_previousHooks;
};

namespace {

const QDate Today(2003, 3, 15);

QDateTime at(int month, int day)
{
    return QDateTime(QDate(2003, month, day), QTime(9, 30));
}

AuditEntry entry(int level, const QDateTime& when, const QString& description)
{
    AuditEntry e = AuditTestDb::entry(level, when, description);
    e.Response = QStringLiteral("Retried");
    e.TaskList = QStringLiteral("Inbound");
    e.Unattended = level == 2;
    return e;
}

// Status and Error older than 30 days: the first and third entry.
const QStringList Selected = {QStringLiteral("old status"), QStringLiteral("old error")};
const QStringList NotSelected = {QStringLiteral("old warning"), QStringLiteral("new fatal"),
                                 QStringLiteral("new status"), QStringLiteral("new error"),
                                 QStringLiteral("level four")};

} // namespace

void tst_EngineRun::initTestCase()
{
    m_server = std::make_unique<SmtpTestServer>();
    QVERIFY2(m_server->isRunning(), qPrintable(m_server->errorString()));
    m_server->installAsMailServer();
    m_previousFolder = QDir::currentPath();
}

void tst_EngineRun::init()
{
    m_env = std::make_unique<TestEnvironment>();
    QVERIFY(m_env->isValid());
    m_db = std::make_unique<AuditTestDb>();
    QVERIFY2(m_db->isValid(), qPrintable(m_db->errorString()));
    QVERIFY2(m_db->add({entry(0, at(1, 10), QStringLiteral("old status")),
                        entry(1, at(1, 11), QStringLiteral("old warning")),
                        entry(2, at(1, 12), QStringLiteral("old error")),
                        entry(3, at(3, 14), QStringLiteral("new fatal")),
                        entry(0, at(3, 14), QStringLiteral("new status")),
                        entry(2, at(3, 14), QStringLiteral("new error")),
                        entry(4, at(1, 1), QStringLiteral("level four"))}),
             qPrintable(m_db->errorString()));
    QVERIFY(m_db->openShared());
    m_folder = m_env->filePath(QStringLiteral("work"));
    QVERIFY(QDir().mkpath(m_folder));
    QVERIFY(QDir::setCurrent(m_folder));
    Zlk::setSystemFolder(m_db->root() + QStringLiteral("SYSTEM"));
    m_previousHooks = ReportEngineHooks::current();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void tst_EngineRun::cleanup()
{
    ReportEngineHooks::install(m_previousHooks);
    qunsetenv("AUDITLOG_PRINT_TO_PDF");
    QDir::setCurrent(m_previousFolder);
    AuditDatabase::instance().close();
    m_db.reset();
    m_env.reset();
}

ReportEngine::Request tst_EngineRun::request(int16_t destination, bool remove) const
{
    ReportEngine::Request r;
    r.Destination = destination;
    r.condition.Status = true;
    r.condition.Error = true;
    r.condition.AgeMode = 1;
    r.condition.Days = 30;
    r.Delete = remove;
    r.SortBy1 = QStringLiteral("When");
    r.SortBy2 = QStringLiteral("User");
    r.SortBy3 = QStringLiteral("AutoIndex");
    return r;
}

bool tst_EngineRun::run(const ReportEngine::Kind& kind, const ReportEngine::Request& request)
{
    ReportEngine engine(kind, request);
    engine.setToday(Today);
    engine.setPrintTime(QDateTime(Today, QTime(10, 0)));
    return engine.run();
}

// The descriptions of the seeded entries that a report text shows.
QStringList tst_EngineRun::descriptionsIn(const QString& text) const
{
    QStringList found;
    for (const QString& d : Selected + NotSelected)
        if (text.contains(d))
            found << d;
    return found;
}

QStringList tst_EngineRun::leftInFolder() const
{
    return QDir(m_folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
}

QString tst_EngineRun::readFile(const QString& path) const
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void tst_EngineRun::destinations_data()
{
    QTest::addColumn<int>("destination");
    QTest::addColumn<bool>("remove");
    QTest::addColumn<bool>("html");

    QTest::newRow("text file") << 3 << false << false;
    QTest::newRow("text file, then delete") << 3 << true << false;
    QTest::newRow("text file is text with HTML on") << 3 << false << true;
    QTest::newRow("print to PDF, then delete") << 0 << true << false;
    QTest::newRow("no output, delete only") << -1 << true << false;
    QTest::newRow("no output, no delete") << -1 << false << false;
}

void tst_EngineRun::destinations()
{
    QFETCH(int, destination);
    QFETCH(bool, remove);
    QFETCH(bool, html);

    HtmlOutput = html;
    const QString out = m_env->filePath(destination == 0 ? "printed.pdf" : "report.txt");
    if (destination == 0)
        qputenv("AUDITLOG_PRINT_TO_PDF", out.toUtf8());
    ReportEngine::Request r = request(int16_t(destination), remove);
    r.Address = destination == 3 ? out : QString();
    QVERIFY(run(ReportEngine::AuditDetail, r));

    QVERIFY2(m_env->messages().isEmpty(), qPrintable(m_env->messageTexts().join('\n')));
    QCOMPARE(leftInFolder(), QStringList());
    QCOMPARE(m_db->count(QStringLiteral("Description IN ('old status', 'old error')")),
             remove ? 0 : 2);
    QCOMPARE(m_db->count(), remove ? 5 : 7);

    if (destination == 3) {
        const QString text = readFile(out);
        QVERIFY(!text.contains(QStringLiteral("<html"), Qt::CaseInsensitive));
        QVERIFY(text.contains(QStringLiteral("Audit Detail Report")));
        QCOMPARE(descriptionsIn(text), Selected);
    } else if (destination == 0) {
        QProcess pdftotext;
        pdftotext.start(QStringLiteral("pdftotext"),
                        {QStringLiteral("-layout"), out, QStringLiteral("-")});
        QVERIFY(pdftotext.waitForFinished());
        QCOMPARE(pdftotext.exitCode(), 0);
        const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
        QVERIFY(text.contains(QStringLiteral("Audit Detail Report")));
        QCOMPARE(descriptionsIn(text), Selected);
    } else {
        QVERIFY(!QFile::exists(out));
    }
}

void tst_EngineRun::printAndPreviewHooks()
{
    // The printer and preview get the bound layout: title, caption, print
    // margins and the selected rows.
    struct Seen
    {
        QString title, caption, text;
        int margins[4] = {};
    };
    auto look = [](ReportLayout& layout, Seen& seen) {
        seen.title = layout.title();
        seen.caption = layout.caption();
        seen.margins[0] = layout.leftMargin();
        seen.margins[1] = layout.topMargin();
        seen.margins[2] = layout.rightMargin();
        seen.margins[3] = layout.bottomMargin();
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        ReportRenderer(layout).writeText(&buffer);
        seen.text = QString::fromUtf8(buffer.data());
    };
    Seen printed, previewed;
    ReportEngineHooks hooks;
    hooks.print = [&](ReportLayout& layout, QString*) {
        look(layout, printed);
        return true;
    };
    hooks.preview = [&](ReportLayout& layout) { look(layout, previewed); };
    ReportEngineHooks::install(hooks);

    QVERIFY(run(ReportEngine::Summary, request(0)));
    QVERIFY(run(ReportEngine::SummaryDetail, request(1)));
    QVERIFY(m_env->messages().isEmpty());

    QCOMPARE(printed.title, QStringLiteral("Audit Log Summary"));
    QCOMPARE(printed.caption, QStringLiteral("Audit Log Summary"));
    QCOMPARE(previewed.title, QStringLiteral("Audit Log Detail Summary"));
    for (int margin : printed.margins)
        QCOMPARE(margin, 720);
    for (int margin : previewed.margins)
        QCOMPARE(margin, 720);
    QCOMPARE(descriptionsIn(printed.text), Selected);
    QCOMPARE(descriptionsIn(previewed.text), Selected);

    // Without a printer hook nothing is printed and nothing deleted.
    ReportEngineHooks::install(ReportEngineHooks());
    QVERIFY(!run(ReportEngine::Summary, request(0, true)));
    QCOMPARE(m_env->messageTexts(),
             QStringList{"Printing is not available in this run: nothing was printed."});
    QCOMPARE(m_db->count(), 7);
}

void tst_EngineRun::failuresKeepEntries_data()
{
    QTest::addColumn<QString>("problem");
    QTest::addColumn<bool>("unattended");
    QTest::addColumn<QString>("message");

    for (bool unattended : {false, true}) {
        const char* mode = unattended ? ", unattended" : "";
        QTest::addRow("no level%s", mode)
            << "no level" << unattended
            << "No report level (Status, Warning, Error or Fatal) was selected: nothing was "
               "reported or deleted.";
        QTest::addRow("unreadable span date%s", mode)
            << "span" << unattended
            << "'1/45/2003' is not a date: nothing was reported or deleted.";
        QTest::addRow("unwritable output file%s", mode)
            << "unwritable" << unattended << "Audit Report Error ";
        QTest::addRow("bad query%s", mode) << "query" << unattended << "Audit Report Error ";
        QTest::addRow("no output file named%s", mode)
            << "no file" << unattended
            << "No output file was named: nothing was reported or deleted.";
    }
}

void tst_EngineRun::failuresKeepEntries()
{
    QFETCH(QString, problem);
    QFETCH(bool, unattended);
    QFETCH(QString, message);

    UnattendedMode = unattended;
    ReportEngine::Request r = request(3, true);
    r.Address = m_env->filePath(QStringLiteral("report.txt"));
    if (problem == QLatin1String("no level")) {
        r.condition.Status = r.condition.Error = false;
    } else if (problem == QLatin1String("span")) {
        r.condition.AgeMode = 3;
        r.condition.SpanStart = QStringLiteral("1/1/2003");
        r.condition.SpanEnd = QStringLiteral("1/45/2003");
    } else if (problem == QLatin1String("unwritable")) {
        r.Address = m_env->filePath(QStringLiteral("no such folder/report.txt"));
    } else if (problem == QLatin1String("query")) {
        r.condition.Query = QStringLiteral("User = 'x");
    } else if (problem == QLatin1String("no file")) {
        r.Address.clear();
    }

    QVERIFY(!run(ReportEngine::Audit, r));
    QCOMPARE(m_db->count(), 7);
    QVERIFY(!QFile::exists(r.Address));
    QCOMPARE(leftInFolder(), QStringList());
    if (unattended) {
        QVERIFY(m_env->messages().isEmpty());
        QVERIFY(RunFailed());
        QVERIFY2(RunFailureReason().startsWith(message), qPrintable(RunFailureReason()));
    } else {
        QCOMPARE(m_env->messages().size(), 1);
        QVERIFY2(m_env->messageTexts().first().startsWith(message),
                 qPrintable(m_env->messageTexts().first()));
        QVERIFY(!RunFailed());
    }
}

void tst_EngineRun::mailRun_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("html");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("expectedSubject");
    QTest::addColumn<QString>("title");

    QTest::newRow("summary, default subject") << 0 << false << ""
                                              << "Velmora Audit Log Summary"
                                              << "Audit Log Summary";
    QTest::newRow("detail summary as HTML") << 1 << true << ""
                                            << "Velmora Audit Log Detail Summary"
                                            << "Audit Log Detail Summary";
    QTest::newRow("audit, given subject") << 2 << false << "Nightly errors"
                                          << "Nightly errors"
                                          << "Audit Report";
    QTest::newRow("audit detail as HTML") << 3 << true << ""
                                          << "Velmora Audit Detail Report"
                                          << "Audit Detail Report";
}

void tst_EngineRun::mailRun()
{
    QFETCH(int, kind);
    QFETCH(bool, html);
    QFETCH(QString, subject);
    QFETCH(QString, expectedSubject);
    QFETCH(QString, title);

    const ReportEngine::Kind* kinds[] = {&ReportEngine::Summary, &ReportEngine::SummaryDetail,
                                         &ReportEngine::Audit, &ReportEngine::AuditDetail};
    UnattendedMode = true;
    HtmlOutput = html;
    ReportEngine::Request r = request(2, true);
    r.Address = QStringLiteral("ops@example.org");
    r.Subject = subject;
    // Large thresholds: the report goes inline.
    r.AttachAtSize = 10000000;
    r.ZipAtSize = 20000000;
    const int before = m_server->messages().size();
    QVERIFY(run(*kinds[kind], r));

    QVERIFY(!RunFailed());
    const auto messages = m_server->messages();
    QCOMPARE(messages.size(), before + 1);
    const SmtpTestServer::Message& m = messages.last();
    QCOMPARE(m.subject, expectedSubject);
    QVERIFY2(m.from.startsWith(QStringLiteral("Velmora Audit Log <")), qPrintable(m.from));
    QCOMPARE(m.envelopeTo, QStringList{QStringLiteral("ops@example.org")});
    QCOMPARE(m.bodyType, html ? QStringLiteral("text/html") : QStringLiteral("text/plain"));
    QVERIFY(m.body.contains(title));
    QCOMPARE(descriptionsIn(m.body), Selected);
    QCOMPARE(leftInFolder(), QStringList());
    QCOMPARE(m_db->count(), 5);
}

void tst_EngineRun::mailAddress_data()
{
    QTest::addColumn<bool>("unattended");
    QTest::addColumn<QString>("remembered"); // MailToAddress before the run
    QTest::addColumn<QString>("typed");      // what the prompt leaves; null: no prompt expected
    QTest::addColumn<QString>("recipient");  // "" : nothing mailed

    QTest::newRow("prompt answered") << false << ""
                                     << "ops@example.org"
                                     << "ops@example.org";
    QTest::newRow("prompt cancelled") << false << "old@example.org"
                                      << ""
                                      << "";
    QTest::newRow("unattended uses remembered address")
        << true << "ops@example.org" << QString() << "ops@example.org";
    QTest::newRow("unattended without any address") << true << "" << QString() << "";
}

void tst_EngineRun::mailAddress()
{
    QFETCH(bool, unattended);
    QFETCH(QString, remembered);
    QFETCH(QString, typed);
    QFETCH(QString, recipient);

    UnattendedMode = unattended;
    MailToAddress = remembered;
    int prompts = 0;
    ReportEngineHooks hooks;
    hooks.askMailAddress = [&] {
        ++prompts;
        MailToAddress = typed;
    };
    ReportEngineHooks::install(hooks);

    const int before = m_server->messages().size();
    const bool done = run(ReportEngine::AuditDetail, request(2, true));
    QCOMPARE(done, !recipient.isEmpty());
    QCOMPARE(prompts, typed.isNull() ? 0 : 1);
    QVERIFY(m_env->messages().isEmpty()); // no recipient ends quietly
    QCOMPARE(leftInFolder(), QStringList());
    if (recipient.isEmpty()) {
        QCOMPARE(m_server->messages().size(), before);
        QCOMPARE(m_db->count(), 7);
        QCOMPARE(RunFailed(), unattended);
    } else {
        QCOMPARE(m_server->messages().size(), before + 1);
        QCOMPARE(m_server->messages().last().envelopeTo, QStringList{recipient});
        QCOMPARE(m_db->count(), 5);
    }
}

void tst_EngineRun::mailFailureKeepsEntries_data()
{
    QTest::addColumn<QString>("problem");
    QTest::addColumn<bool>("unattended");
    QTest::addColumn<QString>("message");

    for (bool unattended : {false, true}) {
        const char* mode = unattended ? ", unattended" : "";
        QTest::addRow("recipient refused%s", mode)
            << "refused" << unattended << "The report could not be mailed to refused@example.org: ";
        QTest::addRow("no server%s", mode)
            << "down" << unattended << "The report could not be mailed to ops@example.org: ";
        QTest::addRow("zip failed%s", mode) << "zip" << unattended << "Zip failed returning: ";
        QTest::addRow("nothing to report%s", mode)
            << "empty" << unattended << "Nothing to report, Aborting the email session";
    }
}

void tst_EngineRun::mailFailureKeepsEntries()
{
    QFETCH(QString, problem);
    QFETCH(bool, unattended);
    QFETCH(QString, message);

    SmtpTestServer::Options options;
    options.rejectRecipients = QStringList{QStringLiteral("refused@example.org")};
    auto server = std::make_unique<SmtpTestServer>(options);
    QVERIFY2(server->isRunning(), qPrintable(server->errorString()));
    const QString url = server->url();
    if (problem == QLatin1String("down"))
        server.reset();
    qputenv("ZLK_SMTP_URL", url.toUtf8());

    UnattendedMode = unattended;
    HtmlOutput = problem == QLatin1String("empty");
    ReportEngine::Request r = request(2, true);
    r.Address = problem == QLatin1String("refused") ? QStringLiteral("refused@example.org")
                                                    : QStringLiteral("ops@example.org");
    if (problem == QLatin1String("zip")) {
        r.ZipAtSize = 1;
        QVERIFY(QDir(m_folder).mkdir(QStringLiteral("AuditRpt.zip")));
    }
    if (problem == QLatin1String("empty"))
        r.condition.Query = QStringLiteral("User = 'nobody'");
    const bool done = run(ReportEngine::Audit, r);
    qputenv("ZLK_SMTP_URL", m_server->url().toUtf8());

    QVERIFY(!done);
    QCOMPARE(m_db->count(), 7);
    if (server)
        QVERIFY(server->messages().isEmpty());
    QDir(m_folder).rmdir(QStringLiteral("AuditRpt.zip"));
    QCOMPARE(leftInFolder(), QStringList());

    const bool isFailure = problem != QLatin1String("empty");
    if (unattended) {
        QVERIFY(m_env->messages().isEmpty());
        QCOMPARE(RunFailed(), isFailure);
        if (isFailure)
            QVERIFY2(RunFailureReason().startsWith(message), qPrintable(RunFailureReason()));
    } else {
        QCOMPARE(m_env->messages().size(), 1);
        QVERIFY2(m_env->messageTexts().first().startsWith(message),
                 qPrintable(m_env->messageTexts().first()));
    }
}

namespace {

// Another program appending entries that the report selects (Status, old),
// on its own connection, as fast as it can until stopped.
class AppendingWriter
{
public:
    explicit AppendingWriter(const QString& connectionString)
        : m_thread([this, connectionString] { run(connectionString); })
    {
    }
    ~AppendingWriter() { stop(); }

    void stop()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }
    // Blocks until the writer has appended count more entries from now on.
    void waitForMore(int count)
    {
        std::unique_lock lock(m_mutex);
        const qsizetype target = m_keys.size() + count;
        m_changed.wait(lock, [&] { return m_keys.size() >= target || !m_error.isEmpty(); });
    }
    QList<qint64> keys()
    {
        std::lock_guard lock(m_mutex);
        return m_keys;
    }
    QString error()
    {
        std::lock_guard lock(m_mutex);
        return m_error;
    }

private:
    void run(const QString& connectionString)
    {
        {
            AuditError error;
            QSqlDatabase db =
                AuditDatabase::openConnection(connectionString, QStringLiteral("writer"), &error);
            QSqlQuery insert(db);
            insert.prepare(QStringLiteral(
                "INSERT INTO Audit (Level, Error, Description, Application, [When], User) "
                "VALUES (0, 7, ?, 'Writer', '2003-01-05 10:00:00', 'writer')"));
            for (int n = 1; n <= 20000; ++n) {
                insert.addBindValue(QStringLiteral("appended-%1").arg(n));
                const bool ok = insert.exec();
                std::lock_guard lock(m_mutex);
                if (!ok)
                    m_error = insert.lastError().text();
                else
                    m_keys.append(insert.lastInsertId().toLongLong());
                m_changed.notify_all();
                if (m_stop || !ok)
                    break;
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("writer"));
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    QList<qint64> m_keys;
    QString m_error;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace

void tst_EngineRun::concurrentWriterSurvivesDelete()
{
    const QString out = m_env->filePath(QStringLiteral("report.txt"));
    ReportEngine::Request r = request(3, true);
    r.Address = out;

    AppendingWriter writer(m_db->connectionString());
    writer.waitForMore(20); // already appending when the report starts
    // Runs when the routine first lets events run: after the report was
    // written and before its deletion. Entries appended then must survive.
    QList<qint64> appendedLate;
    QTimer::singleShot(0, [&] {
        const QList<qint64> before = writer.keys();
        writer.waitForMore(30);
        appendedLate = writer.keys().mid(before.size());
    });
    QVERIFY(run(ReportEngine::Audit, r));
    writer.stop();
    QVERIFY2(writer.error().isEmpty(), qPrintable(writer.error()));
    QVERIFY(appendedLate.size() >= 30);

    const QString text = readFile(out);
    static const QRegularExpression appended(QStringLiteral("appended-(\\d+)"));
    QSet<int> reported;
    for (const auto& match : appended.globalMatch(text))
        reported.insert(match.captured(1).toInt());

    // Every appended entry is either in the report and deleted, or not in
    // the report and still there.
    const QList<qint64> keys = writer.keys();
    const QList<qint64> leftKeys = m_db->keys();
    const QSet<qint64> left(leftKeys.begin(), leftKeys.end());
    for (int n = 1; n <= keys.size(); ++n) {
        const bool inReport = reported.contains(n);
        const bool kept = left.contains(keys.at(n - 1));
        QVERIFY2(inReport != kept, qPrintable(QStringLiteral("appended-%1: in report %2, kept %3")
                                                  .arg(n)
                                                  .arg(inReport)
                                                  .arg(kept)));
    }
    for (qint64 key : appendedLate)
        QVERIFY(left.contains(key));
    QVERIFY(reported.size() >= 20);
    QCOMPARE(descriptionsIn(text), Selected);
    QCOMPARE(m_db->count(QStringLiteral("Description IN ('old status', 'old error')")), 0);
}

QTEST_MAIN(tst_EngineRun)
#include "tst_enginerun.moc"
