#include "AppState.h"
#include "AuditDatabase.h"
#include "AuditTestDb.h"
#include "AuditView.h"
#include "Settings.h"
#include "TestEnvironment.h"
#include "ViewQuery.h"

#include <QLocale>
#include <QtTest>

// The viewer's query text, and what building and re-running it does to a
// real database and to the window's commands.
class tst_ViewQuery : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void text_data();
    void text();
    void enablesCommandsByResult();
    void requeryKeepsFindState();
    void unknownLevelOnlyWithAllFlags();
    void failureEndsWithCreateViewQuery();
};

namespace {

// Records what the view query builder does to the window.
class RecordingCommands : public ViewCommands
{
public:
    void beginViewQuery() override { calls << QStringLiteral("begin"); }
    void endViewQuery() override { calls << QStringLiteral("end"); }
    void setDeleteEnabled(bool enabled) override
    {
        calls << QStringLiteral("delete=%1").arg(enabled);
    }
    void setFindEnabled(bool enabled) override { calls << QStringLiteral("find=%1").arg(enabled); }

    QStringList calls;
};

// Level flags as "SWEF" letters: S status, W warning, E error, F fatal.
void setLevels(const QString& flags)
{
    SaveSettingValue(SettingKey::LevelStatus, flags.contains('S') ? "True" : "False");
    SaveSettingValue(SettingKey::LevelWarning, flags.contains('W') ? "True" : "False");
    SaveSettingValue(SettingKey::LevelError, flags.contains('E') ? "True" : "False");
    SaveSettingValue(SettingKey::LevelFatalError, flags.contains('F') ? "True" : "False");
}

QDateTime daysAgo(int days)
{
    return QDateTime(QDate::currentDate().addDays(-days), QTime(12, 0), Qt::UTC);
}

} // namespace

void tst_ViewQuery::cleanup()
{
    SetViewCommands(nullptr);
    AuditView::instance().clear();
    AuditDatabase::instance().close();
    QLocale::setDefault(QLocale::c());
}

void tst_ViewQuery::text_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("levels");
    QTest::addColumn<QString>("age");
    QTest::addColumn<QStringList>("sort"); // ViewSortBy1..3
    QTest::addColumn<QString>("direction");
    QTest::addColumn<QString>("sql");

    const QStringList byIndex = {"AutoIndex", "", ""};
    // The table of resulting texts, today 15 March 2003, month-first locale.
    QTest::newRow("all, ALL") << "en_US"
                              << "SWEF"
                              << "ALL" << byIndex << "DESC"
                              << "SELECT Audit.* FROM Audit Order By [AutoIndex] DESC;";
    QTest::newRow("none, ALL") << "en_US"
                               << ""
                               << "ALL" << byIndex << "DESC"
                               << "SELECT Audit.* FROM Audit WHERE Level =  -10 Order By "
                                  "[AutoIndex] DESC;";
    QTest::newRow("status and error, 7")
        << "en_US"
        << "SE"
        << "7" << byIndex << "DESC"
        << "SELECT Audit.* FROM Audit WHERE (Level = 0 OR Level = 2) AND [When] > #3/8/2003#  "
           "Order By [AutoIndex] DESC;";
    QTest::newRow("warning, error, fatal, ALL")
        << "en_US"
        << "WEF"
        << "ALL" << byIndex << "DESC"
        << "SELECT Audit.* FROM Audit WHERE (Level = 1 OR Level = 3 OR Level = 2) Order By "
           "[AutoIndex] DESC;";
    QTest::newRow("all, NEW") << "en_US"
                              << "SWEF"
                              << "NEW" << byIndex << "DESC"
                              << "SELECT Audit.* FROM Audit WHERE [When] > #3/14/2003#  Order By "
                                 "[AutoIndex] DESC;";
    QTest::newRow("by When ascending")
        << "en_US"
        << "SWEF"
        << "ALL" << QStringList{"When", "", ""} << ""
        << "SELECT Audit.* FROM Audit Order By [When], [AutoIndex] ;";
    QTest::newRow("by When, DESC")
        << "en_US"
        << "SWEF"
        << "ALL" << QStringList{"When", "", ""} << "DESC"
        << "SELECT Audit.* FROM Audit Order By [When], [AutoIndex] DESC;";

    // Edge cases around the table.
    QTest::newRow("lower-case autoindex is another key")
        << "en_US"
        << "SWEF"
        << "ALL" << QStringList{"autoindex", "", ""} << "DESC"
        << "SELECT Audit.* FROM Audit Order By [autoindex], [AutoIndex] DESC;";
    QTest::newRow("AutoIndex second") << "en_US"
                                      << "SWEF"
                                      << "ALL" << QStringList{"When", "AutoIndex", ""} << "DESC"
                                      << "SELECT Audit.* FROM Audit Order By [When], [AutoIndex] "
                                         "DESC;";
    QTest::newRow("three keys") << "en_US"
                                << "SWEF"
                                << "ALL" << QStringList{"Level", "User", "When"} << "DESC"
                                << "SELECT Audit.* FROM Audit Order By [Level], [User], [When], "
                                   "[AutoIndex] DESC;";
    QTest::newRow("blank key skipped")
        << "en_US"
        << "SWEF"
        << "ALL" << QStringList{"  ", "User", ""} << ""
        << "SELECT Audit.* FROM Audit Order By [User], [AutoIndex] ;";
    QTest::newRow("no keys") << "en_US"
                             << "SWEF"
                             << "ALL" << QStringList{"", "", ""} << "DESC"
                             << "SELECT Audit.* FROM Audit Order By [AutoIndex] DESC;";
    QTest::newRow("no level, 30 days")
        << "en_US"
        << ""
        << "30" << byIndex << "DESC"
        << "SELECT Audit.* FROM Audit WHERE Level =  -10 AND [When] > #2/13/2003#  Order By "
           "[AutoIndex] DESC;";
    QTest::newRow("one level, NEW")
        << "en_US"
        << "F"
        << "NEW" << byIndex << "DESC"
        << "SELECT Audit.* FROM Audit WHERE (Level = 3) AND [When] > #3/14/2003#  Order By "
           "[AutoIndex] DESC;";
    QTest::newRow("day-first locale, 7")
        << "en_GB"
        << "SWEF"
        << "7" << byIndex << "DESC"
        << "SELECT Audit.* FROM Audit WHERE [When] > #8/3/2003#  Order By [AutoIndex] DESC;";
    QTest::newRow("unknown age counts as ALL")
        << "en_US"
        << "SWEF"
        << "14" << byIndex << "DESC"
        << "SELECT Audit.* FROM Audit Order By [AutoIndex] DESC;";
}

void tst_ViewQuery::text()
{
    QFETCH(QString, locale);
    QFETCH(QString, levels);
    QFETCH(QString, age);
    QFETCH(QStringList, sort);
    QFETCH(QString, direction);
    QFETCH(QString, sql);

    TestEnvironment env;
    QLocale::setDefault(QLocale(locale));
    setLevels(levels);
    SaveSettingValue(SettingKey::MessageAge, age);
    ViewSortBy1 = sort.at(0);
    ViewSortBy2 = sort.at(1);
    ViewSortBy3 = sort.at(2);
    ViewSortDirection = direction;
    QCOMPARE(ViewQueryText(QDate(2003, 3, 15)), sql);
}

void tst_ViewQuery::enablesCommandsByResult()
{
    TestEnvironment env;
    AuditTestDb db;
    QVERIFY2(db.isValid(), qPrintable(db.errorString()));
    QVERIFY2(db.add(AuditTestDb::entry(0, daysAgo(1))), qPrintable(db.errorString()));
    QVERIFY(db.add(AuditTestDb::entry(2, daysAgo(2))));
    QVERIFY(db.openShared());
    RecordingCommands commands;
    SetViewCommands(&commands);
    ViewSortBy1 = QStringLiteral("AutoIndex");
    ViewSortDirection = QStringLiteral("DESC");

    QVERIFY(BuildViewQuery());
    QCOMPARE(commands.calls, QStringList({"begin", "delete=1", "find=1", "end"}));
    QCOMPARE(AuditView::instance().recordCount(), 2);
    // Newest first: the second entry leads.
    QCOMPARE(AuditView::instance().entryAt(0).Level, 2);

    // Only warnings: nothing selected, both commands off.
    commands.calls.clear();
    setLevels(QStringLiteral("W"));
    QVERIFY(BuildViewQuery());
    QCOMPARE(commands.calls, QStringList({"begin", "delete=0", "find=0", "end"}));
    QVERIFY(IsRecordsetEmpty(&AuditView::instance()));

    // A non-empty result turns them on again.
    commands.calls.clear();
    setLevels(QStringLiteral("SE"));
    QVERIFY(BuildViewQuery());
    QCOMPARE(commands.calls, QStringList({"begin", "delete=1", "find=1", "end"}));
    QVERIFY(env.messages().isEmpty());
    QVERIFY(!env.ended());
}

void tst_ViewQuery::requeryKeepsFindState()
{
    TestEnvironment env;
    AuditTestDb db;
    QVERIFY(db.add(AuditTestDb::entry(1, daysAgo(3))));
    QVERIFY(db.openShared());
    RecordingCommands commands;
    SetViewCommands(&commands);
    ViewSortBy1 = QStringLiteral("AutoIndex");
    QVERIFY(BuildViewQuery());

    // Another program removes the only entry: the requery shows nothing and
    // switches Delete off, leaving Find as it was.
    QVERIFY(db.exec(QStringLiteral("DELETE FROM Audit")));
    commands.calls.clear();
    QVERIFY(RequeryView());
    QCOMPARE(commands.calls, QStringList({"begin", "delete=0", "end"}));
    QCOMPARE(AuditView::instance().recordCount(), 0);

    // New rows appear at the next requery.
    QVERIFY(db.add(AuditTestDb::entry(1, daysAgo(0))));
    commands.calls.clear();
    QVERIFY(RequeryView());
    QCOMPARE(commands.calls, QStringList({"begin", "delete=1", "end"}));
    QCOMPARE(AuditView::instance().recordCount(), 1);
}

void tst_ViewQuery::unknownLevelOnlyWithAllFlags()
{
    TestEnvironment env;
    AuditTestDb db;
    QVERIFY(db.add({AuditTestDb::entry(4, daysAgo(1)), AuditTestDb::entry(3, daysAgo(1))}));
    QVERIFY(db.openShared());
    ViewSortBy1 = QStringLiteral("AutoIndex");

    QVERIFY(BuildViewQuery());
    QCOMPARE(AuditView::instance().recordCount(), 2);
    setLevels(QStringLiteral("SWE"));
    QVERIFY(BuildViewQuery());
    QCOMPARE(AuditView::instance().recordCount(), 0);
    setLevels(QStringLiteral("F"));
    QVERIFY(BuildViewQuery());
    QCOMPARE(AuditView::instance().recordCount(), 1);
    QCOMPARE(AuditView::instance().entryAt(0).Level, 3);
}

void tst_ViewQuery::failureEndsWithCreateViewQuery()
{
    TestEnvironment env;
    AuditTestDb db;
    QVERIFY(db.openShared());
    RecordingCommands commands;
    SetViewCommands(&commands);
    ViewSortBy1 = QStringLiteral("NoSuchColumn");

    QVERIFY(!BuildViewQuery());
    // The grid is shown again before the program ends.
    QCOMPARE(commands.calls, QStringList({"begin", "end"}));
    QCOMPARE(env.messages().size(), 1);
    QCOMPARE(env.messages().at(0).caption, QStringLiteral("Create View Query"));
    QCOMPARE(env.messages().at(0).icon, MsgIcon::Exclamation);
    QVERIFY(env.messages().at(0).text.startsWith(QLatin1String("Error ")));
    QCOMPARE(env.endStatuses(), QList<int>{1});
}

QTEST_GUILESS_MAIN(tst_ViewQuery)
#include "tst_viewquery.moc"
