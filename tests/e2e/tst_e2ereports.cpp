#include "AuditTestDb.h"
#include "SmtpTestServer.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

// The built program producing unattended reports from real command lines: a
// database under a temporary installation root, settings in a temporary
// XDG_CONFIG_HOME, mail to a real SMTP server on loopback.
class tst_E2eReports : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void fileReports_data();
    void fileReports();
    void printToPdf();
    void deleteRemovesExactlyTheReported_data();
    void deleteRemovesExactlyTheReported();
    void mailThresholds_data();
    void mailThresholds();
    void htmlMail();
    void nothingToReport();
    void failures_data();
    void failures();

private:
    struct Run
    {
        int status = -1;
        QString out;
        QString err;
    };
    Run run(const QStringList& arguments, const QProcessEnvironment& extra = {});
    QString readFile(const QString& path) const;
    QStringList folderContents() const;
    QStringList keysLeft() const;

    std::unique_ptr<SmtpTestServer> m_server;
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<AuditTestDb> m_db;
    QStringList m_allKeys;
};

namespace {

// Descriptions in the order the default sort (When, User, AutoIndex) prints
// the entries of /STATUS /ERROR /OVER 10.
const QStringList Reported = {QStringLiteral("old status one"), QStringLiteral("old error two"),
                              QStringLiteral("old error six")};
const QStringList NotReported = {QStringLiteral("old warning three"),
                                 QStringLiteral("new fatal four"),
                                 QStringLiteral("new status five")};
const QStringList Selection = {QStringLiteral("/STATUS"), QStringLiteral("/ERROR"),
                               QStringLiteral("/OVER"), QStringLiteral("10")};

QStringList capture(const QString& text, const QString& pattern)
{
    QStringList found;
    const QRegularExpression re(pattern, QRegularExpression::MultilineOption);
    for (auto it = re.globalMatch(text); it.hasNext();)
        found << it.next().captured(1);
    return found;
}

// The known descriptions in the order a text shows them.
QStringList descriptionsIn(const QString& text)
{
    QList<std::pair<qsizetype, QString>> found;
    for (const QString& d : Reported + NotReported) {
        const qsizetype at = text.indexOf(d);
        if (at >= 0)
            found.append({at, d});
    }
    std::sort(found.begin(), found.end());
    QStringList result;
    for (const auto& [at, d] : found)
        result << d;
    return result;
}

} // namespace

void tst_E2eReports::initTestCase()
{
    QVERIFY(QFileInfo(QStringLiteral(AUDITLOG_EXE)).isExecutable());
    m_server = std::make_unique<SmtpTestServer>();
    QVERIFY2(m_server->isRunning(), qPrintable(m_server->errorString()));
}

void tst_E2eReports::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir(m_folder->path()).mkpath(QStringLiteral("config")));
    QVERIFY(QDir(m_folder->path()).mkpath(QStringLiteral("work")));
    m_db = std::make_unique<AuditTestDb>();
    QVERIFY(m_db->isValid());

    const QDate today = QDate::currentDate();
    auto entry = [&](int level, int daysAgo, int hour, const QString& description,
                     const QString& user) {
        AuditEntry e = AuditTestDb::entry(level, QDateTime(today.addDays(-daysAgo), QTime(hour, 0)),
                                          description);
        e.User = user;
        e.Error = 4000 + level;
        e.Unattended = level == 2;
        e.Response = QStringLiteral("None");
        e.TaskList = QStringLiteral("Inbound");
        return e;
    };
    QVERIFY2(
        m_db->add({entry(0, 15, 8, QStringLiteral("old status one"), QStringLiteral("alice")),
                   entry(2, 15, 9, QStringLiteral("old error two"), QStringLiteral("bob")),
                   entry(1, 15, 10, QStringLiteral("old warning three"), QStringLiteral("alice")),
                   entry(3, 1, 8, QStringLiteral("new fatal four"), QStringLiteral("bob")),
                   entry(0, 1, 9, QStringLiteral("new status five"), QStringLiteral("carol")),
                   entry(2, 14, 7, QStringLiteral("old error six"), QStringLiteral("carol"))}),
        qPrintable(m_db->errorString()));
    m_allKeys.clear();
    for (qint64 key : m_db->keys())
        m_allKeys << QString::number(key);
}

void tst_E2eReports::cleanup()
{
    m_db.reset();
    m_folder.reset();
}

tst_E2eReports::Run tst_E2eReports::run(const QStringList& arguments,
                                        const QProcessEnvironment& extra)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_folder->filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("ZLK_SMTP_URL"), m_server->url());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("AUDITLOG_PRINT_TO_PDF"));
    env.insert(extra);

    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(m_folder->filePath(QStringLiteral("work")));
    QStringList all{QStringLiteral("/SYSTEM"), m_db->root()};
    all << arguments << QStringLiteral("/UNATTENDED");
    process.start(QStringLiteral(AUDITLOG_EXE), all);
    Run result;
    if (!process.waitForFinished(60000))
        return result;
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString tst_E2eReports::readFile(const QString& path) const
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList tst_E2eReports::folderContents() const
{
    return QDir(m_folder->filePath(QStringLiteral("work")))
        .entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
}

QStringList tst_E2eReports::keysLeft() const
{
    QStringList keys;
    for (qint64 key : m_db->keys())
        keys << QString::number(key);
    return keys;
}

void tst_E2eReports::fileReports_data()
{
    QTest::addColumn<QStringList>("kind");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("keyPattern"); // captures each row's AutoIndex, in order

    QTest::newRow("audit detail") << QStringList() << "Audit Detail Report"
                                  << "^\\s+Error:\\s+\\d+\\s+AutoIndex:\\s+(\\d+)$";
    QTest::newRow("audit") << QStringList{"/NODETAIL"} << "Audit Report"
                           << "^   (\\d+)$";
    QTest::newRow("summary detail") << QStringList{"/SUMMARY"} << "Audit Log Detail Summary"
                                    << "^\\s+Error:\\s+\\d+\\s+AutoIndex:\\s+(\\d+)$";
    QTest::newRow("summary") << QStringList{"/SUMMARY", "/NODETAIL"} << "Audit Log Summary"
                             << "^\\s+\\|\\s*(\\d+)\\s*\\|";
}

void tst_E2eReports::fileReports()
{
    QFETCH(QStringList, kind);
    QFETCH(QString, title);
    QFETCH(QString, keyPattern);

    const QString out = m_folder->filePath(QStringLiteral("report.txt"));
    const Run r = run(Selection + kind + QStringList{"/FILE", out});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.status, 0);

    const QString text = readFile(out);
    const QStringList lines = text.split('\n');
    // The page header: date and time, the title, the page count, on one line.
    const QRegularExpression header(
        QStringLiteral("^\\s*\\d.*\\d\\d:\\d\\d.*\\S\\s{3,}%1\\s{3,}Page 1 of 1$")
            .arg(QRegularExpression::escape(title)));
    QVERIFY2(header.match(lines.value(0)).hasMatch(), qPrintable(lines.value(0)));
    QCOMPARE(text.count(QStringLiteral("Page 1 of")), 1);
    QVERIFY(!text.contains(QStringLiteral("<html"), Qt::CaseInsensitive));

    // Exactly the selected entries, in the sort order, each once.
    QCOMPARE(descriptionsIn(text), Reported);
    for (const QString& d : Reported)
        QCOMPARE(text.count(d), 1);
    const QList<qint64> all = m_db->keys();
    QCOMPARE(capture(text, keyPattern),
             QStringList({QString::number(all.at(0)), QString::number(all.at(1)),
                          QString::number(all.at(5))}));
    QCOMPARE(keysLeft(), m_allKeys);
    QCOMPARE(folderContents(), QStringList());
}

void tst_E2eReports::printToPdf()
{
    const QString pdf = m_folder->filePath(QStringLiteral("printed.pdf"));
    QProcessEnvironment extra;
    extra.insert(QStringLiteral("AUDITLOG_PRINT_TO_PDF"), pdf);
    const Run r = run(Selection + QStringList{"/NODETAIL", "/PRINT"}, extra);
    QCOMPARE(r.err, QString());
    QCOMPARE(r.status, 0);

    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"),
                    {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QVERIFY(pdftotext.waitForFinished());
    QCOMPARE(pdftotext.exitCode(), 0);
    const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
    QVERIFY(text.contains(QStringLiteral("Audit Report")));
    QVERIFY(text.contains(QStringLiteral("Page 1 of 1")));
    QCOMPARE(descriptionsIn(text), Reported);
    QCOMPARE(keysLeft(), m_allKeys);
}

void tst_E2eReports::deleteRemovesExactlyTheReported_data()
{
    QTest::addColumn<QStringList>("destination");
    QTest::newRow("after a text file") << QStringList{"/FILE", "report.txt"};
    QTest::newRow("after a mail") << QStringList{"/EMAIL", "ops@example.org"};
    QTest::newRow("without a report") << QStringList();
}

void tst_E2eReports::deleteRemovesExactlyTheReported()
{
    QFETCH(QStringList, destination);

    const int mails = m_server->messages().size();
    const Run r = run(Selection + destination + QStringList{"/DELETE"});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.status, 0);

    const QList<qint64> all = m_db->keys(); // what is left
    QCOMPARE(m_db->count(), 3);
    QStringList left;
    for (const AuditEntry& e : m_db->entries())
        left << e.Description;
    QCOMPARE(left, QStringList({"old warning three", "new fatal four", "new status five"}));
    QCOMPARE(m_server->messages().size(), mails + (destination.value(0) == "/EMAIL" ? 1 : 0));
    if (destination.value(0) == "/FILE")
        QCOMPARE(folderContents(), QStringList{"report.txt"});
    else
        QCOMPARE(folderContents(), QStringList());
}

void tst_E2eReports::mailThresholds_data()
{
    QTest::addColumn<int>("attachDelta"); // ATTACH_OVER = report size + delta
    QTest::addColumn<int>("zipDelta");    // ZIP_OVER = size + delta
    QTest::addColumn<int>("abortDelta");  // ABORT_ATTACH_OVER = size + delta
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("expected");

    QTest::newRow("one byte under attach: inline") << 1 << 1000 << 1000 << ""
                                                   << "inline";
    QTest::newRow("exactly attach: attached") << 0 << 1000 << 1000 << ""
                                              << "attached";
    QTest::newRow("exactly abort: still attached") << 0 << 1000 << 0 << "Nightly audit"
                                                   << "attached";
    QTest::newRow("one byte over abort: aborted") << 0 << 1000 << -1 << ""
                                                  << "aborted";
    QTest::newRow("exactly zip: zipped") << -10 << 0 << 1000 << "Zipped audit"
                                         << "zipped";
}

void tst_E2eReports::mailThresholds()
{
    QFETCH(int, attachDelta);
    QFETCH(int, zipDelta);
    QFETCH(int, abortDelta);
    QFETCH(QString, subject);
    QFETCH(QString, expected);

    // The size of this report as text: the mail renders the same text.
    const QString probe = m_folder->filePath(QStringLiteral("probe.txt"));
    QCOMPARE(run(Selection + QStringList{"/FILE", probe}).status, 0);
    const qint64 size = QFileInfo(probe).size();
    QVERIFY(size > 1000);

    QStringList arguments = Selection;
    arguments << "/EMAIL"
              << "ops@example.org"
              << "/ATTACH_OVER" << QString::number(size + attachDelta) << "/ZIP_OVER"
              << QString::number(size + zipDelta) << "/ABORT_ATTACH_OVER"
              << QString::number(size + abortDelta);
    if (!subject.isEmpty())
        arguments << "/SUBJECT" << subject;
    const int before = m_server->messages().size();
    const Run r = run(arguments);
    QCOMPARE(r.err, QString());
    QCOMPARE(r.status, 0);

    const auto messages = m_server->messages();
    QCOMPARE(messages.size(), before + 1);
    const SmtpTestServer::Message& m = messages.last();
    QVERIFY2(m.from.startsWith(QStringLiteral("Velmora Audit Log <")), qPrintable(m.from));
    QCOMPARE(m.envelopeTo, QStringList{QStringLiteral("ops@example.org")});
    QCOMPARE(m.subject,
             subject.isEmpty() ? QStringLiteral("Velmora Audit Detail Report") : subject);

    if (expected == QLatin1String("inline")) {
        QVERIFY(m.attachments.isEmpty());
        QCOMPARE(m.bodyType, QStringLiteral("text/plain"));
        QVERIFY(m.body.contains(QStringLiteral("Audit Detail Report")));
        QCOMPARE(descriptionsIn(m.body), Reported);
    } else if (expected == QLatin1String("aborted")) {
        QVERIFY(m.attachments.isEmpty());
        QCOMPARE(m.body.trimmed(), QStringLiteral("Attachment aborted as it exceeded size limit"));
    } else if (expected == QLatin1String("attached")) {
        QCOMPARE(m.attachments.size(), 1);
        QCOMPARE(m.attachments.first().fileName, QStringLiteral("AuditDetailRpt.txt"));
        QCOMPARE(m.attachments.first().data.size(), size);
        QCOMPARE(descriptionsIn(QString::fromUtf8(m.attachments.first().data)), Reported);
    } else {
        QCOMPARE(m.attachments.size(), 1);
        QCOMPARE(m.attachments.first().fileName, QStringLiteral("AuditDetailRpt.zip"));
        const QString zip = m_folder->filePath(QStringLiteral("received.zip"));
        QFile file(zip);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(m.attachments.first().data);
        file.close();
        QProcess unzip;
        unzip.start(QStringLiteral("unzip"), {QStringLiteral("-t"), zip});
        QVERIFY(unzip.waitForFinished());
        QVERIFY2(unzip.exitCode() == 0, unzip.readAllStandardOutput().constData());
        unzip.start(QStringLiteral("unzip"),
                    {QStringLiteral("-p"), zip, QStringLiteral("AuditDetailRpt.txt")});
        QVERIFY(unzip.waitForFinished());
        const QByteArray report = unzip.readAllStandardOutput();
        QCOMPARE(report.size(), size);
        QCOMPARE(descriptionsIn(QString::fromUtf8(report)), Reported);
    }
    QCOMPARE(folderContents(), QStringList());
    QCOMPARE(keysLeft(), m_allKeys);
}

void tst_E2eReports::htmlMail()
{
    const int before = m_server->messages().size();
    const Run r =
        run(Selection + QStringList{"/SUMMARY", "/NODETAIL", "/HTML", "/EMAIL", "ops@example.org",
                                    "/ATTACH_OVER", "10000000", "/ZIP_OVER", "20000000"});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.status, 0);
    const auto messages = m_server->messages();
    QCOMPARE(messages.size(), before + 1);
    const SmtpTestServer::Message& m = messages.last();
    QCOMPARE(m.subject, QStringLiteral("Velmora Audit Log Summary"));
    QCOMPARE(m.bodyType, QStringLiteral("text/html"));
    QCOMPARE(m.body.count(QStringLiteral("class=\"report-row\"")), 3);
    QCOMPARE(descriptionsIn(m.body), Reported);
    QCOMPARE(folderContents(), QStringList());
}

void tst_E2eReports::nothingToReport()
{
    // No old fatal entries: the HTML report has no rows, so nothing is
    // mailed and nothing deleted, and the run did its work.
    const int before = m_server->messages().size();
    const Run r = run({"/FATAL", "/OVER", "10", "/HTML", "/EMAIL", "ops@example.org", "/DELETE"});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.status, 0);
    QCOMPARE(m_server->messages().size(), before);
    QCOMPARE(keysLeft(), m_allKeys);
    QCOMPARE(folderContents(), QStringList());
}

void tst_E2eReports::failures_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("line"); // the start of the one line on standard error

    QTest::newRow("no level") << QStringList{"/OVER", "10", "/FILE", "report.txt", "/DELETE"}
                              << "auditlog: No report level";
    QTest::newRow("unreadable span date")
        << QStringList{"/STATUS",    "/SPAN_START", "1\\45\\2003", "/SPAN_END",
                       "2\\1\\2003", "/DELETE",     "/FILE",       "report.txt"}
        << "auditlog: '1/45/2003' is not a date";
    QTest::newRow("unwritable output file")
        << (Selection + QStringList{"/FILE", "/nonexistent folder/report.txt", "/DELETE"})
        << "auditlog: Audit Report Error ";
    QTest::newRow("recipient refused")
        << (Selection + QStringList{"/EMAIL", "refused@example.org", "/DELETE"})
        << "auditlog: The report could not be mailed to refused@example.org: ";
    QTest::newRow("bad query") << (Selection + QStringList{"/QUERY", "User = 'x", "/FILE",
                                                           "report.txt", "/DELETE"})
                               << "auditlog: Audit Report Error ";
}

void tst_E2eReports::failures()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, line);

    SmtpTestServer::Options options;
    options.rejectRecipients = QStringList{QStringLiteral("refused@example.org")};
    SmtpTestServer refusing(options);
    QVERIFY2(refusing.isRunning(), qPrintable(refusing.errorString()));
    QProcessEnvironment extra;
    extra.insert(QStringLiteral("ZLK_SMTP_URL"), refusing.url());

    const Run r = run(arguments, extra);
    QCOMPARE(r.status, 1);
    QCOMPARE(r.err.count('\n'), 1);
    QVERIFY2(r.err.startsWith(line), qPrintable(r.err));
    QCOMPARE(keysLeft(), m_allKeys);
    QCOMPARE(folderContents(), QStringList());
    QVERIFY(refusing.messages().isEmpty());
}

QTEST_GUILESS_MAIN(tst_E2eReports)
#include "tst_e2ereports.moc"
