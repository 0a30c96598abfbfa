#include "ArialMetrics.h"
#include "BandLayoutEngine.h"
#include "CharacterGridMetrics.h"
#include "ReportPageSink.h"
#include "ReportPaginator.h"
#include "ReportTestData.h"
#include "ReportValueFormatter.h"

#include <QtTest>

// Values to texts, texts to lines, and rows onto pages, without any output.
class tst_Layout : public QObject
{
    Q_OBJECT

private slots:
    void values_data();
    void values();
    void wrap_data();
    void wrap();
    void pageCount_data();
    void pageCount();
    void keepTogether_data();
    void keepTogether();
};

namespace {

// Records each band slice the paginator hands to a back end.
class RecordingSink : public ReportPageSink
{
public:
    struct Slice
    {
        int page;
        int originY;
        int sliceTop;
        int sliceBottom;
        QStringList texts; // the text lines drawn in the slice
    };

    bool beginDocument(int pageCount) override
    {
        announced = pageCount;
        return true;
    }
    bool beginPage(int page) override
    {
        current = page;
        return true;
    }
    bool drawBand(const LaidOutBand& band, int originY, int sliceTop, int sliceBottom) override
    {
        Slice slice{current, originY, sliceTop, sliceBottom, {}};
        for (const LaidOutElement& item : band.elements)
            for (int i = 0; i < item.lines.size(); ++i)
                if (item.lineTop(i) >= sliceTop && item.lineTop(i) < sliceBottom)
                    slice.texts.append(item.lines.at(i));
        if (band.band->kind == ReportBand::Detail)
            details.append(slice);
        else if (band.band->kind == ReportBand::PageHeader)
            pageTexts.append(slice.texts);
        return true;
    }
    bool endPage() override { return true; }
    bool endDocument() override { return true; }

    int announced = 0;
    int current = 0;
    QList<QStringList> pageTexts; // the page header's lines, per page
    QList<Slice> details;
};

MemoryRowSource rows(int count, const QString& description = QStringLiteral("Short"))
{
    MemoryRowSource source(ReportTestData::Columns);
    for (int i = 1; i <= count; ++i)
        source.addRow({i, 1, 100 + i, description, "Translator", "2003-03-15 14:05:00", "operator",
                       "", "", 0, "", ""});
    return source;
}

// As the renderers run it; pages is -1 when it fails.
RecordingSink paginate(const ReportLayout& layout, const ReportTextMetrics& metrics,
                       MemoryRowSource& source, int* pages)
{
    RecordingSink sink;
    ReportPaginator paginator(layout, metrics);
    *pages = paginator.run(source, sink) ? paginator.pages() : -1;
    return sink;
}

} // namespace

void tst_Layout::values_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("format"); // "(date)", "(time)": the page header's short forms
    QTest::addColumn<QString>("expected");
    const QLocale us(QLocale::English, QLocale::UnitedStates), c = QLocale::c();
    const QLocale de(QLocale::German, QLocale::Germany);
    const QString longDate = QStringLiteral("mm/dd/yyyy hh:nn AM/PM");
    const QString shortDate = QStringLiteral("m/d/yy h:nn AM/PM");
    const QVariant when("2003-03-05 14:07:09");
    const QVariant time(QDateTime(QDate(2003, 3, 5), QTime(14, 7, 9)));
    // clang-format off
    QTest::newRow("long date") << us << when << longDate << "03/05/2003 02:07 PM";
    QTest::newRow("long date, after midnight") << us << QVariant("2003-11-30 00:05:00") << longDate << "11/30/2003 12:05 AM";
    QTest::newRow("short date") << us << when << shortDate << "3/5/03 2:07 PM";
    QTest::newRow("general date") << us << when << "General Date" << "3/5/2003 2:07:09 PM";
    QTest::newRow("names and literals") << us << when << "dddd d mmmm yyyy \"at\" h\\h nn" << "Wednesday 5 March 2003 at 14h 07";
    QTest::newRow("no date") << us << QVariant("yesterday") << longDate << "yesterday";
    QTest::newRow("null date") << us << QVariant() << longDate << "";
    QTest::newRow("yes from -1") << us << QVariant(-1) << "Yes/No" << "Yes";
    QTest::newRow("no from False") << us << QVariant("False") << "Yes/No" << "No";
    QTest::newRow("null yes/no") << us << QVariant() << "Yes/No" << "";
    QTest::newRow("number") << us << QVariant(qlonglong(1234567)) << "" << "1234567";
    QTest::newRow("en_US header") << us << time << "(date)" << "3/5/2003";
    QTest::newRow("en_US header time") << us << time << "(time)" << "2:07 PM";
    QTest::newRow("C general date") << c << when << "General Date" << "3/5/2003 14:07:09";
    QTest::newRow("C header") << c << time << "(date)" << "3/5/2003";
    QTest::newRow("C header time") << c << time << "(time)" << "14:07:09";
    QTest::newRow("de_DE general date") << de << when << "General Date" << "05.03.2003 14:07:09";
    QTest::newRow("de_DE header") << de << time << "(date)" << "05.03.2003";
    QTest::newRow("de_DE header time") << de << time << "(time)" << "14:07";
    // clang-format on
}

void tst_Layout::values()
{
    QFETCH(QLocale, locale);
    QFETCH(QVariant, value);
    QFETCH(QString, format);
    const ReportValueFormatter formatter(locale);
    const QDateTime t = value.toDateTime();
    QTEST(format == "(date)"   ? formatter.shortDate(t.date())
          : format == "(time)" ? formatter.shortTime(t.time())
                               : formatter.format(value, format),
          "expected");
}

void tst_Layout::wrap_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<QStringList>("lines");
    // Whether a line was broken for the width or lines were left out.
    QTest::addColumn<bool>("cut");
    // clang-format off
    QTest::newRow("at blanks") << "one two three four" << 9 << 0 << QStringList{"one two", "three", "four"} << true;
    QTest::newRow("blanks at a break") << "one     two" << 5 << 0 << QStringList{"one", "two"} << true;
    QTest::newRow("long word cut") << "abcdefghijklmnop" << 6 << 0 << QStringList{"abcdef", "ghijkl", "mnop"} << true;
    QTest::newRow("line breaks") << "a\nb\r\nc\rd\n\ne" << 10 << 0 << QStringList{"a", "b", "c", "d", "", "e"} << false;
    QTest::newRow("tab is a blank") << "  a\tb" << 10 << 0 << QStringList{"  a b"} << false;
    QTest::newRow("cut to one line") << "one two three" << 9 << 1 << QStringList{"one two"} << true;
    QTest::newRow("lines left out") << "a\nb" << 9 << 1 << QStringList{"a"} << true;
    QTest::newRow("surrogate pair") << QString::fromUtf8("abc\xF0\x9F\x98\x80xyz") << 4 << 0 << QStringList{"abc", QString::fromUtf8("\xF0\x9F\x98\x80xy"), "z"} << true;
    // clang-format on
}

void tst_Layout::wrap()
{
    QFETCH(QString, text);
    QFETCH(int, columns);
    QFETCH(int, maxLines);
    const CharacterGridMetrics grid;
    bool cut = false;
    QTEST(grid.wrap(text, columns * CharacterGridMetrics::ColumnTwips, ReportFont(), maxLines, &cut),
          "lines");
    QTEST(cut, "cut");
}

void tst_Layout::pageCount_data()
{
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<int>("pages");
    // 15840 - 2 * 720 margins - 841 header = 13559 twips: 50 rows of 269.
    QTest::newRow("no rows: one page") << 0 << 1;
    QTest::newRow("exactly one page") << 50 << 1;
    QTest::newRow("one more") << 51 << 2;
    QTest::newRow("many") << 1001 << 21;
    QTest::newRow("more than the pages kept in memory") << 15001 << 301;
}

void tst_Layout::pageCount()
{
    QFETCH(int, rowCount);
    QFETCH(int, pages);
    ReportLayout layout = ReportLayouts::dataReportSummary();
    layout.setMargins(720);
    MemoryRowSource source = rows(rowCount);
    int counted = 0;
    const RecordingSink sink = paginate(layout, ArialMetrics(), source, &counted);
    QCOMPARE(counted, pages);
    QCOMPARE(sink.announced, pages);

    QCOMPARE(source.startCount(), 1);        // the rows are read once
    QCOMPARE(sink.details.size(), rowCount); // no row split or lost
    for (const auto& slice : sink.details)
        QVERIFY(slice.originY + 269 <= 15840 - 720);
    // The page count reached every page header as it was laid out.
    QCOMPARE(sink.pageTexts.size(), pages);
    for (int page = 1; page <= pages; ++page)
        QVERIFY(sink.pageTexts.at(page - 1).contains(
            QStringLiteral("Page %1 of %2").arg(page).arg(pages)));
}

void tst_Layout::keepTogether_data()
{
    QTest::addColumn<bool>("keep");
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<QString>("slices"); // page:top-bottom@originY [texts] per detail slice
    // clang-format off
    QTest::newRow("kept together") << true << 3 << "1:0-3000@2000[Short,operator] 1:0-3000@5000[Short,operator] 2:0-3000@2000[Short,operator]";
    QTest::newRow("split at the page end") << false << 3 << "1:0-3000@2000[Short,operator] 1:0-3000@5000[Short,operator] 1:0-1000@8000[Short] 2:1000-3000@1000[operator]";
    QTest::newRow("taller than a page: cut between lines") << true << 1 << "1:0-6960@2000 2:6960-13920@-4960 3:13920-19440@-11920";
    // clang-format on
}

void tst_Layout::keepTogether()
{
    QFETCH(bool, keep);
    QFETCH(int, rowCount);
    QFETCH(QString, slices);
    // Paper 10000 high, margins 1000, header 1000: 7000 twips for rows.
    ReportLayout layout(QStringLiteral("test"));
    layout.setPaperSize(QSize(12000, 10000));
    layout.setMargins(1000);
    layout.band(ReportBand::PageHeader).height = 1000;
    ReportBand& detail = layout.band(ReportBand::Detail);
    detail.height = rowCount == 1 ? 480 : 3000;
    detail.keepTogether = keep;
    ReportElement text = ReportElement::textBox("Text", "Description", 0, 0, 800, 240);
    text.canGrow = true;
    detail.elements = {text,
                       ReportElement::textBox("Below", "User", 0, detail.height - 240, 800, 240)};
    QStringList words; // one row of 80 words, one line each
    for (int i = 0; rowCount == 1 && i < 80; ++i)
        words.append(QStringLiteral("w%1").arg(i, 7, 10, QLatin1Char('0')));
    MemoryRowSource source = rows(rowCount, rowCount == 1 ? words.join(' ') : "Short");

    int pages = 0;
    const RecordingSink sink = paginate(layout, CharacterGridMetrics(), source, &pages);
    QStringList drawn;
    QStringList texts;
    for (const auto& s : sink.details) {
        drawn << QStringLiteral("%1:%2-%3@%4")
                     .arg(s.page)
                     .arg(s.sliceTop)
                     .arg(s.sliceBottom)
                     .arg(s.originY);
        if (words.isEmpty())
            drawn.last() += QLatin1Char('[') + s.texts.join(',') + QLatin1Char(']');
        texts += s.texts;
    }
    QCOMPARE(drawn.join(' '), slices);
    QCOMPARE(pages, sink.details.last().page);
    if (!words.isEmpty())
        QCOMPARE(texts, words + QStringList{"operator"}); // every line once, whole
}

QTEST_GUILESS_MAIN(tst_Layout)
#include "tst_layout.moc"
