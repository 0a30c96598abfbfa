#include "AppState.h"
#include "AuditDatabase.h"
#include "AuditTestDb.h"
#include "AuditView.h"
#include "Settings.h"
#include "TestEnvironment.h"
#include "ViewKeyQueries.h"
#include "ViewQuery.h"

#include <QLocale>
#include <QSqlQuery>
#include <QtTest>

namespace {

// Records what the view query builder does to the window.
class RecordingCommands : public ViewCommands
{
public:
    void beginViewQuery() override { calls << QStringLiteral("begin"); }
    void endViewQuery() override { calls << QStringLiteral("end"); }
    void setDeleteEnabled(bool on) override { calls << QStringLiteral("delete=%1").arg(on); }
    void setFindEnabled(bool on) override { calls << QStringLiteral("find=%1").arg(on); }
    QStringList take() { return std::exchange(calls, {}); }

    QStringList calls;
};

} // namespace

// The viewer's query text, and what building and re-running it does to a
// real database and to the window's commands.
class tst_ViewQuery : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        SetViewCommands(nullptr);
        AuditView::instance().clear();
        AuditDatabase::instance().close();
        QLocale::setDefault(QLocale::c());
    }

    void text_data()
    {
        QTest::addColumn<QString>("levels");
        QTest::addColumn<QString>("age");
        QTest::addColumn<QString>("sort"); // ViewSortBy1..3 and the direction, "|" between
        QTest::addColumn<QString>("sql");
        auto row = [](const char* name, const QString& levels, const QString& age,
                      const QString& sort, const QString& sql) {
            QTest::newRow(name) << levels << age << sort << "SELECT Audit.* FROM Audit" + sql;
        };
        // Today is 15 March 2003. Every level, and sorting by a heading: tst_frmview.
        row("status and error, 7", "SE", "7", "AutoIndex|||DESC",
            " WHERE (Level = 0 OR Level = 2) AND [When] > #3/8/2003#  Order By [AutoIndex] DESC;");
        row("lower-case autoindex is another key", "SWEF", "ALL", "autoindex|||DESC",
            " Order By [autoindex], [AutoIndex] DESC;");
        row("three keys, blank skipped", "SWEF", "ALL", "Level|  |When|",
            " Order By [Level], [When], [AutoIndex] ;");
        row("no level, 30 days", "", "30", "AutoIndex|||DESC",
            " WHERE Level =  -10 AND [When] > #2/13/2003#  Order By [AutoIndex] DESC;");
        row("one level, NEW", "F", "NEW", "AutoIndex|||DESC",
            " WHERE (Level = 3) AND [When] > #3/14/2003#  Order By [AutoIndex] DESC;");
        row("unknown age counts as ALL", "SWEF", "14", "AutoIndex|||DESC",
            " Order By [AutoIndex] DESC;");
    }

    void text()
    {
        QFETCH(QString, levels);
        QFETCH(QString, age);
        QFETCH(QString, sort);
        QFETCH(QString, sql);
        TestEnvironment env;
        QLocale::setDefault(QLocale(QStringLiteral("en_US")));
        env.setLevels(levels);
        SaveSettingValue(SettingKey::MessageAge, age);
        const QStringList keys = sort.split('|');
        ViewSortBy1 = keys.at(0);
        ViewSortBy2 = keys.at(1);
        ViewSortBy3 = keys.at(2);
        ViewSortDirection = keys.at(3);
        QCOMPARE(ViewQueryText(QDate(2003, 3, 15)), sql);
        // On a day-first locale only a date whose day could be a month changes.
        QLocale::setDefault(QLocale(QStringLiteral("en_GB")));
        QCOMPARE(ViewQueryText(QDate(2003, 3, 15)), QString(sql).replace("3/8/2003", "8/3/2003"));
    }

    // The texts a view reads its keys with: from the back and a count only
    // where the order ends in AutoIndex and can be turned round term by term.
    void keyQueries_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("reverse");
        QTest::addColumn<QString>("count");
        const QString keys = "SELECT Audit.AutoIndex FROM Audit";
        QTest::newRow("newest first")
            << "SELECT Audit.* FROM Audit WHERE Level = 2  Order By [AutoIndex] DESC;"
            << keys + " WHERE Level = 2 ORDER BY [AutoIndex] ASC"
            << "SELECT COUNT(*) FROM Audit WHERE Level = 2";
        QTest::newRow("two columns, mixed")
            << "SELECT Audit.* FROM Audit Order By [When] DESC, [User], [AutoIndex];"
            << keys + " ORDER BY [When] ASC, [User] DESC, [AutoIndex] DESC"
            << "SELECT COUNT(*) FROM Audit";
        QTest::newRow("ties not broken") << "SELECT Audit.* FROM Audit ORDER BY [When]" << ""
                                         << "";
        QTest::newRow("no order") << "select * from [Audit] where [level]=2" << "" << "";
        QTest::newRow("order in a sub-query")
            << "SELECT Audit.* FROM Audit WHERE AutoIndex IN (SELECT AutoIndex FROM Audit "
               "ORDER BY AutoIndex)"
            << "" << "";
    }

    void keyQueries()
    {
        QFETCH(QString, source);
        const ViewKeyQueries queries = ViewKeyQueries::of(source);
        QTEST(queries.reverse, "reverse");
        QTEST(queries.count, "count");
    }

    // Delete and Find follow the result of a build; a requery sets Delete only.
    // Level 4 entries are shown only while every level is.
    void enablesCommandsByResult()
    {
        TestEnvironment env;
        AuditTestDb db;
        const QDateTime yesterday = QDateTime::currentDateTimeUtc().addDays(-1);
        QVERIFY(db.add({AuditTestDb::entry(0, yesterday), AuditTestDb::entry(2, yesterday),
                        AuditTestDb::entry(4, yesterday)}));
        QVERIFY(db.openShared());
        RecordingCommands commands;
        SetViewCommands(&commands);
        ViewSortBy1 = QStringLiteral("AutoIndex");
        ViewSortDirection = QStringLiteral("DESC");
        AuditView& view = AuditView::instance();
        const QStringList on = {"begin", "delete=1", "find=1", "end"};

        QVERIFY(BuildViewQuery());
        QCOMPARE(commands.take(), on);
        QCOMPARE(view.recordCount(), 3);
        QCOMPARE(view.entryAt(0).Level, 4); // newest first
        env.setLevels(QStringLiteral("WF"));
        QVERIFY(BuildViewQuery());
        QCOMPARE(commands.take(), QStringList({"begin", "delete=0", "find=0", "end"}));
        QVERIFY(IsRecordsetEmpty(&view));
        env.setLevels(QStringLiteral("SWE"));
        QVERIFY(BuildViewQuery());
        QCOMPARE(commands.take(), on);
        QCOMPARE(view.recordCount(), 2);

        // Another program removes every entry, then appends one.
        QVERIFY(db.exec(QStringLiteral("DELETE FROM Audit")));
        QVERIFY(RequeryView());
        QCOMPARE(commands.take(), QStringList({"begin", "delete=0", "end"}));
        QCOMPARE(view.recordCount(), 0);
        QVERIFY(db.add(AuditTestDb::entry(1, yesterday)));
        QVERIFY(RequeryView());
        QCOMPARE(commands.take(), QStringList({"begin", "delete=1", "end"}));
        QCOMPARE(view.recordCount(), 1);
        QVERIFY(env.messages().isEmpty() && !env.ended());
    }

    // Text columns sort and compare without regard to case, and a sort by one
    // of them still walks its index.
    void textIgnoresCase()
    {
        TestEnvironment env;
        AuditTestDb db;
        const QDateTime yesterday = QDateTime::currentDateTimeUtc().addDays(-1);
        const QStringList names = {"SYSTEM", "akowalski", "jsmith", "Bob"};
        QList<AuditEntry> entries;
        for (const QString& name : names) {
            entries.append(AuditTestDb::entry(0, yesterday));
            entries.last().User = name;
        }
        QVERIFY(db.add(entries) && db.openShared());
        ViewSortBy1 = QStringLiteral("User");
        ViewSortBy2 = ViewSortBy3 = ViewSortDirection = QString();
        QVERIFY(BuildViewQuery());
        QStringList sorted;
        for (int i = 0; i < AuditView::instance().recordCount(); ++i)
            sorted << AuditView::instance().entryAt(i).User;
        QCOMPARE(sorted, QStringList({"akowalski", "Bob", "jsmith", "SYSTEM"}));

        auto found = AuditDatabase::instance().select("SELECT Audit.* FROM Audit WHERE User = 'JSMITH'");
        QVERIFY(found && found->next());
        QCOMPARE(found->value("User").toString(), QStringLiteral("jsmith"));
        QVERIFY(!found->next());

        if (db.isServer())
            return; // the plan below is the file's
        QSqlQuery plan(AuditDatabase::instance().connection());
        QVERIFY(plan.exec("EXPLAIN QUERY PLAN SELECT * FROM Audit ORDER BY User, AutoIndex"));
        QStringList steps;
        while (plan.next())
            steps << plan.value(3).toString();
        QVERIFY2(steps.join(' ').contains("INDEX Audit_User") &&
                     !steps.join(' ').contains("TEMP B-TREE"),
                 qPrintable(steps.join(" / ")));
    }
};

QTEST_GUILESS_MAIN(tst_ViewQuery)
#include "tst_viewquery.moc"
