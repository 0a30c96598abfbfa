#include "CharacterGridMetrics.h"
#include "ReportLayouts.h"
#include "ReportValueFormatter.h"

#include <QtTest>

// How values become texts, how texts break into lines, and what every one
// of the four layouts must satisfy.
class tst_LayoutFormat : public QObject
{
    Q_OBJECT

private slots:
    void values_data();
    void values();
    void localeForms_data();
    void localeForms();
    void wrap_data();
    void wrap();
    void layoutsFitThePage_data();
    void layoutsFitThePage();
};

void tst_LayoutFormat::values_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("expected");

    const QString longDate = QStringLiteral("mm/dd/yyyy hh:nn AM/PM");
    const QString shortDate = QStringLiteral("m/d/yy h:nn AM/PM");
    const QString general = QStringLiteral("General Date");
    const QString yesNo = QStringLiteral("Yes/No");

    QTest::newRow("long date, afternoon")
        << QVariant("2003-03-05 14:07:09") << longDate << "03/05/2003 02:07 PM";
    QTest::newRow("long date, after midnight")
        << QVariant("2003-11-30 00:05:00") << longDate << "11/30/2003 12:05 AM";
    QTest::newRow("long date, noon")
        << QVariant("2003-12-01 12:00:00") << longDate << "12/01/2003 12:00 PM";
    QTest::newRow("short date") << QVariant("2003-03-05 14:07:09") << shortDate << "3/5/03 2:07 PM";
    QTest::newRow("date value, not text")
        << QVariant(QDateTime(QDate(2003, 3, 5), QTime(14, 7))) << shortDate << "3/5/03 2:07 PM";
    QTest::newRow("general date with seconds")
        << QVariant("2003-03-05 14:07:09") << general << "3/5/2003 2:07:09 PM";
    QTest::newRow("names and literals")
        << QVariant("2003-03-05 14:07:09") << "dddd d mmmm yyyy \"at\" h\\h nn"
        << "Wednesday 5 March 2003 at 14h 07";
    QTest::newRow("no date: unchanged") << QVariant("yesterday") << longDate << "yesterday";
    QTest::newRow("null date") << QVariant() << longDate << "";
    QTest::newRow("yes from 1") << QVariant(1) << yesNo << "Yes";
    QTest::newRow("yes from -1") << QVariant(-1) << yesNo << "Yes";
    QTest::newRow("no from 0") << QVariant(0) << yesNo << "No";
    QTest::newRow("no from text 0") << QVariant("0") << yesNo << "No";
    QTest::newRow("no from text False") << QVariant("False") << yesNo << "No";
    QTest::newRow("null is blank") << QVariant() << yesNo << "";
    QTest::newRow("number as plain digits") << QVariant(qlonglong(1234567)) << ""
                                            << "1234567";
    QTest::newRow("text as it is") << QVariant("a < b & c") << ""
                                   << "a < b & c";
}

void tst_LayoutFormat::values()
{
    QFETCH(QVariant, value);
    QFETCH(QString, format);
    QFETCH(QString, expected);
    const ReportValueFormatter formatter(QLocale(QLocale::English, QLocale::UnitedStates));
    QCOMPARE(formatter.format(value, format), expected);
}

void tst_LayoutFormat::localeForms_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("general"); // a When in the summary
    QTest::addColumn<QString>("date");    // %d
    QTest::addColumn<QString>("time");    // %t
    QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates)
                           << "3/5/2003 2:07:09 PM"
                           << "3/5/2003"
                           << "2:07 PM";
    QTest::newRow("C: month first, 24 hours") << QLocale::c() << "3/5/2003 14:07:09"
                                              << "3/5/2003"
                                              << "14:07:09";
    QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany) << "05.03.2003 14:07:09"
                           << "05.03.2003"
                           << "14:07";
    QTest::newRow("en_GB") << QLocale(QLocale::English, QLocale::UnitedKingdom)
                           << "05/03/2003 14:07:09"
                           << "05/03/2003"
                           << "14:07";
}

void tst_LayoutFormat::localeForms()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, general);
    QFETCH(QString, date);
    QFETCH(QString, time);
    const ReportValueFormatter formatter(locale);
    QCOMPARE(formatter.format(QVariant("2003-03-05 14:07:09"), "General Date"), general);
    QCOMPARE(formatter.shortDate(QDate(2003, 3, 5)), date);
    QCOMPARE(formatter.shortTime(QTime(14, 7, 9)), time);
}

void tst_LayoutFormat::wrap_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("fits") << "short" << 10 << 0 << QStringList{"short"};
    QTest::newRow("exactly full") << "0123456789" << 10 << 0 << QStringList{"0123456789"};
    QTest::newRow("at blanks") << "one two three four" << 9 << 0
                               << QStringList{"one two", "three", "four"};
    QTest::newRow("blanks at a break dropped")
        << "one     two" << 5 << 0 << QStringList{"one", "two"};
    QTest::newRow("long word cut")
        << "abcdefghijklmnop" << 6 << 0 << QStringList{"abcdef", "ghijkl", "mnop"};
    QTest::newRow("line breaks kept")
        << "a\nb\r\nc\rd" << 10 << 0 << QStringList{"a", "b", "c", "d"};
    QTest::newRow("empty lines kept") << "a\n\nb" << 10 << 0 << QStringList{"a", "", "b"};
    QTest::newRow("leading blanks kept") << "  indented" << 20 << 0 << QStringList{"  indented"};
    QTest::newRow("tab is a blank") << "a\tb" << 10 << 0 << QStringList{"a b"};
    QTest::newRow("empty text: one empty line") << "" << 10 << 0 << QStringList{""};
    QTest::newRow("cut to one line") << "one two three" << 9 << 1 << QStringList{"one two"};
    QTest::newRow("surrogate pair not split")
        << QString::fromUtf8("abc\xF0\x9F\x98\x80xyz") << 4 << 0
        << QStringList{"abc", QString::fromUtf8("\xF0\x9F\x98\x80xy"), "z"};
}

void tst_LayoutFormat::wrap()
{
    QFETCH(QString, text);
    QFETCH(int, columns);
    QFETCH(int, maxLines);
    QFETCH(QStringList, lines);
    const CharacterGridMetrics grid;
    QCOMPARE(grid.wrap(text, columns * CharacterGridMetrics::ColumnTwips, ReportFont(), maxLines),
             lines);
}

void tst_LayoutFormat::layoutsFitThePage_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("dataReportSummary") << "dataReportSummary";
    QTest::newRow("dataReportSummaryDetail") << "dataReportSummaryDetail";
    QTest::newRow("datareportAudit") << "datareportAudit";
    QTest::newRow("datareportAuditDetail") << "datareportAuditDetail";
}

void tst_LayoutFormat::layoutsFitThePage()
{
    QFETCH(QString, name);
    const ReportLayout layout = ReportLayouts::byName(name);
    QCOMPARE(layout.name(), name);
    QCOMPARE(layout.band(ReportBand::ReportHeader).height, 0);
    QCOMPARE(layout.band(ReportBand::ReportFooter).height, 0);
    QVERIFY(layout.band(ReportBand::Detail).height > 0);
    // Inside Letter paper less half-inch margins.
    QVERIFY(layout.designWidth() <= 12240 - 2 * 720);

    for (int kind = 0; kind < ReportBand::KindCount; ++kind) {
        const ReportBand& band = layout.band(ReportBand::Kind(kind));
        for (const ReportElement& e : band.elements) {
            QVERIFY2(e.bottom() <= band.height + 1, qPrintable(e.name));
            QCOMPARE(e.font.family, QStringLiteral("Arial"));
            // Text boxes of one band never overlap: nothing is printed over anything.
            if (!e.isText())
                continue;
            for (const ReportElement& other : band.elements) {
                if (&other == &e || !other.isText())
                    continue;
                const bool apart = e.right() <= other.left || other.right() <= e.left ||
                                   e.bottom() <= other.top || other.bottom() <= e.top;
                QVERIFY2(apart, qPrintable(e.name + " overlaps " + other.name));
            }
        }
    }
    // The same holds on the character grid of the text output.
    const ReportLayout grid = CharacterGridMetrics::snapLayout(layout);
    const ReportBand& detail = grid.band(ReportBand::Detail);
    for (const ReportElement& e : detail.elements) {
        for (const ReportElement& other : detail.elements) {
            if (&other == &e || !e.isText() ||
                !(other.isText() || other.kind == ReportElementKind::VerticalLine))
                continue;
            const int otherRight = other.isText() ? other.right() : other.left + 1;
            const bool apart = e.right() <= other.left || otherRight <= e.left ||
                               e.bottom() <= other.top || other.bottom() <= e.top;
            QVERIFY2(apart, qPrintable(e.name + " meets " + other.name + " on the grid"));
        }
    }
}

QTEST_GUILESS_MAIN(tst_LayoutFormat)
#include "tst_layoutformat.moc"
