#include "JetDialect.h"
#include "SqlDate.h"

#include <QLocale>
#include <QtTest>

// Date literals as written into SQL text on month-first and day-first
// locales, read back, and turned into SQLite text by the dialect layer.
class tst_SqlDate : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void literal_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("number");
        QTest::addColumn<QDate>("base");
        QTest::addColumn<QString>("expected");
        auto row = [](const char* name, const QString& locale, int number, const QDate& base,
                      const QString& expected) {
            QTest::newRow(name) << locale << number << base << expected;
        };
        row("month first -7", "en_US", -7, QDate(2003, 3, 15), "3/8/2003");
        row("day first -7", "en_GB", -7, QDate(2003, 3, 15), "8/3/2003");
        row("day first, day over 12", "en_GB", 0, QDate(2003, 3, 20), "3/20/2003");
        row("day first, day 12", "en_GB", -1, QDate(2003, 1, 13), "12/1/2003");
        row("leap day", "en_US", -1, QDate(2004, 3, 1), "2/29/2004");
    }

    void literal()
    {
        QFETCH(QString, locale);
        QFETCH(int, number);
        QFETCH(QDate, base);
        QFETCH(QString, expected);
        QLocale::setDefault(QLocale(locale));
        QCOMPARE(SqlDateLiteral(QStringLiteral("d"), number, base), expected);
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
        QFETCH(QDateTime, expected);
        QLocale::setDefault(QLocale(locale));
        const auto read = ReadLocaleDateTime(text);
        QCOMPARE(read.value_or(QDateTime()), expected);
    }

    void toSqlite_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("jet");
        QTest::addColumn<QString>("sqlite"); // empty: rejected with error 3075
        auto row = [](const char* name, const QString& locale, const QString& jet,
                      const QString& sqlite) { QTest::newRow(name) << locale << jet << sqlite; };
        row("purge", "en_US", "DELETE Audit.* FROM Audit WHERE [When] < #3/9/2003#  AND Level <= 3",
            "DELETE FROM Audit WHERE [When] < '2003-03-09 00:00:00'  AND +Level <= 3");
        row("day first, date and time", "en_GB", "x > #8/3/2003 08:00#",
            "x > '2003-03-08 08:00:00'");
        row("hash in a string", "en_US", "x = 'it''s #1#' AND y > #1/2/2003#",
            "x = 'it''s #1#' AND y > '2003-01-02 00:00:00'");
        row("DELETE inside a string stays", "en_US", "SELECT 'DELETE Audit.* FROM Audit'",
            "SELECT 'DELETE Audit.* FROM Audit'");
        row("impossible date", "en_US", "SELECT 1 WHERE [When] > #13/13/2003#", "");
        row("unterminated", "en_US", "SELECT 1 WHERE [When] > #3/9/2003", "");
    }

    void toSqlite()
    {
        QFETCH(QString, locale);
        QFETCH(QString, jet);
        QFETCH(QString, sqlite);
        QLocale::setDefault(QLocale(locale));
        AuditError error;
        const auto result = JetDialect::toSqlite(jet, &error);
        QCOMPARE(result.value_or(QString()), sqlite);
        QCOMPARE(error.number, sqlite.isEmpty() ? JetDialect::ErrorBadDateLiteral : 0);
    }
};

QTEST_GUILESS_MAIN(tst_SqlDate)
#include "tst_sqldate.moc"
