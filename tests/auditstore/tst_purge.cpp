#include "AppState.h"
#include "AuditDatabase.h"
#include "AuditTestDb.h"
#include "AuditView.h"
#include "Purge.h"
#include "Settings.h"
#include "SqlDate.h"
#include "TestEnvironment.h"
#include "ViewQuery.h"

#include <QLocale>
#include <QMutex>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUuid>
#include <QWaitCondition>
#include <QtTest>

// Purging by age and level: the statement, which rows go, the wait for the
// viewer's view, a purge while another program appends, and the start-up purge.
class tst_Purge : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void statement_data();
    void statement();
    void badDays_data();
    void badDays();
    void deletes_data();
    void deletes();
    void waitsForTheView_data();
    void waitsForTheView();
    void failedStatement();
    void purgeWhileAnotherProgramAppends();
    void autoDelete_data();
    void autoDelete();
};

namespace {

const QDate today = QDate::currentDate();

QDateTime at(int dayOffset, int h = 0, int m = 0, int s = 0)
{
    return QDateTime(today.addDays(dayOffset), QTime(h, m, s), Qt::UTC);
}

// Rows named after level and age, on the boundaries the rules care about.
struct AgedRow
{
    const char* age;
    QDateTime when;
};

QList<AgedRow> agedRows()
{
    return {{"tomorrow", at(1)},        // first moment of tomorrow
            {"today", at(0)},           // first moment of today
            {"6d", at(-6)},             // first moment six days ago
            {"7d", at(-7, 23, 59, 59)}, // last moment seven days ago
            {"29d", at(-29)},           // first moment 29 days ago
            {"30d", at(-30, 23, 59, 59)}};
}

// Fills the database with every level 0 to 4 at every age; the description is
// the row's name, e.g. "L2-7d".
void addAgedRows(AuditTestDb& db)
{
    QList<AuditEntry> entries;
    for (int level = 0; level <= 4; ++level)
        for (const AgedRow& row : agedRows())
            entries.append(AuditTestDb::entry(
                level, row.when, QStringLiteral("L%1-%2").arg(level).arg(QLatin1String(row.age))));
    QVERIFY(db.add(entries));
}

QStringList descriptions(const QList<AuditEntry>& entries)
{
    QStringList names;
    for (const AuditEntry& entry : entries)
        names.append(entry.Description);
    names.sort();
    return names;
}

QStringList allAgedNames()
{
    QStringList names;
    for (int level = 0; level <= 4; ++level)
        for (const AgedRow& row : agedRows())
            names.append(QStringLiteral("L%1-%2").arg(level).arg(QLatin1String(row.age)));
    names.sort();
    return names;
}

// Every name for the levels up to bound at the given ages.
QStringList names(int bound, const QStringList& ages)
{
    QStringList list;
    for (int level = 0; level <= bound; ++level)
        for (const QString& age : ages)
            list.append(QStringLiteral("L%1-%2").arg(level).arg(age));
    list.sort();
    return list;
}

QString statementText(int offset, int level)
{
    return QStringLiteral("DELETE Audit.* FROM Audit WHERE [When] < #%1#  AND Level <= %2")
        .arg(SqlDateLiteral(QStringLiteral("d"), offset, today))
        .arg(level);
}

void loadView(const QString& levels = QStringLiteral("SWEF"))
{
    SaveSettingValue(SettingKey::LevelStatus, levels.contains('S') ? "True" : "False");
    SaveSettingValue(SettingKey::LevelWarning, levels.contains('W') ? "True" : "False");
    SaveSettingValue(SettingKey::LevelError, levels.contains('E') ? "True" : "False");
    SaveSettingValue(SettingKey::LevelFatalError, levels.contains('F') ? "True" : "False");
    ViewSortBy1 = QStringLiteral("AutoIndex");
    ViewSortDirection = QStringLiteral("DESC");
    QVERIFY(BuildViewQuery());
}

} // namespace

void tst_Purge::cleanup()
{
    AuditView::instance().clear();
    AuditDatabase::instance().close();
    SetBusyPointerHook(nullptr);
    QLocale::setDefault(QLocale::c());
}

void tst_Purge::statement_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("days");
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("sql");

    const QString start = QStringLiteral("DELETE Audit.* FROM Audit WHERE [When] < #");
    QTest::newRow("7 days, month first") << "en_US"
                                         << "7" << 3 << start + "3/9/2003#  AND Level <= 3";
    QTest::newRow("7 days, day first") << "en_GB"
                                       << "7" << 3 << start + "9/3/2003#  AND Level <= 3";
    QTest::newRow("0 days: start of tomorrow") << "en_US"
                                               << "0" << 3 << start + "3/16/2003#  AND Level <= 3";
    QTest::newRow("1 day: start of today") << "en_US"
                                           << "1" << 0 << start + "3/15/2003#  AND Level <= 0";
    QTest::newRow("7.5 rounds -6.5 to -6") << "en_US"
                                           << "7.5" << 1 << start + "3/9/2003#  AND Level <= 1";
    QTest::newRow("6.5 rounds -5.5 to -6") << "en_US"
                                           << "6.5" << 2 << start + "3/9/2003#  AND Level <= 2";
    QTest::newRow("8.5 rounds -7.5 to -8") << "en_US"
                                           << "8.5" << 3 << start + "3/7/2003#  AND Level <= 3";
    QTest::newRow("30 days, warnings") << "en_US"
                                       << "30" << 1 << start + "2/14/2003#  AND Level <= 1";
    QTest::newRow("blanks around") << "en_US"
                                   << " 7 " << 3 << start + "3/9/2003#  AND Level <= 3";
    QTest::newRow("exponent") << "en_US"
                              << "1e1" << 3 << start + "3/6/2003#  AND Level <= 3";
    QTest::newRow("locale decimal comma") << "de_DE"
                                          << "7,5" << 3 << start + "9/3/2003#  AND Level <= 3";
    QTest::newRow("negative days") << "en_US"
                                   << "-1" << 3 << start + "3/17/2003#  AND Level <= 3";
}

void tst_Purge::statement()
{
    QFETCH(QString, locale);
    QFETCH(QString, days);
    QFETCH(int, level);
    QFETCH(QString, sql);

    QLocale::setDefault(QLocale(locale));
    const auto text = DeleteOldEntriesStatement(days, level, QDate(2003, 3, 15));
    QVERIFY(text);
    QCOMPARE(*text, sql);
}

void tst_Purge::badDays_data()
{
    QTest::addColumn<QString>("days");
    QTest::addColumn<int>("error");

    QTest::newRow("text") << "abc" << 13;
    QTest::newRow("empty") << "" << 13;
    QTest::newRow("infinite") << "inf" << 13;
    QTest::newRow("offset beyond 16 bits") << "40000" << 6;
    QTest::newRow("far future") << "-40000" << 6;
}

// A days value that is no number, or whose offset overflows, runs nothing.
void tst_Purge::badDays()
{
    QFETCH(QString, days);
    QFETCH(int, error);

    TestEnvironment env;
    AuditTestDb db;
    QVERIFY(db.add(AuditTestDb::entry(0, at(-100))));
    QVERIFY(db.openShared());
    env.recordSqlLog();

    const PurgeResult result = DeleteOldEntries(days, 3);
    QVERIFY(!result.ran);
    QCOMPARE(result.error.number, error);
    QVERIFY(env.sqlLog().isEmpty());
    QCOMPARE(db.count(), 1);
}

void tst_Purge::deletes_data()
{
    QTest::addColumn<QString>("days");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QStringList>("deleted");

    QTest::newRow("7 days, ALL: the last 7 days stay")
        << "7" << 3 << -6 << names(3, {"7d", "29d", "30d"});
    QTest::newRow("7.5 days as 7") << "7.5" << 3 << -6 << names(3, {"7d", "29d", "30d"});
    QTest::newRow("0 days, ALL: all of today goes")
        << "0" << 3 << 1 << names(3, {"today", "6d", "7d", "29d", "30d"});
    QTest::newRow("1 day, Errors: today stays")
        << "1" << 2 << 0 << names(2, {"6d", "7d", "29d", "30d"});
    QTest::newRow("30 days, Warnings: errors stay") << "30" << 1 << -29 << names(1, {"30d"});
    QTest::newRow("29 days, Status") << "29" << 0 << -28 << names(0, {"29d", "30d"});
    QTest::newRow("999 days: nothing that old") << "999" << 3 << -998 << QStringList();
}

void tst_Purge::deletes()
{
    QFETCH(QString, days);
    QFETCH(int, level);
    QFETCH(int, offset);
    QFETCH(QStringList, deleted);

    TestEnvironment env;
    AuditTestDb db;
    addAgedRows(db);
    QVERIFY(db.openShared());
    env.recordSqlLog();

    const PurgeResult result = DeleteOldEntries(days, level);
    QVERIFY2(result.ran, qPrintable(result.error.description));
    QCOMPARE(result.deleted, deleted.size());
    QStringList kept = allAgedNames();
    for (const QString& name : deleted)
        kept.removeOne(name);
    QCOMPARE(descriptions(db.entries()), kept);
    // Exactly one statement ran, written as the operator's dialect has it.
    QCOMPARE(env.sqlLog(QStringLiteral("jet")), QStringList{statementText(offset, level)});
    QVERIFY(env.messages().isEmpty());
}

void tst_Purge::waitsForTheView_data()
{
    QTest::addColumn<QString>("viewLevels"); // "" : the view is not loaded
    QTest::addColumn<int>("oldRows");
    QTest::addColumn<int>("rounds");

    QTest::newRow("nothing deleted: no requery") << "SWEF" << 0 << 0;
    QTest::newRow("view shows every row: one round") << "SWEF" << 3 << 1;
    // The expected count is wrong when the view hides some deleted rows; two
    // requeries that agree end the wait.
    QTest::newRow("view shows a part: two rounds") << "S" << 3 << 2;
    QTest::newRow("view not loaded: no wait") << "" << 3 << 0;
}

void tst_Purge::waitsForTheView()
{
    QFETCH(QString, viewLevels);
    QFETCH(int, oldRows);
    QFETCH(int, rounds);

    TestEnvironment env;
    AuditTestDb db;
    QList<AuditEntry> entries;
    for (int i = 0; i < oldRows; ++i)
        entries.append(AuditTestDb::entry(i % 4, at(-40 - i)));
    entries.append(AuditTestDb::entry(0, at(0, 9)));
    entries.append(AuditTestDb::entry(2, at(-1, 9)));
    QVERIFY(db.add(entries));
    QVERIFY(db.openShared());
    if (!viewLevels.isEmpty())
        loadView(viewLevels);
    AuditView& view = AuditView::instance();
    QSignalSpy requeries(&view, &AuditView::reset);

    int waits = 0;
    const PurgeResult result = DeleteOldEntries(QStringLiteral("30"), 3, [&] { ++waits; });
    QVERIFY(result.ran);
    QCOMPARE(result.deleted, oldRows);
    QCOMPARE(waits, rounds);
    QCOMPARE(requeries.count(), rounds);
    QCOMPARE(db.count(), 2);
    if (rounds > 0)
        QCOMPARE(view.recordCount(), viewLevels == QLatin1String("S") ? 1 : 2);
}

void tst_Purge::failedStatement()
{
    TestEnvironment env;
    AuditTestDb db;
    QVERIFY(db.add(AuditTestDb::entry(0, at(-100))));
    QVERIFY(db.openShared());
    // The table is gone (renamed behind the program's back): the DELETE fails.
    QVERIFY(db.exec(QStringLiteral("ALTER TABLE Audit RENAME TO AuditOld")));

    const PurgeResult result = DeleteOldEntries(QStringLiteral("7"), 3);
    QVERIFY(!result.ran);
    QVERIFY(result.error.isError());
    QVERIFY(!result.error.description.isEmpty());
    QVERIFY(env.messages().isEmpty());
    QVERIFY(!env.ended());
}

namespace {

// Another program appending entries on its own connection and thread,
// reporting how many it has written.
class Appender : public QThread
{
public:
    Appender(const QString& path, int rows) : m_path(path), m_rows(rows) {}

    // Blocks until at least n entries are written or the thread is done.
    void waitForRows(int n)
    {
        QMutexLocker lock(&m_mutex);
        while (m_written < n && !m_done)
            m_changed.wait(&m_mutex);
    }
    int written() const
    {
        QMutexLocker lock(&m_mutex);
        return m_written;
    }
    QString error() const
    {
        QMutexLocker lock(&m_mutex);
        return m_error;
    }

protected:
    void run() override
    {
        const QString name = QUuid::createUuid().toString();
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(m_path);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=30000"));
            if (!db.open()) {
                finish(db.lastError().text());
                return;
            }
            // As the product's programs on a WAL database: no sync per commit.
            QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
            QSqlQuery insert(db);
            insert.prepare(
                QStringLiteral("INSERT INTO Audit (Level, Error, Description, Application, [When]) "
                               "VALUES (?, 0, ?, 'Appender', ?)"));
            for (int i = 0; i < m_rows; ++i) {
                insert.addBindValue(i % 4);
                insert.addBindValue(QStringLiteral("appended %1").arg(i));
                insert.addBindValue(IsoDateTime(QDateTime::currentDateTimeUtc()));
                if (!insert.exec()) {
                    finish(insert.lastError().text());
                    return;
                }
                QMutexLocker lock(&m_mutex);
                ++m_written;
                m_changed.wakeAll();
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
        finish(QString());
    }

private:
    void finish(const QString& error)
    {
        QMutexLocker lock(&m_mutex);
        m_error = error;
        m_done = true;
        m_changed.wakeAll();
    }

    const QString m_path;
    const int m_rows;
    mutable QMutex m_mutex;
    QWaitCondition m_changed;
    int m_written = 0;
    bool m_done = false;
    QString m_error;
};

} // namespace

// The product's other programs append while the purge deletes: no appended
// entry is lost and only entries older than the cut-off go.
void tst_Purge::purgeWhileAnotherProgramAppends()
{
    TestEnvironment env;
    AuditTestDb db;
    QList<AuditEntry> entries;
    const int oldRows = 20000;
    const int recentRows = 2000;
    for (int i = 0; i < oldRows; ++i)
        entries.append(AuditTestDb::entry(i % 4, at(-31 - i % 60, i % 24, i % 60)));
    for (int i = 0; i < recentRows; ++i)
        entries.append(AuditTestDb::entry(i % 4, at(-i % 29, i % 24, i % 60)));
    QVERIFY(db.add(entries));
    const QList<qint64> recentKeys =
        db.keys(QStringLiteral("[When] >= '%1'").arg(IsoDateTime(at(-29))));
    QCOMPARE(recentKeys.size(), recentRows);
    QVERIFY(db.openShared());
    loadView();

    const int appended = 3000;
    Appender appender(db.path(), appended);
    appender.start();
    appender.waitForRows(100); // well under way before the purge starts

    // Each wait round lets the other program get further instead of sleeping.
    int waits = 0;
    const PurgeResult result = DeleteOldEntries(QStringLiteral("30"), 3, [&] {
        ++waits;
        appender.waitForRows(appender.written() + 200);
    });
    appender.wait();
    QVERIFY2(appender.error().isEmpty(), qPrintable(appender.error()));
    QVERIFY2(result.ran, qPrintable(result.error.description));
    QCOMPARE(result.deleted, oldRows);
    QVERIFY(waits <= PurgeMaxWaitRounds);

    QCOMPARE(db.count(QStringLiteral("Application = 'Appender'")), appended);
    QCOMPARE(db.count(QStringLiteral("[When] < '%1'").arg(IsoDateTime(at(-29)))), 0);
    QCOMPARE(db.keys(QStringLiteral("[When] >= '%1' AND Application <> 'Appender'")
                         .arg(IsoDateTime(at(-29)))),
             recentKeys);
    QCOMPARE(db.count(), recentRows + appended);
}

void tst_Purge::autoDelete_data()
{
    QTest::addColumn<QString>("setting"); // "" : absent
    QTest::addColumn<bool>("unattended");
    QTest::addColumn<QStringList>("kept");
    QTest::addColumn<bool>("message");

    const QStringList all = {"L0-2d", "L3-29d", "L2-30d", "L4-90d"};
    QTest::newRow("default 30") << "" << false << QStringList{"L0-2d", "L3-29d", "L4-90d"} << false;
    QTest::newRow("7") << "7" << false << QStringList{"L0-2d", "L4-90d"} << false;
    QTest::newRow("not a number") << "abc" << false << all << true;
    QTest::newRow("not a number, unattended") << "abc" << true << all << false;
}

void tst_Purge::autoDelete()
{
    QFETCH(QString, setting);
    QFETCH(bool, unattended);
    QFETCH(QStringList, kept);
    QFETCH(bool, message);

    TestEnvironment env;
    AuditTestDb db;
    QVERIFY(
        db.add({AuditTestDb::entry(0, at(-2), "L0-2d"), AuditTestDb::entry(3, at(-29), "L3-29d"),
                AuditTestDb::entry(2, at(-30, 23, 59, 59), "L2-30d"),
                AuditTestDb::entry(4, at(-90), "L4-90d")}));
    QVERIFY(db.openShared());
    loadView();
    env.setSetting(SettingKey::AutoDeleteDays, setting);
    UnattendedMode = unattended;
    QList<bool> busy;
    SetBusyPointerHook([&](bool on) { busy.append(on); });

    AutoDeleteOldEntries();

    kept.sort();
    QCOMPARE(descriptions(db.entries()), kept);
    QCOMPARE(busy, QList<bool>({true, false}));
    QCOMPARE(env.messages().size(), message ? 1 : 0);
    if (message) {
        QVERIFY(env.messages().at(0).text.contains(QLatin1String("AutoDeleteDays")));
        QVERIFY(env.messages().at(0).text.contains(QLatin1String("'abc'")));
    }
    // The run goes on.
    QVERIFY(!env.ended());
    QVERIFY(!RunFailed());
}

QTEST_GUILESS_MAIN(tst_Purge)
#include "tst_purge.moc"
