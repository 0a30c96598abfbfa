#include "ReportCondition.h"

#include <QLocale>
#include <QtTest>

// The condition, SELECT and DELETE texts of the report routines, character for
// character.
class tst_EngineSql : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    void texts_data();
    void texts();
    void noLevel();
    void boundedDelete();
};

void tst_EngineSql::texts_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("levels"); // of "SWEF"
    QTest::addColumn<int>("ageMode");
    QTest::addColumn<int>("days");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("sorts");
    QTest::addColumn<QString>("select");
    QTest::addColumn<QString>("remove");

    const QString w = QStringLiteral(" ((`Level` = 0) OR (`Level` = 2)) AND `When` < #2/13/2003#");
    QTest::newRow("default sorts")
        << "en_US"
        << "SE" << 1 << 30 << "" << QStringList{"When", "User", "AutoIndex"}
        << "SELECT Audit.* FROM Audit WHERE" + w + " ORDER BY [When], [User], [AutoIndex];"
        << "DELETE FROM Audit WHERE" + w;
    QTest::newRow("no sorts") << "en_US"
                              << "SE" << 1 << 30 << "" << QStringList{"", "  ", ""}
                              << "SELECT Audit.* FROM Audit WHERE" + w + " ORDER BY [AutoIndex];"
                              << "DELETE FROM Audit WHERE" + w;
    QTest::newRow("AutoIndex alone")
        << "en_US"
        << "SE" << 1 << 30 << "" << QStringList{"AutoIndex", "", ""}
        << "SELECT Audit.* FROM Audit WHERE" + w + " ORDER BY [AutoIndex];"
        << "DELETE FROM Audit WHERE" + w;
    QTest::newRow("autoindex is case-sensitive")
        << "en_US"
        << "SE" << 1 << 30 << "" << QStringList{"autoindex", "", ""}
        << "SELECT Audit.* FROM Audit WHERE" + w + " ORDER BY [autoindex], [AutoIndex];"
        << "DELETE FROM Audit WHERE" + w;
    QTest::newRow("AutoIndex first, blank between")
        << "en_US"
        << "SE" << 1 << 30 << "" << QStringList{"AutoIndex", "", "User"}
        << "SELECT Audit.* FROM Audit WHERE" + w + " ORDER BY [AutoIndex], [User];"
        << "DELETE FROM Audit WHERE" + w;
    QTest::newRow("query with one level")
        << "en_US"
        << "W" << 0 << 0 << "User = 'x'" << QStringList{"When", "", ""}
        << "SELECT Audit.* FROM Audit WHERE (User = 'x') AND ((`Level` = 1)) ORDER BY [When], "
           "[AutoIndex];"
        << "DELETE FROM Audit WHERE (User = 'x') AND ((`Level` = 1))";
    QTest::newRow("blank query is none")
        << "en_US"
        << "F" << 7 << 5 << "   " << QStringList{"", "", ""}
        << "SELECT Audit.* FROM Audit WHERE ((`Level` = 3)) ORDER BY [AutoIndex];"
        << "DELETE FROM Audit WHERE ((`Level` = 3))";
    QTest::newRow("all levels, newer than")
        << "en_US"
        << "SWEF" << 2 << 7 << "" << QStringList{"Level", "Error", "Application"}
        << "SELECT Audit.* FROM Audit WHERE ((`Level` = 0) OR (`Level` = 1) OR (`Level` = 2) OR "
           "(`Level` = 3)) AND `When` > #3/8/2003# ORDER BY [Level], [Error], [Application], "
           "[AutoIndex];"
        << "DELETE FROM Audit WHERE ((`Level` = 0) OR (`Level` = 1) OR (`Level` = 2) OR "
           "(`Level` = 3)) AND `When` > #3/8/2003#";
    QTest::newRow("day-first locale, day 12 or less")
        << "en_GB"
        << "E" << 2 << 7 << "" << QStringList{"", "", ""}
        << "SELECT Audit.* FROM Audit WHERE ((`Level` = 2)) AND `When` > #8/3/2003# ORDER BY "
           "[AutoIndex];"
        << "DELETE FROM Audit WHERE ((`Level` = 2)) AND `When` > #8/3/2003#";
    QTest::newRow("day-first locale, day over 12")
        << "en_GB"
        << "SE" << 1 << 30 << "" << QStringList{"", "", ""}
        << "SELECT Audit.* FROM Audit WHERE" + w + " ORDER BY [AutoIndex];"
        << "DELETE FROM Audit WHERE" + w;
    QTest::newRow("span, both ends excluded")
        << "en_US"
        << "S" << 3 << 0 << "" << QStringList{"When", "", ""}
        << "SELECT Audit.* FROM Audit WHERE ((`Level` = 0)) AND ([When] > #1/1/2003 08:00# AND "
           "[When] < #1/31/2003#) ORDER BY [When], [AutoIndex];"
        << "DELETE FROM Audit WHERE ((`Level` = 0)) AND ([When] > #1/1/2003 08:00# AND [When] < "
           "#1/31/2003#)";
}

void tst_EngineSql::texts()
{
    QFETCH(QString, locale);
    QFETCH(QString, levels);
    QFETCH(int, ageMode);
    QFETCH(int, days);
    QFETCH(QString, query);
    QFETCH(QStringList, sorts);
    QFETCH(QString, select);
    QFETCH(QString, remove);

    QLocale::setDefault(QLocale(locale));
    ReportCondition c;
    c.Status = levels.contains('S');
    c.Warning = levels.contains('W');
    c.Error = levels.contains('E');
    c.Fatal = levels.contains('F');
    c.AgeMode = int16_t(ageMode);
    c.Days = int16_t(days);
    c.SpanStart = QStringLiteral("1/1/2003 08:00");
    c.SpanEnd = QStringLiteral("1/31/2003");
    c.Query = query;

    const QString w = c.where(QDate(2003, 3, 15));
    QCOMPARE(ReportCondition::selectText(w, sorts.at(0), sorts.at(1), sorts.at(2)), select);
    QCOMPARE(ReportCondition::deleteText(w), remove);
}

void tst_EngineSql::noLevel()
{
    ReportCondition c;
    c.Query = QStringLiteral("User = 'x'");
    QVERIFY(!c.hasLevel());
    c.Fatal = true;
    QVERIFY(c.hasLevel());
}

void tst_EngineSql::boundedDelete()
{
    QCOMPARE(ReportCondition::deleteText(QStringLiteral(" ((`Level` = 1))"), 4711),
             QStringLiteral("DELETE FROM Audit WHERE ((`Level` = 1)) AND [AutoIndex] <= 4711"));
}

QTEST_GUILESS_MAIN(tst_EngineSql)
#include "tst_enginesql.moc"
