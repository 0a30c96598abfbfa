#include "AppState.h"
#include "AuditDatabase.h"
#include "AuditTestDb.h"
#include "AuditView.h"
#include "ProgramRun.h"
#include "Purge.h"
#include "ReportEngine.h"
#include "Settings.h"
#include "SqlDate.h"
#include "StatementProgress.h"
#include "TestEnvironment.h"
#include "UiHooks.h"
#include "ViewQuery.h"

#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

namespace {

QDateTime at(int dayOffset, int h = 0, int m = 0, int s = 0)
{
    return QDateTime(QDate::currentDate().addDays(dayOffset), QTime(h, m, s), Qt::UTC);
}

// count entries of the levels 0 to 3 in turn, aged firstAge days, then one day
// older each up to days - 1 older, and round again.
QList<AuditEntry> spread(int count, int firstAge, int days)
{
    QList<AuditEntry> entries;
    for (int i = 0; i < count; ++i)
        entries.append(AuditTestDb::entry(i % 4, at(firstAge - i % days)));
    return entries;
}

// The ages the rules care about: first or last moments of days.
const QList<std::pair<QString, QDateTime>> Ages = {
    {"tomorrow", at(1)},        {"today", at(0)}, {"6d", at(-6)},
    {"7d", at(-7, 23, 59, 59)}, {"29d", at(-29)}, {"30d", at(-30, 23, 59, 59)}};

// Entry names "L<level>-<age>" for the levels up to bound at the given ages.
QStringList names(int bound, const QStringList& ages)
{
    QStringList list;
    for (int level = 0; level <= bound; ++level)
        for (const QString& age : ages)
            list.append(QStringLiteral("L%1-%2").arg(level).arg(age));
    list.sort();
    return list;
}

QStringList descriptions(const QList<AuditEntry>& entries)
{
    QStringList list;
    for (const AuditEntry& entry : entries)
        list.append(entry.Description);
    list.sort();
    return list;
}

void loadView(const QString& levels = QStringLiteral("SWEF"))
{
    TestEnvironment::setLevels(levels);
    ViewSortBy1 = QStringLiteral("AutoIndex");
    QVERIFY(BuildViewQuery());
}

// Another program appending count entries "appended-<n>" to a database, one
// commit each, printing n after each; dated now, or in 2003 when old.
struct Appender
{
    Appender(const AuditTestDb& db, int count, bool old)
    {
        if (!db.isServer()) {
            process.start("/usr/bin/python3",
                          {"-c",
                           "import sqlite3, sys\n"
                           "db = sqlite3.connect(sys.argv[1], timeout=30, isolation_level=None)\n"
                           "for n in range(1, int(sys.argv[2]) + 1):\n"
                           "    db.execute(\"INSERT INTO Audit (Level, Error, Description, "
                           "Application, [When]) VALUES (?, 0, ?, 'Appender', \" + sys.argv[3] + "
                           "\")\", (n % 4, 'appended-%d' % n))\n"
                           "    print(n, flush=True)\n",
                           db.path(), QString::number(count),
                           old ? "'2003-01-05 10:00:00'" : "datetime('now')"});
            return;
        }
        QByteArray script;
        for (int n = 1; n <= count; ++n)
            script += QStringLiteral("INSERT INTO audit (level, error, description, application, "
                                     "\"when\") VALUES (%1, 0, 'appended-%2', 'Appender', %3);\n"
                                     "\\echo %2\n")
                          .arg(n % 4)
                          .arg(n)
                          .arg(old ? "'2003-01-05 10:00:00'" : "LOCALTIMESTAMP(0)")
                          .toUtf8();
        process.start("stdbuf", {"-oL", "psql", "-X", "-q", "-v", "ON_ERROR_STOP=1", "-d",
                                 db.path(), "-f", "-"});
        process.write(script);
        process.closeWriteChannel();
    }

    // Reads the running count until it reaches n (or the program stops). Lines
    // may wait in the buffer already (read while events ran): those first,
    // since no new data may come once the program has ended.
    void waitFor(int n)
    {
        for (;;) {
            while (process.canReadLine())
                written = process.readLine().trimmed().toInt();
            if (written >= n || !process.waitForReadyRead(60000))
                return;
        }
    }

    // Whether it ended well; it may have ended while its last lines were read.
    bool ended()
    {
        return (process.state() == QProcess::NotRunning || process.waitForFinished(60000)) &&
               process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    QProcess process;
    int written = 0;
};

// An unattended Audit Detail report of every level into a file, then the
// deletion of what it showed; whether the run succeeded.
bool reportThenDelete(const QString& file)
{
    ReportEngine::Request r;
    r.Destination = 3;
    r.Address = file;
    r.condition.Status = r.condition.Warning = r.condition.Error = r.condition.Fatal = true;
    r.Delete = true;
    UnattendedMode = true;
    const bool ran = ReportEngine(ReportEngine::AuditDetail, r).run() && !RunFailed();
    UnattendedMode = false;
    return ran;
}

} // namespace

// Purging by age and level, alone, beside the viewer and beside another writer;
// the date literals its statements carry, read back and turned into SQLite text.
class tst_Purge : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        AuditView::instance().clear();
        AuditDatabase::instance().close();
        SetBusyPointerHook(nullptr);
        QLocale::setDefault(QLocale::c());
    }

    // The cut-off is the start of the day days - 1 before today, rounded
    // half to even, written as the locale orders a date (month first when
    // the day could not be a month).
    void statement_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("days");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QDate>("today");
        auto row = [](const char* name, const QString& locale, const QString& days, int level,
                      const QString& date, const QDate& today = QDate(2003, 3, 15)) {
            QTest::newRow(name) << locale << days << level << date << today;
        };
        row("7 days, month first", "en_US", "7", 3, "3/9/2003");
        row("0 days: start of tomorrow", "en_US", "0", 3, "3/16/2003");
        row("1 day, status: start of today", "en_US", "1", 0, "3/15/2003");
        row("7.5 rounds -6.5 to -6", "en_US", "7.5", 1, "3/9/2003");
        row("8.5 rounds -7.5 to -8", "en_US", "8.5", 3, "3/7/2003");
        row("day first, decimal comma", "de_DE", "7,5", 3, "9/3/2003");
        row("day first, day over 12", "en_GB", "1", 3, "3/20/2003", QDate(2003, 3, 20));
        row("day first, day 12", "en_GB", "2", 3, "12/1/2003", QDate(2003, 1, 13));
        row("leap day", "en_US", "2", 3, "2/29/2004", QDate(2004, 3, 1));
    }

    void statement()
    {
        QFETCH(QString, locale);
        QFETCH(QString, days);
        QFETCH(int, level);
        QFETCH(QString, date);
        QFETCH(QDate, today);
        QLocale::setDefault(QLocale(locale));
        QCOMPARE(DeleteOldEntriesStatement(days, level, today).value_or("none"),
                 QStringLiteral("DELETE Audit.* FROM Audit WHERE [When] < #%1#  AND Level <= %2")
                     .arg(date)
                     .arg(level));
    }

    void deletes_data()
    {
        QTest::addColumn<QString>("days");
        QTest::addColumn<int>("level");
        QTest::addColumn<QStringList>("deleted");
        QTest::addColumn<int>("error"); // 0: the statement runs
        QTest::newRow("7 days, ALL") << "7" << 3 << names(3, {"7d", "29d", "30d"}) << 0;
        QTest::newRow("0 days, ALL: all of today goes")
            << "0" << 3 << names(3, {"today", "6d", "7d", "29d", "30d"}) << 0;
        QTest::newRow("1 day, Errors") << "1" << 2 << names(2, {"6d", "7d", "29d", "30d"}) << 0;
        QTest::newRow("30 days, Warnings") << "30" << 1 << names(1, {"30d"}) << 0;
        QTest::newRow("days not a number") << "abc" << 3 << QStringList() << 13;
        QTest::newRow("offset beyond 16 bits") << "40000" << 3 << QStringList() << 6;
    }

    // Entries of every level 0 to 4 at every age: exactly the named ones go, in
    // one statement, or nothing runs at all.
    void deletes()
    {
        QFETCH(QString, days);
        QFETCH(int, level);
        QFETCH(QStringList, deleted);
        QFETCH(int, error);
        TestEnvironment env;
        AuditTestDb db;
        QList<AuditEntry> entries;
        for (const auto& [age, when] : Ages)
            for (int l = 0; l <= 4; ++l)
                entries.append(
                    AuditTestDb::entry(l, when, QStringLiteral("L%1-%2").arg(l).arg(age)));
        QVERIFY(db.add(entries) && db.openShared());
        env.recordSqlLog();

        const PurgeResult result = DeleteOldEntries(days, level);
        QCOMPARE(result.error.number, error);
        QCOMPARE(result.ran, error == 0);
        QCOMPARE(result.deleted, deleted.size());
        QStringList kept = descriptions(entries);
        for (const QString& name : deleted)
            kept.removeOne(name);
        QCOMPARE(descriptions(db.entries()), kept);
        QCOMPARE(env.sqlLog(QStringLiteral("jet")).filter("DELETE").size(), error ? 0 : 1);
        QVERIFY(env.messages().isEmpty());
    }

    void waitsForTheView_data()
    {
        QTest::addColumn<QString>("viewLevels"); // "" : the view is not loaded
        QTest::addColumn<int>("oldRows");
        QTest::addColumn<int>("rounds");
        QTest::newRow("nothing deleted: no requery") << "SWEF" << 0 << 0;
        QTest::newRow("view shows every row: one round") << "SWEF" << 3 << 1;
        // The view hides some deleted rows: two requeries that agree end the wait.
        QTest::newRow("view shows a part: two rounds") << "S" << 3 << 2;
        QTest::newRow("view not loaded: no wait") << "" << 3 << 0;
    }

    void waitsForTheView()
    {
        QFETCH(QString, viewLevels);
        QFETCH(int, oldRows);
        QFETCH(int, rounds);
        TestEnvironment env;
        AuditTestDb db;
        QVERIFY(db.add(QList<AuditEntry>{AuditTestDb::entry(0, at(0, 9)),
                                         AuditTestDb::entry(2, at(-1))} +
                       spread(oldRows, -40, 100)) &&
                db.openShared());
        if (!viewLevels.isEmpty())
            loadView(viewLevels);
        QSignalSpy requeries(&AuditView::instance(), &AuditView::reset);

        int waits = 0;
        const PurgeResult result = DeleteOldEntries(QStringLiteral("30"), 3, [&] { ++waits; });
        QCOMPARE(result.deleted, oldRows);
        QCOMPARE(waits, rounds);
        QCOMPARE(requeries.count(), rounds);
        QCOMPARE(db.count(), 2);
        if (rounds > 0)
            QCOMPARE(AuditView::instance().recordCount(), viewLevels == "S" ? 1 : 2);
    }

    // A delete watched by a StatementProgress lets it tick (and the program
    // handle events) while the statement runs, and still deletes every row.
    void progressTicksDuringTheDelete()
    {
        TestEnvironment env;
        AuditTestDb db;
        QVERIFY(db.add(spread(5000, -40, 50)) && db.openShared());
        int ticks = 0;
        PurgeResult result;
        {
            StatementProgress progress(AuditDatabase::instance().connection(), [&ticks] {
                ++ticks;
                QCoreApplication::processEvents();
            }, 0);
            QVERIFY(progress.isActive());
            result = DeleteOldEntries(QStringLiteral("30"), 3);
        }
        QVERIFY(result.ran);
        QCOMPARE(result.deleted, 5000);
        QVERIFY(ticks > 0);
        QCOMPARE(db.count(), 0);
    }

    // Another program appends while the purge deletes: no appended entry is
    // lost and only entries older than the cut-off go.
    void purgeWhileAnotherProgramAppends()
    {
        TestEnvironment env;
        AuditTestDb db;
        QList<AuditEntry> entries;
        for (int i = 0; i < 20000; ++i)
            entries.append(AuditTestDb::entry(i % 4, at(-31 - i % 60, i % 24, i % 60)));
        for (int i = 0; i < 2000; ++i)
            entries.append(AuditTestDb::entry(i % 4, at(-i % 29, i % 24, i % 60)));
        QVERIFY(db.add(entries));
        const QString recent = QStringLiteral("[When] >= '%1'").arg(IsoDateTime(at(-29)));
        const QList<qint64> recentKeys = db.keys(recent);
        QVERIFY(db.openShared());
        loadView();

        // The other program commits one entry at a time and prints the count.
        Appender appender(db, 3000, false);
        appender.waitFor(100);
        int waits = 0;
        const PurgeResult result = DeleteOldEntries(QStringLiteral("30"), 3, [&] {
            ++waits; // each round lets the other program get further
            appender.waitFor(appender.written + 200);
        });
        appender.waitFor(3000);
        QVERIFY(appender.ended());
        QCOMPARE(appender.process.readAllStandardError(), QByteArray());
        QCOMPARE(appender.written, 3000);
        QVERIFY2(result.ran, qPrintable(result.error.description));
        QCOMPARE(result.deleted, 20000);
        QVERIFY(waits <= PurgeMaxWaitRounds);
        QCOMPARE(db.count(QStringLiteral("Application = 'Appender'")), 3000);
        QCOMPARE(db.keys(recent + " AND Application <> 'Appender'"), recentKeys);
        QCOMPARE(db.count(), 2000 + 3000);
    }

    // Another program appends entries the report selects while it runs: each
    // one is either in the report and deleted, or not in it and still there.
    // An entry it did not show that comes to match meanwhile stays too.
    void reportThenDeleteWhileAnotherProgramAppends()
    {
        TestEnvironment env;
        AuditTestDb db;
        QVERIFY(db.add(QList<AuditEntry>{AuditTestDb::entry(4, at(-400), "late match")} +
                       spread(500, -400, 20)) &&
                db.openShared());
        Appender appender(db, 2000, true);
        appender.waitFor(100);
        // Between the report and its deletion, more are appended and one changed.
        bool changed = false;
        QTimer::singleShot(0, [&] {
            appender.waitFor(appender.written + 300);
            changed = db.exec("UPDATE Audit SET Level = 0 WHERE Description = 'late match'");
        });
        const QString report = env.filePath("report.txt");
        QVERIFY(reportThenDelete(report) && changed);
        appender.waitFor(2000);
        QVERIFY(appender.ended());
        QCOMPARE(appender.written, 2000);

        QSet<int> reported;
        const QString text = QString::fromUtf8(ProgramRun::readFile(report));
        for (const auto& match : QRegularExpression("appended-(\\d+)").globalMatch(text))
            reported.insert(match.captured(1).toInt());
        QSet<int> left;
        for (const AuditEntry& e : db.entries("Application = 'Appender'"))
            left.insert(e.Description.mid(9).toInt());
        QVERIFY2(!reported.isEmpty() && reported.size() < 2000, qPrintable(QString::number(reported.size())));
        for (int n = 1; n <= 2000; ++n)
            QVERIFY2(reported.contains(n) != left.contains(n), qPrintable(QString::number(n)));
        QCOMPARE(descriptions(db.entries("Application <> 'Appender'")), QStringList{"late match"});
        QVERIFY(!text.contains("late match"));
    }

    // An unattended run that cannot reach the server named (in quotes) fails in
    // one plain line: libpq's hint on its next line joined, no tab. (The
    // installation's own database is found in tst_startup, a password refused
    // in tst_postgresdialect.)
    void unreachableServerInOneLine()
    {
        TestEnvironment env;
        AuditTestDb db;
        QVERIFY(db.add({AuditTestDb::entry(0, at(-2), "new"), AuditTestDb::entry(1, at(-90), "old")}));
        QVERIFY(ProgramRun::writeSettings(env.filePath("config"), "AutoDeleteDays=30\n"));
        const ProgramRun run = ProgramRun::of(
            {AUDITLOG_EXE, "/SYSTEM", db.root(), "/FATAL", "/UNATTENDED"},
            ProgramRun::environment(env.filePath("config"),
                                    {"AUDITLOG_DATABASE=\"postgresql:///audit?host=/nonexistent/"
                                     "folder&port=5439\""}),
            env.filePath("."));
        QCOMPARE(run.status, 1);
        QCOMPARE(db.count(), 2);
        QCOMPARE(run.errLines.size(), 1);
        QVERIFY2(run.errLines[0].contains("Is the server running") && !run.errLines[0].contains("\\t"),
                 qPrintable(run.errLines[0]));
    }

    // A server connection lost in the middle of a purge or a report-then-delete
    // fails the run in one line, without the driver's warnings, and deletes nothing.
    void lostConnection_data()
    {
        QTest::addColumn<bool>("report");
        QTest::newRow("purge") << false;
        QTest::newRow("report then delete") << true;
    }
    void lostConnection()
    {
        QFETCH(bool, report);
        TestEnvironment env;
        AuditTestDb db;
        if (!db.isServer())
            QSKIP("a database file has no connection to lose");
        QVERIFY(db.add(spread(200, -40, 20)) && db.openShared());
        UnattendedMode = true;
        ClearRunFailure();
        // When the deletion comes, the server ends the program's session.
        auto pid = AuditDatabase::instance().select("SELECT pg_backend_pid()");
        QVERIFY(pid && pid->next());
        const QString session = pid->value(0).toString();
        AuditDatabase::setStatementFault([&](const QString& text) -> std::optional<AuditError> {
            if (text.startsWith("DELETE"))
                AuditTestDb::values(db.path(), "SELECT pg_terminate_backend(" + session + ")");
            return std::nullopt;
        });
        QTest::failOnWarning(QRegularExpression("."));
        const bool ran = report ? reportThenDelete(env.filePath("report.txt"))
                                : DeleteOldEntries(QStringLiteral("30"), 3).ran;
        AuditDatabase::setStatementFault({});
        UnattendedMode = false;
        QVERIFY(!ran);
        QCOMPARE(db.count(), 200);
        QVERIFY2(!RunFailureReason().contains('\n'), qPrintable(RunFailureReason()));
    }

    void autoDelete_data()
    {
        QTest::addColumn<QString>("setting"); // "" : absent
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("default 30") << "" << QStringList{"L0-2d", "L3-29d", "L4-90d"};
        QTest::newRow("7") << "7" << QStringList{"L0-2d", "L4-90d"};
        QTest::newRow("not a number")
            << "abc" << QStringList{"L0-2d", "L2-30d", "L3-29d", "L4-90d"};
    }

    // Every level goes at start; a hand-edited AutoDeleteDays skips the purge,
    // says so, and the run goes on. (Unattended, the run fails with one line:
    // tst_outsideruns, "purge fails".)
    void autoDelete()
    {
        QFETCH(QString, setting);
        TestEnvironment env;
        AuditTestDb db;
        QVERIFY(db.add({AuditTestDb::entry(0, at(-2), "L0-2d"),
                        AuditTestDb::entry(3, at(-29), "L3-29d"),
                        AuditTestDb::entry(2, at(-30, 23, 59, 59), "L2-30d"),
                        AuditTestDb::entry(4, at(-90), "L4-90d")}));
        QVERIFY(db.openShared());
        loadView();
        env.setSetting(SettingKey::AutoDeleteDays, setting);
        QList<bool> busy;
        SetBusyPointerHook([&](bool on) { busy.append(on); });

        QCOMPARE(AutoDeleteOldEntries(), setting != "abc");
        QTEST(descriptions(db.entries()), "kept");
        QCOMPARE(busy, QList<bool>({true, false}));
        QCOMPARE(env.messages().size(), setting == "abc" ? 1 : 0);
        if (setting == "abc")
            QVERIFY(env.messageTexts().at(0).contains("AutoDeleteDays") &&
                    env.messageTexts().at(0).contains("'abc'"));
        QVERIFY(!env.ended() && !RunFailed());
    }

    // Whatever the locale, a literal must read back as the date it was made
    // from: every day of a leap year.
    void literalReadsBackAsItsDate()
    {
        for (const char* locale : {"en_US", "en_GB", "C"}) {
            QLocale::setDefault(QLocale(QString::fromLatin1(locale)));
            for (QDate date(2004, 1, 1); date.year() == 2004; date = date.addDays(1)) {
                const QString text = SqlDateLiteral(QStringLiteral("d"), 0, date);
                const auto read = ReadLocaleDateTime(text);
                QVERIFY2(read && read->date() == date, qPrintable(text + " on " + locale));
            }
        }
    }

    void readLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("expected"); // invalid: not a date
        auto row = [](const char* name, const QString& locale, const QString& text, int y = 0,
                      int m = 0, int d = 0, int h = 0, int min = 0) {
            QTest::newRow(name) << locale << text
                                << (y ? QDateTime(QDate(y, m, d), QTime(h, min), Qt::UTC)
                                      : QDateTime());
        };
        row("month first", "en_US", "3/8/2003", 2003, 3, 8);
        row("day first", "en_GB", "3/8/2003", 2003, 8, 3);
        row("day first swaps impossible month", "en_GB", "3/15/2003", 2003, 3, 15);
        row("dots", "de_DE", "8.3.2003", 2003, 3, 8);
        row("iso", "en_GB", "2003-03-08 08:30", 2003, 3, 8, 8, 30);
        row("pm", "en_US", "1/1/2003 8:15 PM", 2003, 1, 1, 20, 15);
        row("no valid order", "en_US", "13/13/2003");
        row("thirtieth of February", "en_US", "2/30/2003");
    }

    void readLocale()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(locale));
        QTEST(ReadLocaleDateTime(text).value_or(QDateTime()), "expected");
    }
};

QTEST_GUILESS_MAIN(tst_Purge)
#include "tst_purge.moc"
