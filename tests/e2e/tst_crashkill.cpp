#include "AuditTestDb.h"
#include "ProgramRun.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

// The built program killed with SIGKILL at random moments of a large report
// with /DELETE and of the start-up purge, many times over, each time on a fresh
// copy of one database. After every kill the database must pass SQLite's
// integrity check and every row that is gone must have been reported (delete)
// or be older than the purge's bound, the purge's rows going all or none.
class tst_CrashKill : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void killAtRandom_data();
    void killAtRandom();

private:
    QTemporaryDir m_folder;
    QString m_template;
    QSet<qint64> m_allKeys;
};

namespace {

// Rows of the template database: a whole report of most of them takes seconds.
constexpr int Rows = 20000;
// Wall time each case spends killing (AUDITLOG_KILL_SECONDS for a longer
// run); the count of kills is what it gets.
const int KillingMs = qEnvironmentVariableIsSet("AUDITLOG_KILL_SECONDS")
                          ? 1000 * qEnvironmentVariableIntValue("AUDITLOG_KILL_SECONDS")
                          : 12000;
// Runs each case makes however slow the machine (a sanitizer build is): the
// whole one and three to kill.
constexpr int MinKillRuns = 4;

} // namespace

void tst_CrashKill::initTestCase()
{
    QVERIFY(m_folder.isValid());
    m_template = m_folder.filePath("template.mdb");
    QCOMPARE(ProgramRun::makeDemo({"--seed", "1", m_template, QString::number(Rows)}), 0);
    m_allKeys = AuditTestDb::keySet(m_template);
    QCOMPARE(m_allKeys.size(), Rows);
}

void tst_CrashKill::killAtRandom_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("autoDeleteDays");
    // Levels 0 and 1 with /DELETE: most of the rows reported, then deleted.
    QTest::newRow("report then delete")
        << QStringList{"/STATUS", "/WARNING", "/DELETE", "/UNATTENDED"} << "30000";
    // A small report after a start-up purge of everything older than 10 days
    // (the demo entries span the last 30).
    QTest::newRow("start-up purge") << QStringList{"/FATAL", "/UNDER", "1", "/UNATTENDED"} << "10";
}

void tst_CrashKill::killAtRandom()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, autoDeleteDays);
    const QString config = m_folder.filePath("config");
    QVERIFY(ProgramRun::writeSettings(config, "AutoDeleteDays=" + autoDeleteDays.toUtf8() + "\n"));
    const QProcessEnvironment env = ProgramRun::environment(config);
    const bool purge = autoDeleteDays != "30000";
    // Rows the purge takes: levels 0 to 3 before the start of the day days - 1 ago.
    const QSet<qint64> purgeable = AuditTestDb::keySet(
        m_template, QStringLiteral("Level <= 3 AND [When] < '%1'")
                        .arg(QDate::currentDate()
                                 .addDays(1 - autoDeleteDays.toInt())
                                 .toString("yyyy-MM-dd")));
    QVERIFY(!purgeable.isEmpty() || !purge);

    // One whole run first: its length bounds the moments of the kills.
    QElapsedTimer clock;
    int kills = 0, cut = 0;
    qint64 wholeRunMs = 0;
    clock.start();
    int n = 0;
    for (; n < MinKillRuns || clock.elapsed() < KillingMs; ++n) {
        const QString root = m_folder.filePath(QStringLiteral("run%1").arg(n));
        const QString db = root + "/SYSTEM/Audit.mdb", report = root + "/report.txt";
        QVERIFY(QDir().mkpath(root + "/SYSTEM") && QFile::copy(m_template, db));
        // A killed run's private temporary folder stays in the run's own folder.
        QProcessEnvironment runEnv = env;
        runEnv.insert("TMPDIR", root);
        QProcess process;
        process.setProcessEnvironment(runEnv);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(AUDITLOG_EXE, QStringList{"/SYSTEM", root, "/FILE", report} + arguments);
        QVERIFY(process.waitForStarted());
        if (n == 0) {
            QElapsedTimer whole;
            whole.start();
            QVERIFY(process.waitForFinished(120000));
            wholeRunMs = whole.elapsed();
            QCOMPARE(process.exitCode(), 0);
        } else {
            // Every other kill falls in the last stretch, where the rows go.
            auto* random = QRandomGenerator::global();
            QTest::qWait(n % 2 ? int(random->bounded(wholeRunMs + 1))
                               : int(wholeRunMs / 2 + random->bounded(wholeRunMs * 45 / 100 + 1)));
            if (process.state() == QProcess::Running) {
                process.kill();
                ++kills;
            }
            process.waitForFinished(10000);
        }

        QVERIFY2(AuditTestDb::values(db, "PRAGMA integrity_check") == QVariantList{"ok"},
                 qPrintable(root));
        const QSet<qint64> missing = m_allKeys - AuditTestDb::keySet(db);
        QVERIFY2(n != 0 || !missing.isEmpty(), "the whole run removed nothing");
        if (!missing.isEmpty()) {
            ++cut;
            const QSet<qint64> expected = purge ? purgeable : ProgramRun::reportedKeys(report);
            QVERIFY2(missing == expected, qPrintable(QStringLiteral("%1: %2 gone, %3 expected")
                                                         .arg(root)
                                                         .arg(missing.size())
                                                         .arg(expected.size())));
        }
        QDir(root).removeRecursively();
    }
    qInfo("%d runs, %d killed, in %lld ms (a whole run %lld ms); %d got as far as deleting", n, kills,
          clock.elapsed(), wholeRunMs, cut);
    QVERIFY(kills > 0);
}

QTEST_GUILESS_MAIN(tst_CrashKill)
#include "tst_crashkill.moc"
