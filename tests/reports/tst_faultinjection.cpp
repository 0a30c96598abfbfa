#include "AppState.h"
#include "AuditDatabase.h"
#include "AuditTestDb.h"
#include "ProgramRun.h"
#include "Purge.h"
#include "ReportTestData.h"
#include "TestEnvironment.h"
#include "UiHooks.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

// Failures injected at the one place statements run, at each step of a
// report-then-delete and of a purge: a failing statement and a busy database.
// Every run must report the failure, and the entries must be either all there
// or exactly the reported ones gone. Then a real full disk under the built
// program: a small tmpfs in a private mount namespace holds the database.
class tst_FaultInjection : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void eachStep_data();
    void eachStep();
    void fullDisk_data();
    void fullDisk();

private:
    // The statements a clean run makes, then one run per statement with that
    // one failing; returns the failures injected.
    int injectAtEachStep(const std::function<bool()>& operation, const AuditError& fault,
                         const std::function<void(bool ok, const QString& at)>& check);

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<AuditTestDb> m_db;
};

namespace {

const QStringList Selected = {"old status", "old error"};

void seed(AuditTestDb& db)
{
    QList<AuditEntry> entries;
    const std::tuple<int, int, const char*> rows[] = {
        {0, 1, "old status"}, {1, 1, "old warning"}, {2, 1, "old error"}, {0, 3, "new status"}};
    for (const auto& [level, month, description] : rows)
        entries << AuditTestDb::entry(level, QDateTime(QDate(2003, month, 10), QTime(9, 30)),
                                      description);
    QVERIFY2(db.add(entries), qPrintable(db.errorString()));
}

QStringList descriptions(const AuditTestDb& db)
{
    QStringList found;
    for (const AuditEntry& e : db.entries())
        found << e.Description;
    return found;
}

} // namespace

void tst_FaultInjection::init()
{
    m_env = std::make_unique<TestEnvironment>();
    UnattendedMode = true;
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
}

void tst_FaultInjection::cleanup()
{
    AuditDatabase::setStatementFault({});
    AuditDatabase::instance().close();
    m_db.reset();
    m_env.reset();
}

int tst_FaultInjection::injectAtEachStep(const std::function<bool()>& operation,
                                         const AuditError& fault,
                                         const std::function<void(bool, const QString&)>& check)
{
    QStringList statements;
    for (int step = -1; step < statements.size(); ++step) {
        AuditDatabase::instance().close();
        m_db = std::make_unique<AuditTestDb>();
        seed(*m_db);
        if (!m_db->openShared())
            return -1;
        ClearRunFailure();
        int seen = 0;
        QString at;
        AuditDatabase::setStatementFault([&](const QString& sqlite) -> std::optional<AuditError> {
            if (step < 0)
                statements << sqlite;
            if (seen++ != step)
                return std::nullopt;
            at = sqlite;
            return fault;
        });
        const bool ok = operation();
        AuditDatabase::setStatementFault({});
        if (step >= 0)
            check(ok, at);
        if (QTest::currentTestFailed())
            return -1;
    }
    return int(statements.size());
}

void tst_FaultInjection::eachStep_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("description");
    QTest::newRow("failing statement") << 1 << "injected: SQL logic error";
    QTest::newRow("busy database") << 5 << "injected: database is locked";
}

void tst_FaultInjection::eachStep()
{
    QFETCH(int, number);
    QFETCH(QString, description);
    const AuditError fault{number, description};
    const QString report = m_env->filePath("report.txt");
    const QStringList all = {"old status", "old warning", "old error", "new status"};

    const auto reportThenDelete = [&] {
        QFile::remove(report);
        ReportEngine::Request r = ReportTestData::oldStatusAndErrors(3, true);
        r.Address = report;
        return ReportTestData::runOn15March(ReportEngine::AuditDetail, r) && !RunFailed();
    };
    const int reportSteps = injectAtEachStep(reportThenDelete, fault, [&](bool ok, const QString& at) {
        QVERIFY2(!ok && RunFailureReason().contains(description),
                 qPrintable(QStringLiteral("unreported failure of %1: %2").arg(at, RunFailureReason())));
        const QStringList left = descriptions(*m_db);
        if (left == all)
            return;
        const QString text = QString::fromUtf8(ProgramRun::readFile(report));
        for (const QString& d : Selected)
            QVERIFY2(!left.contains(d) && text.contains(d), qPrintable(d + " after a failure of " + at));
        QCOMPARE(left.size(), all.size() - Selected.size());
    });
    QVERIFY(reportSteps > 1);

    // The purge: everything from 2003 is older than 30 days.
    const int purgeSteps = injectAtEachStep(
        [] { return DeleteOldEntries(QStringLiteral("30"), 4).ran; }, fault,
        [&](bool ok, const QString& at) {
            QVERIFY2(!ok, qPrintable("purge ran despite a failure of " + at));
            QCOMPARE(descriptions(*m_db), all);
        });
    QVERIFY(purgeSteps > 0);
    qInfo("%d faults injected into a report-then-delete, %d into a purge", reportSteps, purgeSteps);
}

// (A report file on a full disk is a failed write like any other: tst_outputfile
// and tst_renderpdf, and in a run of the program tst_e2ereports.)
void tst_FaultInjection::fullDisk_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("report then delete") << QStringList{"/STATUS", "/ERROR", "/DELETE", "/UNATTENDED"};
    QTest::newRow("start-up purge") << QStringList{"/FATAL", "/UNATTENDED"};
}

void tst_FaultInjection::fullDisk()
{
    QFETCH(QStringList, arguments);
    if (QProcess::execute("unshare", {"-m", "true"}) != 0)
        QSKIP("no private mount namespace here (needs root)");
    const QString demo = m_env->filePath("demo.mdb");
    QCOMPARE(ProgramRun::makeDemo({"--seed", "2", demo, "3000"}), 0);
    QStringList all;
    for (const QVariant& v : AuditTestDb::values(demo, "SELECT AutoIndex FROM Audit"))
        all << v.toString();
    // The purge has rows to take: the demo entries span the last 30 days.
    QVERIFY(ProgramRun::writeSettings(m_env->filePath("config"),
                                      arguments.contains("/DELETE") ? "AutoDeleteDays=30000\n"
                                                                    : "AutoDeleteDays=1\n"));

    // The tmpfs gets the database with 40 KB to spare; the report goes elsewhere.
    // The database is read back inside the namespace, before the tmpfs goes.
    const QString root = m_env->filePath("small"), disk = m_env->filePath("disk");
    const QString report = disk + "/report.txt", dump = m_env->filePath("left.txt");
    QVERIFY(QDir().mkpath(root) && QDir().mkpath(disk));
    const QString script =
        QStringLiteral("mount -t tmpfs -o size=%1k none \"$0\" && mkdir -p \"$0/SYSTEM\" && "
                       "cp \"$1\" \"$0/SYSTEM/Audit.mdb\" && shift && \"$@\"; s=$?; "
                       "sqlite3 \"$0/SYSTEM/Audit.mdb\" 'PRAGMA integrity_check; SELECT AutoIndex "
                       "FROM Audit' > \"%2\"; exit $s")
            .arg(QFileInfo(demo).size() / 1024 + 40)
            .arg(dump);
    const QStringList command{"unshare", "-m",         "sh",    "-c",    script, root,
                              demo,      AUDITLOG_EXE, "/SYSTEM", root, "/FILE", report};
    const ProgramRun r =
        ProgramRun::of(command + arguments, ProgramRun::environment(m_env->filePath("config")), disk);
    const QString err = r.errLines.join('\n');
    QStringList left = QString::fromUtf8(ProgramRun::readFile(dump)).split('\n', Qt::SkipEmptyParts);
    QVERIFY2(!left.isEmpty() && left.takeFirst() == "ok", qPrintable(err));
    // Whatever the status, nothing may be lost: all rows there, or the run
    // said it succeeded and the report holds what went.
    if (left != all) {
        QCOMPARE(r.status, 0);
        const QSet<qint64> reported = ProgramRun::reportedKeys(report);
        for (const QString& key : all)
            if (!left.contains(key) && !arguments.contains("/FATAL"))
                QVERIFY2(reported.contains(key.toLongLong()), qPrintable(key + " gone unreported"));
    } else {
        QVERIFY2(r.status == 1 && !err.isEmpty(), qPrintable(QString::number(r.status) + err));
    }
    qInfo("status %d, %lld of %lld rows left: %s", r.status, qsizetype(left.size()),
          qsizetype(all.size()), qPrintable(err));
}

QTEST_MAIN(tst_FaultInjection)
#include "tst_faultinjection.moc"
