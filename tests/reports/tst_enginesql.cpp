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
};

void tst_EngineSql::texts_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("levels"); // of "SWEF"
    QTest::addColumn<int>("ageMode");
    QTest::addColumn<int>("days");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("sorts"); // SortBy1..3 separated by "|"
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("order");
    auto row = [](const char* name, const QString& locale, const QString& levels, int ageMode,
                  int days, const QString& query, const QString& sorts, const QString& where,
                  const QString& order) {
        QTest::newRow(name) << locale << levels << ageMode << days << query << sorts << where
                            << order;
    };
    // Status and Error older than 30 days, on 15 March 2003.
    const QString w = QStringLiteral(" ((`Level` = 0) OR (`Level` = 2)) AND `When` < #2/13/2003#");
    row("default sorts", "en_US", "SE", 1, 30, "", "When|User|AutoIndex", w,
        "[When], [User], [AutoIndex];");
    row("no sorts", "en_US", "SE", 1, 30, "", "|  |", w, "[AutoIndex];");
    row("autoindex is case-sensitive", "en_US", "SE", 1, 30, "", "autoindex||", w,
        "[autoindex], [AutoIndex];");
    row("AutoIndex first, blank between", "en_US", "SE", 1, 30, "", "AutoIndex||User", w,
        "[AutoIndex], [User];");
    row("day-first locale, day over 12", "en_GB", "SE", 1, 30, "", "||", w, "[AutoIndex];");
    row("query with one level", "en_US", "W", 0, 0, "User = 'x'", "When||",
        " (User = 'x') AND ((`Level` = 1))", "[When], [AutoIndex];");
    row("blank query is none", "en_US", "F", 7, 5, "   ", "||", " ((`Level` = 3))", "[AutoIndex];");
    row("all levels, newer than", "en_US", "SWEF", 2, 7, "", "||",
        " ((`Level` = 0) OR (`Level` = 1) OR (`Level` = 2) OR (`Level` = 3)) AND `When` > "
        "#3/8/2003#",
        "[AutoIndex];");
    row("day-first locale, day 12 or less", "en_GB", "E", 2, 7, "", "||",
        " ((`Level` = 2)) AND `When` > #8/3/2003#", "[AutoIndex];");
    row("span, both ends excluded", "en_US", "S", 3, 0, "", "||",
        " ((`Level` = 0)) AND ([When] > #1/1/2003 08:00# AND [When] < #1/31/2003#)",
        "[AutoIndex];");
}

void tst_EngineSql::texts()
{
    QFETCH(QString, locale);
    QFETCH(QString, levels);
    QFETCH(int, ageMode);
    QFETCH(int, days);
    QFETCH(QString, query);
    QFETCH(QString, sorts);
    QFETCH(QString, where);
    QFETCH(QString, order);

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
    QCOMPARE(w, where);
    const QStringList s = sorts.split('|');
    QCOMPARE(ReportCondition::selectText(w, s.at(0), s.at(1), s.at(2)),
             "SELECT Audit.* FROM Audit WHERE" + where + " ORDER BY " + order);
    QCOMPARE(ReportCondition::deleteText(w), "DELETE FROM Audit WHERE" + where);
    // The bounded form that leaves entries appended after the report alone.
    QCOMPARE(ReportCondition::deleteText(w, 17, 4711),
             "DELETE FROM Audit WHERE (" + where +
                 ") AND [AutoIndex] BETWEEN 17 AND 4711 AND [AutoIndex] IN (SELECT [AutoIndex] FROM "
                 "ReportedRows)");
}

QTEST_GUILESS_MAIN(tst_EngineSql)
#include "tst_enginesql.moc"
