#include "SqlDate.h"

#include <QLocale>
#include <QtTest>

// Date literals as written into SQL text and read back, on month-first and
// day-first locales.
class tst_SqlDate : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    void literal_data();
    void literal();
    void literalReadsBackAsItsDate_data();
    void literalReadsBackAsItsDate();
    void readLocale_data();
    void readLocale();
};

void tst_SqlDate::literal_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("number");
    QTest::addColumn<QDate>("base");
    QTest::addColumn<QString>("expected");

    QTest::newRow("month first -7") << "en_US" << -7 << QDate(2003, 3, 15) << "3/8/2003";
    QTest::newRow("day first -7") << "en_GB" << -7 << QDate(2003, 3, 15) << "8/3/2003";
    QTest::newRow("dotted day first -7") << "de_DE" << -7 << QDate(2003, 3, 15) << "8/3/2003";
    QTest::newRow("month first 0") << "en_US" << 0 << QDate(2003, 3, 20) << "3/20/2003";
    QTest::newRow("day first 0, day over 12") << "en_GB" << 0 << QDate(2003, 3, 20) << "3/20/2003";
    QTest::newRow("day first, day equals month")
        << "en_GB" << 0 << QDate(2003, 12, 12) << "12/12/2003";
    QTest::newRow("day first, day 12") << "en_GB" << -1 << QDate(2003, 1, 13) << "12/1/2003";
    QTest::newRow("across a year") << "en_US" << -1 << QDate(2004, 1, 1) << "12/31/2003";
    QTest::newRow("leap day") << "en_US" << -1 << QDate(2004, 3, 1) << "2/29/2004";
    QTest::newRow("thirty days back") << "en_US" << -30 << QDate(2003, 3, 15) << "2/13/2003";
    QTest::newRow("no leading zeros") << "en_US" << 0 << QDate(2003, 3, 4) << "3/4/2003";
    QTest::newRow("tomorrow") << "en_US" << 1 << QDate(2003, 3, 15) << "3/16/2003";
}

void tst_SqlDate::literal()
{
    QFETCH(QString, locale);
    QFETCH(int, number);
    QFETCH(QDate, base);
    QFETCH(QString, expected);

    QLocale::setDefault(QLocale(locale));
    QCOMPARE(SqlDateLiteral(QStringLiteral("d"), number, base), expected);
}

void tst_SqlDate::literalReadsBackAsItsDate_data()
{
    QTest::addColumn<QString>("locale");
    QTest::newRow("month first") << "en_US";
    QTest::newRow("day first") << "en_GB";
    QTest::newRow("C") << "C";
}

// Whatever the locale, the dialect layer must read a literal as the date it
// was made from: every day of a leap year.
void tst_SqlDate::literalReadsBackAsItsDate()
{
    QFETCH(QString, locale);
    QLocale::setDefault(QLocale(locale));
    const QDate first(2004, 1, 1);
    for (int day = 0; day < 366; ++day) {
        const QDate date = first.addDays(day);
        const QString text = SqlDateLiteral(QStringLiteral("d"), 0, date);
        const auto read = ReadLocaleDateTime(text);
        QVERIFY2(read && read->date() == date, qPrintable(text));
    }
}

void tst_SqlDate::readLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("expected"); // invalid: not a date

    const auto at = [](int y, int m, int d, int h = 0, int min = 0, int s = 0) {
        return QDateTime(QDate(y, m, d), QTime(h, min, s), Qt::UTC);
    };
    QTest::newRow("month first") << "en_US"
                                 << "3/8/2003" << at(2003, 3, 8);
    QTest::newRow("day first") << "en_GB"
                               << "3/8/2003" << at(2003, 8, 3);
    QTest::newRow("day first swaps impossible month") << "en_GB"
                                                      << "3/15/2003" << at(2003, 3, 15);
    QTest::newRow("month first swaps impossible month") << "en_US"
                                                        << "15/3/2003" << at(2003, 3, 15);
    QTest::newRow("dots and dashes") << "de_DE"
                                     << "8.3.2003" << at(2003, 3, 8);
    QTest::newRow("blanks around") << "en_US"
                                   << "  3/8/2003 " << at(2003, 3, 8);
    QTest::newRow("iso") << "en_GB"
                         << "2003-03-08 08:30:05" << at(2003, 3, 8, 8, 30, 5);
    QTest::newRow("time") << "en_US"
                          << "1/1/2003 08:00" << at(2003, 1, 1, 8);
    QTest::newRow("pm") << "en_US"
                        << "1/1/2003 8:15 PM" << at(2003, 1, 1, 20, 15);
    QTest::newRow("midnight am") << "en_US"
                                 << "1/1/2003 12:00 AM" << at(2003, 1, 1);
    QTest::newRow("noon pm") << "en_US"
                             << "1/1/2003 12:00:30 pm" << at(2003, 1, 1, 12, 0, 30);
    QTest::newRow("two-digit year 20xx") << "en_US"
                                         << "1/2/03" << at(2003, 1, 2);
    QTest::newRow("two-digit year 19xx") << "en_US"
                                         << "1/2/45" << at(1945, 1, 2);

    QTest::newRow("no valid order") << "en_US"
                                    << "13/13/2003" << QDateTime();
    QTest::newRow("thirtieth of February") << "en_US"
                                           << "2/30/2003" << QDateTime();
    QTest::newRow("three-digit year") << "en_US"
                                      << "1/1/200" << QDateTime();
    QTest::newRow("hour 25") << "en_US"
                             << "1/1/2003 25:00" << QDateTime();
    QTest::newRow("pm hour 13") << "en_US"
                                << "1/1/2003 13:00 PM" << QDateTime();
    QTest::newRow("empty") << "en_US"
                           << "" << QDateTime();
    QTest::newRow("words") << "en_US"
                           << "yesterday" << QDateTime();
}

void tst_SqlDate::readLocale()
{
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(QDateTime, expected);

    QLocale::setDefault(QLocale(locale));
    const auto read = ReadLocaleDateTime(text);
    QCOMPARE(read.has_value(), expected.isValid());
    if (read)
        QCOMPARE(*read, expected);
}

QTEST_GUILESS_MAIN(tst_SqlDate)
#include "tst_sqldate.moc"
