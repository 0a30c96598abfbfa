#include "AppState.h"
#include "PrivateTempFolder.h"
#include "ReportEngine.h"
#include "ReportRunFixture.h"
#include "ReportTestData.h"
#include "ReportValueFormatter.h"
#include "SqlRowSource.h"

using namespace ReportTestData;

namespace {

// Status and Error older than 30 days on 15 March 2003: the first and third entry.
const QStringList Selected = {"old status", "old error"};
const QStringList NotSelected = {"old warning", "new fatal", "new status", "new error",
                                 "level four"};

// The descriptions of the seeded entries that a report text shows.
QStringList descriptionsIn(const QString& text)
{
    QStringList found;
    for (const QString& d : Selected + NotSelected)
        if (text.contains(d))
            found << d;
    return found;
}

} // namespace

// Whole report runs on a real database: the print and preview hooks, failures
// that must leave every entry in place, the mail address, and row values read
// as bytes printing as the same values read whole. (Runs of the built program
// are in tst_e2ereports.)
class tst_EngineRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        run.startServer();
        SmtpTestServer stopped; // its port is free again once it is gone
        m_closedUrl = stopped.url();
    }

    void init()
    {
        QList<AuditEntry> entries;
        const std::tuple<int, int, int, const char*> rows[] = {
            {0, 1, 10, "old status"}, {1, 1, 11, "old warning"}, {2, 1, 12, "old error"},
            {3, 3, 14, "new fatal"},  {0, 3, 14, "new status"},  {2, 3, 14, "new error"},
            {4, 1, 1, "level four"}};
        for (const auto& [level, month, day, description] : rows)
            entries << AuditTestDb::entry(level, QDateTime(QDate(2003, month, day), QTime(9, 30)),
                                          description);
        run.begin(entries);
        QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    }

    void cleanup() { run.end(); }
    void printAndPreviewHooks();
    void failuresKeepEntries_data();
    void failuresKeepEntries();
    void mailAddress_data();
    void mailAddress();
    void bytesPrintAsValues_data();
    void bytesPrintAsValues();

private:
    ReportRunFixture run;
    QString m_closedUrl; // nobody listens there
};

// The printer and preview get the bound layout: title, caption, print margins
// and the selected rows. Without a printer nothing is printed or deleted.
void tst_EngineRun::printAndPreviewHooks()
{
    QStringList seen;
    auto look = [&seen](ReportLayout& layout) {
        seen << QStringLiteral("%1|%2|%3 %4 %5 %6|%7")
                    .arg(layout.title(), layout.caption())
                    .arg(layout.leftMargin())
                    .arg(layout.topMargin())
                    .arg(layout.rightMargin())
                    .arg(layout.bottomMargin())
                    .arg(descriptionsIn(rendered(layout)).join(", "));
    };
    ReportEngineHooks hooks;
    hooks.print = [&](ReportLayout& layout, QString*) { return look(layout), true; };
    hooks.preview = look;
    ReportEngineHooks::install(hooks);
    QVERIFY(runOn15March(ReportEngine::Summary, oldStatusAndErrors(0)));
    QVERIFY(runOn15March(ReportEngine::SummaryDetail, oldStatusAndErrors(1)));
    const QString bound = QStringLiteral("%1|%1|720 720 720 720|old status, old error");
    QCOMPARE(seen, QStringList({bound.arg("Audit Log Summary"), bound.arg("Audit Log Detail Summary")}));
    QVERIFY(run.env->messages().isEmpty());

    ReportEngineHooks::install(ReportEngineHooks());
    QVERIFY(!runOn15March(ReportEngine::Summary, oldStatusAndErrors(0, true)));
    QCOMPARE(run.env->messageTexts(),
             QStringList{"Printing is not available in this run: nothing was printed."});
    QCOMPARE(run.db->count(), 7);
}

void tst_EngineRun::failuresKeepEntries_data()
{
    QTest::addColumn<QString>("problem");
    QTest::addColumn<bool>("unattended");
    QTest::addColumn<QString>("message"); // how the message or the run's failure starts
    auto row = [](const char* problem, bool unattended, const QString& message) {
        QTest::newRow(problem) << QString::fromLatin1(problem) << unattended << message;
    };
    row("no level", false,
        "No report level (Status, Warning, Error or Fatal) was selected: "
        "nothing was reported or deleted.");
    row("no output file named", true, "No output file was named: nothing was reported or deleted.");
    row("no mail server", false, "The report could not be mailed to ops@example.org: ");
    row("zip failed", true, "Zip failed returning: ");
    row("HTML report without rows", false, "Nothing to report, Aborting the email session");
    row("text report without rows", false, "Nothing to report, Aborting the email session");
}

void tst_EngineRun::failuresKeepEntries()
{
    QFETCH(QString, problem);
    QFETCH(bool, unattended);
    QFETCH(QString, message);
    UnattendedMode = unattended;
    const bool mail = problem != "no level" && problem != "no output file named";
    ReportEngine::Request r = oldStatusAndErrors(mail ? 2 : 3, true);
    r.Address = mail ? "ops@example.org" : run.env->filePath("report.txt");
    if (problem == "no level")
        r.condition.Status = r.condition.Error = false;
    if (problem == "no output file named")
        r.Address.clear();
    if (problem == "no mail server")
        qputenv("ZLK_SMTP_URL", m_closedUrl.toUtf8());
    if (problem == "zip failed") {
        // An abort size below any archive's bound: zipped into a file first.
        r.ZipAtSize = 1;
        r.AbortAttachAtSize = 100;
        QVERIFY(QDir(PrivateTempFolder::path()).mkdir(QStringLiteral("AuditRpt.zip")));
    }
    if (problem.contains("without rows")) {
        HtmlOutput = problem.startsWith("HTML");
        r.condition.Query = QStringLiteral("User = 'nobody'");
    }

    QVERIFY(!runOn15March(ReportEngine::Audit, r));
    QCOMPARE(run.db->count(), 7);
    QCOMPARE(run.server->messages().size(), 0);
    QVERIFY(!QFile::exists(run.env->filePath("report.txt")));
    QDir(PrivateTempFolder::path()).rmdir(QStringLiteral("AuditRpt.zip"));
    QCOMPARE(run.left(), QStringList());
    const QString shown = unattended ? RunFailureReason() : run.env->messageTexts().join('\n');
    QVERIFY2(shown.startsWith(message), qPrintable(shown));
    QCOMPARE(run.env->messages().size(), unattended ? 0 : 1);
    QCOMPARE(RunFailed(), unattended);
}

void tst_EngineRun::mailAddress_data()
{
    QTest::addColumn<bool>("unattended");
    QTest::addColumn<QString>("remembered"); // MailToAddress before the run
    QTest::addColumn<QString>("typed");      // what the prompt leaves; null: no prompt expected
    QTest::addColumn<QString>("recipient");  // "" : nothing mailed
    QTest::newRow("prompt answered") << false << "" << "ops@example.org" << "ops@example.org";
    QTest::newRow("prompt cancelled") << false << "old@example.org" << "" << "";
    QTest::newRow("unattended uses remembered address")
        << true << "ops@example.org" << QString() << "ops@example.org";
    QTest::newRow("unattended without any address") << true << "" << QString() << "";
}

// Without a recipient the run ends quietly: nothing mailed, nothing deleted.
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

    QCOMPARE(runOn15March(ReportEngine::AuditDetail, oldStatusAndErrors(2, true)),
             !recipient.isEmpty());
    QCOMPARE(prompts, typed.isNull() ? 0 : 1);
    QVERIFY(run.env->messages().isEmpty());
    QCOMPARE(run.left(), QStringList());
    QCOMPARE(run.server->messages().size(), recipient.isEmpty() ? 0 : 1);
    QCOMPARE(run.server->messages().value(0).envelopeTo,
             recipient.isEmpty() ? QStringList() : QStringList{recipient});
    QCOMPARE(run.db->count(), recipient.isEmpty() ? 7 : 5);
    QCOMPARE(RunFailed(), unattended && recipient.isEmpty());
}

void tst_EngineRun::bytesPrintAsValues_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("sqlite"); // the value, as an SQLite expression
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("fileOnly"); // a value a server's column cannot hold
    auto row = [](const char* name, const char* column, const char* sqlite, const char* format,
                  bool fileOnly = false) {
        QTest::newRow(name) << column << sqlite << format << fileOnly;
    };
    row("ASCII", "Description", "'plain text'", "");
    row("multi-byte and a pair", "Description", "'Grüße 日本 😀'", "");
    row("invalid UTF-8", "Description", "CAST(X'41FF42C3' AS TEXT)", "", true);
    row("NUL inside", "Description", "CAST(X'410042' AS TEXT)", "", true);
    row("lowest number", "Error", "-9223372036854775807 - 1", "", true);
    row("zero as Yes/No", "Unattended", "0", "Yes/No");
    row("negative as Yes/No", "Unattended", "-3", "Yes/No");
    row("text as Yes/No", "Description", "'no'", "Yes/No");
    row("stored date, picture", "When", "'2003-03-14 21:05:09'", "m/d/yy h:nn AM/PM");
    row("stored date, General Date", "When", "'2003-03-14 21:05:09'", "General Date");
    row("no such day", "When", "'2003-02-30 10:00:00'", "mm/dd/yyyy", true);
    row("number, date format", "Error", "42", "General Date");
}

void tst_EngineRun::bytesPrintAsValues()
{
    QFETCH(QString, column);
    QFETCH(QString, sqlite);
    QFETCH(QString, format);
    QFETCH(bool, fileOnly);
    if (fileOnly && run.db->isServer())
        QSKIP("a server's columns hold valid UTF-8 without NUL, 32-bit numbers and real dates");
    QVERIFY2(run.db->exec(QStringLiteral("UPDATE Audit SET [%1] = %2").arg(column, sqlite)),
             qPrintable(run.db->errorString()));
    SqlRowSource rows(QStringLiteral("SELECT Audit.* FROM Audit ORDER BY [AutoIndex];"));
    QString error;
    QVERIFY2(rows.start(&error), qPrintable(error));
    QVERIFY(rows.next());
    const ReportValueFormatter formatter;
    // A text that shares its buffer must not be written into.
    const QString shared = QString::fromLatin1("a longer text shared with another");
    QString printed = shared;
    formatter.formatField(rows, column, format, printed);
    QCOMPARE(printed, formatter.format(rows.value(column), format));
    QCOMPARE(shared, QStringLiteral("a longer text shared with another"));
    rows.finish();
}

QTEST_MAIN(tst_EngineRun)
#include "tst_enginerun.moc"
