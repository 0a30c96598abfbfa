#include "ArialMetrics.h"
#include "BandLayoutEngine.h"
#include "CharacterGridMetrics.h"
#include "MemoryRowSource.h"
#include "ReportLayouts.h"
#include "ReportPageSink.h"
#include "ReportPaginator.h"

#include <QtTest>

// Pagination without any output: how rows flow onto pages, how can-grow
// elements push the rest of a band down, and where bands are cut or moved.
class tst_LayoutPagination : public QObject
{
    Q_OBJECT

private slots:
    void summaryPageCount_data();
    void summaryPageCount();
    void keepTogetherMovesWholeBand_data();
    void keepTogetherMovesWholeBand();
    void bandTallerThanPageIsSplitAtLines();
    void canGrowPushesElementsBelow();
};

namespace {

// Records what the paginator hands to a back end.
class RecordingSink : public ReportPageSink
{
public:
    struct Slice
    {
        int page;
        ReportBand::Kind kind;
        int originY;
        int sliceTop;
        int sliceBottom;
        int height;
        QStringList texts; // every text line drawn in the slice, in element order
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
        Slice slice{current, band.band->kind, originY, sliceTop, sliceBottom, band.height, {}};
        for (const LaidOutElement& item : band.elements) {
            for (int i = 0; i < item.lines.size(); ++i) {
                if (item.lineTop(i) >= sliceTop && item.lineTop(i) < sliceBottom)
                    slice.texts.append(item.lines.at(i));
            }
        }
        slices.append(slice);
        return true;
    }
    bool endPage() override { return true; }
    bool endDocument() override { return true; }

    QList<Slice> of(ReportBand::Kind kind) const
    {
        QList<Slice> found;
        for (const Slice& s : slices) {
            if (s.kind == kind)
                found.append(s);
        }
        return found;
    }

    int announced = 0;
    int current = 0;
    QList<Slice> slices;
};

const QStringList Columns{"AutoIndex", "Level",      "Error",    "Description",
                          "Application", "When",     "User",     "Details",
                          "Path",        "Unattended", "Response", "TaskList"};

QVariantList entry(int index, const QString& description = QStringLiteral("Short"))
{
    return {index, 1, 100 + index, description, "Translator", "2003-03-15 14:05:00",
            "operator", "", "", 0, "", ""};
}

// Both passes, as the renderers run them; returns the drawing pass's record.
RecordingSink paginate(const ReportLayout& layout, const ReportTextMetrics& metrics,
                       MemoryRowSource& rows, int* pages = nullptr)
{
    ReportPaginator counter(layout, metrics);
    const bool counted = counter.run(rows, nullptr, 0);
    RecordingSink sink;
    ReportPaginator paginator(layout, metrics);
    const bool drawn = paginator.run(rows, &sink, counter.pages());
    if (!counted || !drawn)
        qWarning() << "pagination failed:" << paginator.error().description;
    if (pages)
        *pages = counted && drawn && counter.pages() == paginator.pages() ? paginator.pages() : -1;
    return sink;
}

// A plain layout for exact sums: paper 10000 high with 1000 margins and a
// page header 1000 high (7000 left for rows); a detail band of detailHeight
// with a text box at its top and one at its bottom.
ReportLayout testLayout(int detailHeight, bool keepTogether, bool canGrow)
{
    ReportLayout layout(QStringLiteral("test"));
    layout.setPaperSize(QSize(12000, 10000));
    layout.setMargins(1000);
    layout.band(ReportBand::PageHeader).height = 1000;
    layout.band(ReportBand::PageHeader).elements = {
        ReportElement::label("Page", "Page %p of %P", 0, 0, 4000, 240)};
    ReportBand& detail = layout.band(ReportBand::Detail);
    detail.height = detailHeight;
    detail.keepTogether = keepTogether;
    ReportElement text = ReportElement::textBox("Text", "Description", 0, 0, 800, 240);
    text.canGrow = canGrow;
    detail.elements = {text,
                       ReportElement::textBox("Below", "User", 0, detailHeight - 240, 800, 240)};
    return layout;
}

} // namespace

void tst_LayoutPagination::summaryPageCount_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("pages");
    // 15840 - 2 * 720 margins - 841 header = 13559 twips: 50 rows of 269.
    QTest::newRow("no rows: one page with its header") << 0 << 1;
    QTest::newRow("one row") << 1 << 1;
    QTest::newRow("exactly one page") << 50 << 1;
    QTest::newRow("one more") << 51 << 2;
    QTest::newRow("two full pages") << 100 << 2;
    QTest::newRow("many") << 1001 << 21;
}

void tst_LayoutPagination::summaryPageCount()
{
    QFETCH(int, rows);
    QFETCH(int, pages);
    ReportLayout layout = ReportLayouts::dataReportSummary();
    layout.setMargins(720);
    MemoryRowSource source(Columns);
    for (int i = 1; i <= rows; ++i)
        source.addRow(entry(i));

    int counted = 0;
    const RecordingSink sink = paginate(layout, ArialMetrics(), source, &counted);
    QCOMPARE(counted, pages);
    QCOMPARE(sink.announced, pages);
    QCOMPARE(source.startCount(), 2);
    QCOMPARE(sink.of(ReportBand::Detail).size(), rows); // no row split or lost
    QCOMPARE(sink.of(ReportBand::PageHeader).size(), pages);
    // Rows follow each other without gaps and end above the bottom margin.
    for (const auto& slice : sink.of(ReportBand::Detail)) {
        QCOMPARE(slice.height, 269);
        QVERIFY(slice.originY + slice.height <= 15840 - 720);
    }
}

void tst_LayoutPagination::keepTogetherMovesWholeBand_data()
{
    QTest::addColumn<bool>("keepTogether");
    QTest::newRow("kept together") << true;
    QTest::newRow("may be split") << false;
}

void tst_LayoutPagination::keepTogetherMovesWholeBand()
{
    QFETCH(bool, keepTogether);
    // Rows of 3000 twips: two fit in 7000, the third has 1000 left on page 1.
    ReportLayout layout = testLayout(3000, keepTogether, false);
    MemoryRowSource source(Columns);
    for (int i = 1; i <= 3; ++i)
        source.addRow(entry(i));

    int pages = 0;
    const RecordingSink sink = paginate(layout, CharacterGridMetrics(), source, &pages);
    QCOMPARE(pages, 2);
    const QList<RecordingSink::Slice> details = sink.of(ReportBand::Detail);
    if (keepTogether) {
        QCOMPARE(details.size(), 3);
        const RecordingSink::Slice third = details.at(2);
        QCOMPARE(third.page, 2);
        QCOMPARE(third.originY, 2000); // right below the header of page 2
        QCOMPARE(third.sliceTop, 0);
        QCOMPARE(third.sliceBottom, 3000);
    } else {
        // Split where page 1 ends: the first 1000 twips there, the rest on page 2.
        QCOMPARE(details.size(), 4);
        QCOMPARE(details.at(2).page, 1);
        QCOMPARE(details.at(2).sliceTop, 0);
        QCOMPARE(details.at(2).sliceBottom, 1000);
        QCOMPARE(details.at(2).texts, QStringList{"Short"});
        QCOMPARE(details.at(3).page, 2);
        QCOMPARE(details.at(3).sliceTop, 1000);
        QCOMPARE(details.at(3).sliceBottom, 3000);
        QCOMPARE(details.at(3).originY, 2000 - 1000);
        QCOMPARE(details.at(3).texts, QStringList{"operator"});
    }
}

void tst_LayoutPagination::bandTallerThanPageIsSplitAtLines()
{
    // One text of 80 lines (240 twips each) in a kept-together band: more than
    // two pages of 7000 twips. Every line is drawn exactly once, whole.
    ReportLayout layout = testLayout(480, true, true);
    QStringList words;
    for (int i = 0; i < 80; ++i)
        words.append(QStringLiteral("w%1").arg(i, 7, 10, QLatin1Char('0'))); // 8 columns each
    MemoryRowSource source(Columns, {entry(1, words.join(' '))});

    int pages = 0;
    const RecordingSink sink = paginate(layout, CharacterGridMetrics(), source, &pages);
    QCOMPARE(pages, 3);
    QStringList drawn;
    int previousEnd = 0;
    for (const auto& slice : sink.of(ReportBand::Detail)) {
        QCOMPARE(slice.sliceTop, previousEnd); // slices follow each other
        QCOMPARE(slice.sliceTop % 240, 0);     // cut between lines
        QVERIFY(slice.originY + slice.sliceBottom <= 10000 - 1000);
        previousEnd = slice.sliceBottom;
        drawn += slice.texts;
    }
    QCOMPARE(previousEnd, 80 * 240 + 240);
    drawn.removeAll(QStringLiteral("operator"));
    QCOMPARE(drawn, words);
}

void tst_LayoutPagination::canGrowPushesElementsBelow()
{
    ReportBand band;
    band.kind = ReportBand::Detail;
    band.height = 600;
    ReportElement grower = ReportElement::textBox("Grow", "Description", 160, 0, 800, 240);
    grower.canGrow = true;
    band.elements = {
        grower,
        ReportElement::textBox("Beside", "User", 1200, 0, 800, 240),
        ReportElement::textBox("Below", "Path", 160, 240, 800, 240),
        ReportElement::verticalLine("Rule", 80, 0, 480),
        ReportElement::horizontalLine("Under", 80, 480, 1000),
    };
    const CharacterGridMetrics metrics;
    BandLayoutEngine engine(band, metrics);
    LaidOutBand laidOut;
    // 10 columns wide: "one two three four five" takes three lines.
    engine.layout({"one two three four five", "beside", "below", "", ""}, &laidOut);

    QCOMPARE(laidOut.elements.at(0).lines, (QStringList{"one two", "three four", "five"}));
    QCOMPARE(laidOut.elements.at(0).height, 720);
    QCOMPARE(laidOut.elements.at(1).top, 0);   // beside it: stays
    QCOMPARE(laidOut.elements.at(2).top, 720); // below it: moved by 480
    QCOMPARE(laidOut.elements.at(3).top, 0);
    QCOMPARE(laidOut.elements.at(3).height, 960); // the rule spans the grown rows
    QCOMPARE(laidOut.elements.at(4).top, 960);
    QCOMPARE(laidOut.height, 1080);

    // Short text: nothing moves.
    engine.layout({"short", "beside", "below", "", ""}, &laidOut);
    QCOMPARE(laidOut.elements.at(2).top, 240);
    QCOMPARE(laidOut.height, 600);
}

QTEST_GUILESS_MAIN(tst_LayoutPagination)
#include "tst_layoutpagination.moc"
