#include "JetDialect.h"

#include <QLocale>
#include <QtTest>

// The one place where Jet texts become SQLite texts.
class tst_JetDialect : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    void toSqlite_data();
    void toSqlite();
};

void tst_JetDialect::toSqlite_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("jet");
    QTest::addColumn<QString>("sqlite"); // empty: rejected with error 3075

    QTest::newRow("purge") << "en_US"
                           << "DELETE Audit.* FROM Audit WHERE [When] < #3/9/2003#  AND Level <= 3"
                           << "DELETE FROM Audit WHERE [When] < '2003-03-09 00:00:00'  AND Level "
                              "<= 3";
    QTest::newRow("view") << "en_US"
                          << "SELECT Audit.* FROM Audit WHERE (Level = 0 OR Level = 2) AND [When] "
                             "> #3/8/2003#  Order By [AutoIndex] DESC;"
                          << "SELECT Audit.* FROM Audit WHERE (Level = 0 OR Level = 2) AND [When] "
                             "> '2003-03-08 00:00:00'  Order By [AutoIndex] DESC;";
    QTest::newRow("day first literal") << "en_GB"
                                       << "SELECT 1 WHERE [When] > #8/3/2003#"
                                       << "SELECT 1 WHERE [When] > '2003-03-08 00:00:00'";
    QTest::newRow("date and time") << "en_US"
                                   << "SELECT 1 WHERE [When] < #1/1/2003 08:00#"
                                   << "SELECT 1 WHERE [When] < '2003-01-01 08:00:00'";
    QTest::newRow("two literals") << "en_US"
                                  << "x BETWEEN #1/1/2003# AND #1/31/2003#"
                                  << "x BETWEEN '2003-01-01 00:00:00' AND '2003-01-31 00:00:00'";
    QTest::newRow("lower-case delete") << "en_US"
                                       << "delete audit.* from Audit WHERE 1"
                                       << "delete from Audit WHERE 1";
    QTest::newRow("hash in a string") << "en_US"
                                      << "SELECT 1 WHERE Description = 'Order #5# sent'"
                                      << "SELECT 1 WHERE Description = 'Order #5# sent'";
    QTest::newRow("doubled quote in a string")
        << "en_US"
        << "SELECT 1 WHERE Description = 'it''s #1#' AND [When] > #1/2/2003#"
        << "SELECT 1 WHERE Description = 'it''s #1#' AND [When] > '2003-01-02 00:00:00'";
    QTest::newRow("hash in a bracketed name") << "en_US"
                                              << "SELECT [#x#] FROM t"
                                              << "SELECT [#x#] FROM t";
    QTest::newRow("back-quotes kept") << "en_US"
                                      << "SELECT `Level`, `When` FROM Audit"
                                      << "SELECT `Level`, `When` FROM Audit";
    QTest::newRow("DELETE inside a string stays") << "en_US"
                                                  << "SELECT 'DELETE Audit.* FROM Audit'"
                                                  << "SELECT 'DELETE Audit.* FROM Audit'";

    QTest::newRow("empty literal") << "en_US"
                                   << "SELECT 1 WHERE [When] > ## "
                                   << "";
    QTest::newRow("impossible date") << "en_US"
                                     << "SELECT 1 WHERE [When] > #13/13/2003#"
                                     << "";
    QTest::newRow("unterminated") << "en_US"
                                  << "SELECT 1 WHERE [When] > #3/9/2003"
                                  << "";
}

void tst_JetDialect::toSqlite()
{
    QFETCH(QString, locale);
    QFETCH(QString, jet);
    QFETCH(QString, sqlite);

    QLocale::setDefault(QLocale(locale));
    AuditError error;
    const auto result = JetDialect::toSqlite(jet, &error);
    if (sqlite.isEmpty()) {
        QVERIFY(!result);
        QCOMPARE(error.number, JetDialect::ErrorBadDateLiteral);
        QVERIFY(!error.description.isEmpty());
    } else {
        QVERIFY2(result, qPrintable(error.description));
        QCOMPARE(*result, sqlite);
    }
}

QTEST_GUILESS_MAIN(tst_JetDialect)
#include "tst_jetdialect.moc"
