#include "AuditTestDb.h"
#include "ProgramCase.h"
#include "SmtpTestServer.h"

#include <QDir>
#include <QRegularExpression>
#include <QtTest>

namespace {

// Descriptions in the order the default sort (When, User, AutoIndex) prints
// the entries of /STATUS /ERROR /OVER 10.
const QStringList Reported = {"old status one", "old error two", "old error six"};
const QStringList NotReported = {"old warning three", "new fatal four", "new status five"};
const QStringList Selection = {"/STATUS", "/ERROR", "/OVER", "10"};

QStringList capture(const QString& text, const QString& pattern)
{
    QStringList found;
    for (const auto& match :
         QRegularExpression(pattern, QRegularExpression::MultilineOption).globalMatch(text))
        found << match.captured(1);
    return found;
}

// The known descriptions in the order a text shows them.
QStringList descriptionsIn(const QString& text)
{
    QMap<qsizetype, QString> found;
    for (const QString& d : Reported + NotReported)
        if (text.contains(d))
            found.insert(text.indexOf(d), d);
    return found.values();
}

} // namespace

// The built program producing unattended reports from real command lines: a
// database under a temporary installation root, settings in a temporary
// XDG_CONFIG_HOME, mail to a real SMTP server on loopback.
class tst_E2eReports : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_server = std::make_unique<SmtpTestServer>();
        QVERIFY2(m_server->isRunning(), qPrintable(m_server->errorString()));
    }

    void init()
    {
        m_db = std::make_unique<AuditTestDb>();
        m_case = std::make_unique<ProgramCase>();
        m_case->setRoot(m_db->root());
        QVERIFY(QDir().mkpath(m_case->path("out"))); // the test's own files
        QList<AuditEntry> entries;
        const std::tuple<int, int, int, const char*, const char*> rows[] = {
            {0, 15, 8, "old status one", "alice"},     {2, 15, 9, "old error two", "bob"},
            {1, 15, 10, "old warning three", "alice"}, {3, 1, 8, "new fatal four", "bob"},
            {0, 1, 9, "new status five", "carol"},     {2, 14, 7, "old error six", "carol"}};
        for (const auto& [level, daysAgo, hour, description, user] : rows) {
            AuditEntry e = AuditTestDb::entry(
                level, QDateTime(QDate::currentDate().addDays(-daysAgo), QTime(hour, 0)),
                description);
            e.User = user;
            e.Error = 4000 + level;
            e.Response = QStringLiteral("None");
            entries << e;
        }
        QVERIFY2(m_db->add(entries), qPrintable(m_db->errorString()));
        m_allKeys = m_db->keys();
    }

    void fileReports_data()
    {
        QTest::addColumn<QStringList>("kind");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("keyPattern"); // captures each row's AutoIndex, in order

        QTest::newRow("audit detail") << QStringList() << "Audit Detail Report"
                                      << "^\\s+Error:\\s+\\d+\\s+AutoIndex:\\s+(\\d+)$";
        QTest::newRow("audit, text with /HTML")
            << QStringList{"/NODETAIL", "/HTML"} << "Audit Report"
            << "^   (\\d+)$";
        QTest::newRow("summary detail") << QStringList{"/SUMMARY"} << "Audit Log Detail Summary"
                                        << "^\\s+Error:\\s+\\d+\\s+AutoIndex:\\s+(\\d+)$";
        QTest::newRow("summary") << QStringList{"/SUMMARY", "/NODETAIL"} << "Audit Log Summary"
                                 << "^\\s+\\|\\s*(\\d+)\\s*\\|";
        QTest::newRow("audit, printed to PDF")
            << QStringList{"/NODETAIL", "/PRINT"} << "Audit Report"
            << "^\\s+(\\d+)$";
    }

    void fileReports()
    {
        QFETCH(QStringList, kind);
        QFETCH(QString, title);
        QFETCH(QString, keyPattern);

        const bool printed = kind.contains("/PRINT");
        const QString out = m_case->path(printed ? "out/printed.pdf" : "out/report.txt");
        const ProgramRun r = printed ? run(Selection + kind, out)
                                     : run(Selection + kind + QStringList{"/FILE", out});
        QCOMPARE(r.errLines, QStringList());
        QCOMPARE(r.status, 0);

        const QString text = QString::fromUtf8(
            printed ? tool({"pdftotext", "-layout", out, "-"}).out : ProgramRun::readFile(out));
        const QStringList lines = text.split('\n');
        // The page header: date and time, the title, the page count, on one line.
        const QRegularExpression header(QStringLiteral("^\\s*\\S+ \\d{1,2}:\\d\\d(?::\\d\\d)?(?: "
                                                       "?[AaPp][Mm])?\\s{3,}%1\\s{3,}Page 1 of 1$")
                                            .arg(QRegularExpression::escape(title)));
        QVERIFY2(header.match(lines.value(0)).hasMatch(), qPrintable(lines.value(0)));
        QCOMPARE(text.count(QStringLiteral("Page 1 of")), 1);
        QVERIFY(!text.contains(QStringLiteral("<html"), Qt::CaseInsensitive));

        // Exactly the selected entries, in the sort order, each once.
        QCOMPARE(descriptionsIn(text), Reported);
        QCOMPARE(capture(text, keyPattern),
                 QStringList({QString::number(m_allKeys.at(0)), QString::number(m_allKeys.at(1)),
                              QString::number(m_allKeys.at(5))}));
        QCOMPARE(m_db->keys(), m_allKeys);
        QCOMPARE(folderContents(), QStringList());
    }

    void mailThresholds_data()
    {
        QTest::addColumn<int>("attachDelta"); // ATTACH_OVER = report size + delta
        QTest::addColumn<int>("zipDelta");    // ZIP_OVER = size + delta
        QTest::addColumn<int>("abortDelta");  // ABORT_ATTACH_OVER = size + delta
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("expected");
        auto row = [](const char* name, int attach, int zip, int abort, const QString& subject,
                      const QString& expected) {
            QTest::newRow(name) << attach << zip << abort << subject << expected;
        };
        row("one byte under attach: inline", 1, 1000, 1000, "Nightly audit", "inline");
        row("one byte over abort: aborted", 0, 1000, -1, "", "aborted");
        row("exactly zip: zipped", -10, 0, 1000, "Zipped audit", "zipped");
    }

    // Each size keyword reaches the mail (its boundaries are in tst_enginemail): the
    // report mailed inline, zipped or aborted, with the subject given or the default one.
    void mailThresholds()
    {
        QFETCH(int, attachDelta);
        QFETCH(int, zipDelta);
        QFETCH(int, abortDelta);
        QFETCH(QString, subject);
        QFETCH(QString, expected);

        // The size of this report as text: the mail renders the same text.
        const QString probe = m_case->path("out/probe.txt");
        QCOMPARE(run(Selection + QStringList{"/FILE", probe}).status, 0);
        const qint64 size = QFileInfo(probe).size();
        QVERIFY(size > 1000);
        QStringList arguments = Selection + QStringList{"/EMAIL", "ops@example.org"};
        for (const auto& [keyword, delta] :
             {std::pair("/ATTACH_OVER", attachDelta), std::pair("/ZIP_OVER", zipDelta),
              std::pair("/ABORT_ATTACH_OVER", abortDelta)})
            arguments << keyword << QString::number(size + delta);
        if (!subject.isEmpty())
            arguments << "/SUBJECT" << subject;
        const int before = m_server->messages().size();
        const ProgramRun r = run(arguments);
        QCOMPARE(r.errLines, QStringList());
        QCOMPARE(r.status, 0);

        QCOMPARE(m_server->messages().size(), before + 1);
        const SmtpTestServer::Message m = m_server->messages().last();
        QVERIFY2(m.from.startsWith(QStringLiteral("Velmora Audit Log <")), qPrintable(m.from));
        QCOMPARE(m.envelopeTo, QStringList{QStringLiteral("ops@example.org")});
        QCOMPARE(m.subject,
                 subject.isEmpty() ? QStringLiteral("Velmora Audit Detail Report") : subject);
        QCOMPARE(m.attachments.size(), expected == "zipped" ? 1 : 0);
        QByteArray report = m.body.toUtf8();
        if (expected == "aborted")
            QCOMPARE(m.body.trimmed(),
                     QStringLiteral("Attachment aborted as it exceeded size limit"));
        if (expected == "zipped") {
            QCOMPARE(m.attachments.first().fileName, QStringLiteral("AuditDetailRpt.zip"));
            const QString zip = m_case->path("out/received.zip");
            QVERIFY(ProgramRun::writeFile(zip, m.attachments.first().data));
            QCOMPARE(tool({"unzip", "-t", zip}).status, 0);
            report = tool({"unzip", "-p", zip, "AuditDetailRpt.txt"}).out;
            QCOMPARE(report.size(), size);
        }
        if (expected != "aborted") {
            QVERIFY(report.contains("Audit Detail Report"));
            QCOMPARE(descriptionsIn(QString::fromUtf8(report)), Reported);
        }
        QCOMPARE(folderContents(), QStringList());
        QCOMPARE(m_db->keys(), m_allKeys);
    }

    // /DELETE takes exactly the reported entries, after a mail or without a
    // report; a run that fails, or has nothing to report, deletes nothing.
    void deletes_data()
    {
        ProgramCase::addColumns();
        QTest::addColumn<QStringList>("left"); // descriptions, in AutoIndex order
        QTest::addColumn<int>("mails");
        const QStringList all = {"old status one", "old error two",   "old warning three",
                                 "new fatal four", "new status five", "old error six"};
        auto row = [&](const char* name, const QStringList& arguments, const char* line,
                       const QStringList& left, int mails = 0) {
            ProgramCase::newRow(
                name, QStringList{"/SYSTEM", "%ROOT"} + arguments + QStringList{"/UNATTENDED"},
                *line ? 1 : 0, line)
                << left << mails;
        };
        const QStringList deleted = {"old warning three", "new fatal four", "new status five"};
        row("after a mail", Selection + QStringList{"/EMAIL", "ops@example.org", "/DELETE"}, "",
            deleted, 1);
        row("without a report", Selection + QStringList{"/DELETE"}, "", deleted);
        // No old fatal entries: the HTML report has no rows, so nothing is
        // mailed and nothing deleted, and the run did its work (status 0).
        row("nothing to report",
            {"/FATAL", "/OVER", "10", "/HTML", "/EMAIL", "ops@example.org", "/DELETE"}, "", all);
        row("unreadable span date",
            {"/STATUS", "/SPAN_START", "1\\45\\2003", "/SPAN_END", "2\\1\\2003", "/DELETE", "/FILE",
             "report.txt"},
            "auditlog: '1/45/2003' is not a date", all);
        // The print run's PDF (AUDITLOG_PRINT_TO_PDF) names the database here.
        row("printed over the database", Selection + QStringList{"/PRINT", "/DELETE"},
            "*is the audit database", all);
        row("bad query",
            Selection + QStringList{"/QUERY", "NoSuchColumn = 1", "/FILE", "report.txt", "/DELETE"},
            "auditlog: Audit Report Error ", all);
    }

    void deletes()
    {
        const int mails = m_server->messages().size();
        m_case->runRow(environment(m_case->database()));
        QStringList left;
        for (const AuditEntry& e : m_db->entries())
            left << e.Description;
        QTEST(left, "left");
        QTEST(int(m_server->messages().size() - mails), "mails");
        QCOMPARE(folderContents(), QStringList());
    }

private:
    // The program with /SYSTEM, the arguments and /UNATTENDED.
    ProgramRun run(const QStringList& arguments, const QString& pdf = QString())
    {
        return m_case->run(QStringList{"/SYSTEM", "%ROOT"} + arguments + QStringList{"/UNATTENDED"},
                           environment(pdf));
    }

    QStringList environment(const QString& pdf = QString()) const
    {
        return {"ZLK_SMTP_URL=" + m_server->url(), "AUDITLOG_PRINT_TO_PDF=" + pdf};
    }

    ProgramRun tool(const QStringList& command) const
    {
        return ProgramRun::of(command, QProcessEnvironment::systemEnvironment(), m_case->path("."));
    }

    // What the runs left in their working folder beside the settings, the
    // (unused) root and the test's own files.
    QStringList folderContents() const
    {
        QStringList left =
            QDir(m_case->path(".")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
        return left.filter(QRegularExpression("^(?!(config|root|out)$)"));
    }

    std::unique_ptr<SmtpTestServer> m_server;
    std::unique_ptr<AuditTestDb> m_db;
    std::unique_ptr<ProgramCase> m_case;
    QList<qint64> m_allKeys;
};

QTEST_GUILESS_MAIN(tst_E2eReports)
#include "tst_e2ereports.moc"
