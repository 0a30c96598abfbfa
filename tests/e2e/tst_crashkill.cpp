#include "AuditTestDb.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
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
    struct Trial
    {
        QString root;
        QString db;
        QString report;
    };
    Trial freshCopy(int n) const;
    QProcess* start(const Trial& trial, const QStringList& arguments) const;

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

QSet<qint64> keysIn(const QString& db, const QString& where = QString())
{
    QSet<qint64> keys;
    const QString sql = QStringLiteral("SELECT AutoIndex FROM Audit") +
                        (where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where);
    for (const QVariant& v : AuditTestDb::values(db, sql))
        keys.insert(v.toLongLong());
    return keys;
}

// The AutoIndex values a detail text report shows.
QSet<qint64> reportedKeys(const QString& report)
{
    QFile file(report);
    QSet<qint64> keys;
    if (!file.open(QIODevice::ReadOnly))
        return keys;
    static const QRegularExpression shown(QStringLiteral("AutoIndex:\\s+([\\d,.]+)"));
    for (const auto& m : shown.globalMatch(QString::fromUtf8(file.readAll())))
        keys.insert(m.captured(1).remove(QRegularExpression(QStringLiteral("[,.]"))).toLongLong());
    return keys;
}

} // namespace

void tst_CrashKill::initTestCase()
{
    QVERIFY(m_folder.isValid());
    m_template = m_folder.filePath("template.mdb");
    QProcess makedemo;
    makedemo.start(MAKEDEMO_EXE, {"--seed", "1", "--days", "120", m_template, QString::number(Rows)});
    QVERIFY(makedemo.waitForFinished(120000));
    QCOMPARE(makedemo.exitCode(), 0);
    m_allKeys = keysIn(m_template);
    QCOMPARE(m_allKeys.size(), Rows);
    // Settings of every run: the start-up purge only where a case asks for it.
    QDir().mkpath(m_folder.filePath("config/Velmora"));
    QFile settings(m_folder.filePath("config/Velmora/Audit Log Viewer.conf"));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("[General]\nAutoDeleteDays=30000\n");
}

tst_CrashKill::Trial tst_CrashKill::freshCopy(int n) const
{
    Trial t;
    t.root = m_folder.filePath(QStringLiteral("run%1").arg(n));
    QDir(t.root).removeRecursively();
    QDir().mkpath(t.root + "/SYSTEM");
    t.db = t.root + "/SYSTEM/Audit.mdb";
    t.report = t.root + "/report.txt";
    QFile::copy(m_template, t.db);
    return t;
}

QProcess* tst_CrashKill::start(const Trial& trial, const QStringList& arguments) const
{
    auto* process = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", m_folder.filePath("config"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    process->setProcessEnvironment(env);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(AUDITLOG_EXE, QStringList{"/SYSTEM", trial.root} + arguments);
    return process;
}

void tst_CrashKill::killAtRandom_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("autoDeleteDays");
    // Levels 0 and 1 with /DELETE: most of the rows reported, then deleted.
    QTest::newRow("report then delete")
        << QStringList{"/STATUS", "/WARNING", "/FILE", "report.txt", "/DELETE", "/UNATTENDED"}
        << "30000";
    // A small report after a start-up purge of everything older than 30 days.
    QTest::newRow("start-up purge")
        << QStringList{"/FATAL", "/UNDER", "1", "/FILE", "report.txt", "/UNATTENDED"} << "30";
}

void tst_CrashKill::killAtRandom()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, autoDeleteDays);
    QFile settings(m_folder.filePath("config/Velmora/Audit Log Viewer.conf"));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("[General]\nAutoDeleteDays=" + autoDeleteDays.toUtf8() + "\n");
    settings.close();
    const bool purge = autoDeleteDays != "30000";
    // Rows the purge takes: levels 0 to 3 before the start of the day 29 days ago.
    const QString old = QStringLiteral("Level <= 3 AND [When] < '%1'").arg(
        QDate::currentDate().addDays(-29).toString("yyyy-MM-dd"));
    const QSet<qint64> purgeable = keysIn(m_template, old);
    QVERIFY(!purgeable.isEmpty());

    // One whole run first: its length bounds the moments of the kills.
    QElapsedTimer clock;
    int kills = 0, cut = 0;
    qint64 wholeRunMs = 0;
    clock.start();
    int n = 0;
    for (; n < MinKillRuns || clock.elapsed() < KillingMs; ++n) {
        const Trial trial = freshCopy(n);
        QStringList withReport = arguments;
        withReport.replaceInStrings(QRegularExpression("^report.txt$"), trial.report);
        std::unique_ptr<QProcess> process(start(trial, withReport));
        QVERIFY(process->waitForStarted());
        if (n == 0) {
            QElapsedTimer whole;
            whole.start();
            QVERIFY(process->waitForFinished(120000));
            wholeRunMs = whole.elapsed();
            QCOMPARE(process->exitCode(), 0);
        } else {
            // Every other kill falls in the last stretch, where the rows go.
            auto* random = QRandomGenerator::global();
            QTest::qWait(n % 2 ? int(random->bounded(wholeRunMs + 1))
                               : int(wholeRunMs / 2 + random->bounded(wholeRunMs * 45 / 100 + 1)));
            if (process->state() == QProcess::Running) {
                process->kill();
                ++kills;
            }
            process->waitForFinished(10000);
        }

        const QVariantList check = AuditTestDb::values(trial.db, "PRAGMA integrity_check");
        QVERIFY2(check == QVariantList{"ok"}, qPrintable(trial.root));
        const QSet<qint64> missing = m_allKeys - keysIn(trial.db);
        if (missing.isEmpty()) {
            QVERIFY2(n != 0, "the whole run removed nothing");
            QDir(trial.root).removeRecursively();
            continue;
        }
        ++cut;
        if (purge) {
            QVERIFY2(missing == purgeable, qPrintable(QStringLiteral("%1: %2 of %3 purgeable rows gone")
                                                          .arg(trial.root)
                                                          .arg(missing.size())
                                                          .arg(purgeable.size())));
        } else {
            const QSet<qint64> reported = reportedKeys(trial.report);
            QVERIFY2(missing == reported, qPrintable(QStringLiteral("%1: %2 gone, %3 reported")
                                                         .arg(trial.root)
                                                         .arg(missing.size())
                                                         .arg(reported.size())));
        }
        QDir(trial.root).removeRecursively();
    }
    qInfo("%d runs, %d killed, in %lld ms (a whole run %lld ms); %d got as far as deleting", n, kills,
          clock.elapsed(), wholeRunMs, cut);
    QVERIFY(kills > 0);
}

QTEST_GUILESS_MAIN(tst_CrashKill)
#include "tst_crashkill.moc"
