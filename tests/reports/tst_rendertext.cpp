#include "ReportTestData.h"
#include "ZlkApi.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

// The plain-text back end read line by line, and the HTML back end: escaping
// and the one class="report-row" marker per row the mail library looks for.
class tst_RenderText : public QObject
{
    Q_OBJECT

private slots:
    void summaryTable();
    void blockLayouts_data();
    void blockLayouts();
    void pagesAndRows_data();
    void pagesAndRows();
    void htmlRowMarkers_data();
    void htmlRowMarkers();
    void htmlEscaping();
};

using namespace ReportTestData;

namespace {

QVariantList entry(int index, const QString& description,
                   const QString& when = QStringLiteral("2003-03-02 14:05:07"),
                   const QString& details = QString())
{
    return {index,       index % 4,        1000 + index,
            description, "Translator.exe", when,
            "operator",  details,          "/edi/in/" + QString::number(index) + ".x12",
            index % 2,   "Retried",        "Inbound"};
}

QString render(const QString& name, MemoryRowSource& rows, bool html = false,
               int* pages = nullptr, const QString& title = QStringLiteral("Audit Report"))
{
    ReportLayout layout = bound(name, &rows, 72, title);
    const QString text = rendered(layout, html, pages);
    // An export writes the pages as they are laid out and fills in the page
    // count as it copies them into the file: the same bytes.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("export"));
    QFile exported(file);
    ReportRenderer renderer(layout);
    if (!renderer.exportReport(html ? FormatKeyHtml : FormatKeyText, file) ||
        !exported.open(QIODevice::ReadOnly) || QString::fromUtf8(exported.readAll()) != text)
        return QStringLiteral("<export differs>");
    return text;
}

// The line that holds text, without the margin.
QString lineWith(const QStringList& lines, const QString& text)
{
    for (const QString& line : lines)
        if (line.contains(text))
            return line.trimmed();
    return QStringLiteral("<no line with \"%1\">").arg(text);
}

} // namespace

void tst_RenderText::summaryTable()
{
    MemoryRowSource rows(Columns);
    rows.addRow(entry(7, "Disk full"));
    rows.addRow(entry(12345, "A rather long description that has to wrap onto more lines",
                      "2003-11-30 00:15:00"));
    rows.addRow({8, 2, 3024, QStringLiteral("Größe – 中文\ttab"), "Loader", "not a date",
                 "someone.with.a.very.long.name", "", "", 0, "", ""});
    rows.addRow({2, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}});
    const QStringList lines = render("dataReportSummary", rows).split(QLatin1Char('\n'));
    // Date left, title centred over 2880-7200 twips, page number right-aligned to 10560.
    QVERIFY(lines.at(0).startsWith(QLatin1String("  3/15/2003 2:05 PM ")));
    QCOMPARE(lines.at(0).indexOf(QLatin1String("Audit Report")), 58);
    QCOMPARE(lines.at(0).indexOf(QLatin1String("Page 1 of 1")), 122);
    QCOMPARE(lines.at(0).size(), 133);
    QVERIFY(lines.at(2).startsWith(QLatin1String("   +"))); // the left margin
    const QString rule =
        QStringLiteral("+---------+-----+-------+--------------------------------------+-----------"
                       "--------------------+------------------------+---------+");
    // clang-format off
    const QStringList expected = {
        "",
        rule,
        "|AutoIndex|Level| Error |             Description              |          Application          |          When          |  User   |",
        rule,
        "|    7    |  3  | 1007  |Disk full                             |Translator.exe                 |     3/2/2003 2:05:07 PM|operator |",
        rule,
        "|  12345  |  1  | 13345 |A rather long description that has to |Translator.exe                 |  11/30/2003 12:15:00 AM|operator |",
        "|         |     |       |wrap onto more lines                  |                               |                        |         |",
        rule,
        "|    8    |  2  | 3024  |Größe – 中文 tab                      |Loader                         |              not a date|someone.w|",
        rule,
        "|    2    |     |       |                                      |                               |                        |         |",
        rule,
        "",
    };
    // clang-format on
    QStringList trimmed;
    for (const QString& line : lines.mid(1))
        trimmed.append(line.trimmed());
    QCOMPARE(trimmed, expected);
}

void tst_RenderText::blockLayouts_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QStringList>("expected");
    // clang-format off
    QTest::newRow("summary detail") << "dataReportSummaryDetail" << QStringList{
        "Error:  1007                    AutoIndex:  7",
        "Description:  Stopped: disk full",
        "Application:  Translator.exe                                                   User:  operator",
        "When:  03/02/2003 02:05 PM                                             Level:  3"};
    QTest::newRow("audit detail") << "datareportAuditDetail" << QStringList{
        "Error:  1007                    AutoIndex:  7",
        "Description:  Stopped: disk full",
        "Details:  first line of details",
        "second line",
        "Path:  /edi/in/7.x12",
        "When:  03/02/2003 02:05 PM                                          Response:  Retried",
        "Level:  3                        Task List  Inbound                Unattended:  Yes"};
    QTest::newRow("audit table") << "datareportAudit" << QStringList{
        "When                   Error     Description",
        "User                 Unattended  Path",
        "3/2/03 2:05 PM          1007     Stopped: disk full",
        "Translator.exe           3       first line of details",
        "second line",
        "operator                Yes      /edi/in/7.x12"};
    // clang-format on
}

void tst_RenderText::blockLayouts()
{
    QFETCH(QString, layout);
    QFETCH(QStringList, expected);
    MemoryRowSource rows(Columns, {entry(7, "Stopped: disk full", "2003-03-02 14:05:07",
                                         "first line of details\nsecond line")});
    const QStringList lines = render(layout, rows).split(QLatin1Char('\n'));
    for (const QString& text : expected)
        QCOMPARE(lineWith(lines, text), text);
    QCOMPARE(lineWith(lines, "---"), QString(124, QLatin1Char('-'))); // the rule over a block
}

void tst_RenderText::pagesAndRows_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<int>("pages");
    // Summary: 66 lines a page, 5 header lines, 2 lines a row: 30 rows a page.
    QTest::newRow("summary, one page") << "dataReportSummary" << 30 << 1;
    QTest::newRow("summary, next page") << "dataReportSummary" << 31 << 2;
    // Audit detail: 1 header line, 9 lines a block kept together: 7 blocks a page.
    QTest::newRow("audit detail") << "datareportAuditDetail" << 15 << 3;
    // No rows: no page at all, so that a mailed text report is "nothing to report".
    QTest::newRow("no rows") << "datareportAudit" << 0 << 0;
}

void tst_RenderText::pagesAndRows()
{
    QFETCH(QString, layout);
    QFETCH(int, rowCount);
    QFETCH(int, pages);
    MemoryRowSource rows(Columns);
    for (int i = 1; i <= rowCount; ++i)
        rows.addRow(entry(900000 + i, QStringLiteral("Entry %1").arg(i)));
    int rendered = 0;
    const QString text = render(layout, rows, false, &rendered);
    QCOMPARE(rendered, pages);
    QCOMPARE(text.isEmpty(), pages == 0);
    if (pages == 0)
        return;
    const QStringList pageTexts = text.split(QLatin1Char('\f'));
    QCOMPARE(pageTexts.size(), pages);
    for (int page = 1; page <= pages; ++page) {
        const QStringList lines = pageTexts.at(page - 1).split(QLatin1Char('\n'));
        QVERIFY(lines.size() <= 66 + 1);
        QVERIFY2(lines.first().endsWith(QStringLiteral("Page %1 of %2").arg(page).arg(pages)),
                 qPrintable(lines.first()));
    }
    int next = 1; // every row once, in order
    for (auto it = QRegularExpression("Entry (\\d+)").globalMatch(text); it.hasNext();)
        QCOMPARE(it.next().captured(1).toInt(), next++);
    QCOMPARE(next, rowCount + 1);
}

void tst_RenderText::htmlRowMarkers_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<int>("pages");
    for (const char* name : {"dataReportSummary", "dataReportSummaryDetail", "datareportAudit",
                             "datareportAuditDetail"}) {
        QTest::addRow("%s, no rows", name) << name << 0 << 1;
        QTest::addRow("%s, 150 rows", name) << name << 150 << 0;
    }
}

void tst_RenderText::htmlRowMarkers()
{
    QFETCH(QString, layout);
    QFETCH(int, rowCount);
    QFETCH(int, pages);
    MemoryRowSource rows(Columns);
    for (int i = 1; i <= rowCount; ++i)
        rows.addRow(entry(i, i % 7 ? QStringLiteral("Entry") : QString(300, QLatin1Char('w'))));
    int rendered = 0;
    const QString html = render(layout, rows, true, &rendered);
    QVERIFY(html.startsWith(QLatin1String("<!DOCTYPE html>")));
    QVERIFY(html.trimmed().endsWith(QLatin1String("</html>")));
    QCOMPARE(html.count(QLatin1String("class=\"report-row\"")), rowCount);
    if (rowCount == 0)
        QVERIFY(!html.contains(QLatin1String("report-row"))); // not in the style sheet either
    QVERIFY(pages == 0 ? rendered > 1 : rendered == pages);
    QCOMPARE(html.count(QLatin1String("<div class=\"page\"")), rendered);
    QVERIFY(html.contains(QStringLiteral(">Page %1 of %1</td>").arg(rendered)));

    // The mail library, reading the file (render() exported the same bytes), agrees.
    QTemporaryDir dir;
    QVERIFY(ProgramRun::writeFile(dir.filePath(QStringLiteral("report.html")), html.toUtf8()));
    QCOMPARE(Zlk::isHtmlEmpty(dir.filePath(QStringLiteral("report.html"))), rowCount == 0);
}

void tst_RenderText::htmlEscaping()
{
    MemoryRowSource rows(Columns);
    rows.addRow(entry(1, "<script>alert('x')</script> & \"quoted\" </td></table>"));
    rows.addRow({2, 0, 0, QStringLiteral("Größe – 中文 ✓"), "<b>app</b>", "2003-03-02 14:05:07",
                 "a&b", "", "", 0, "", ""});
    const QString html =
        render("datareportAudit", rows, true, nullptr, "<Title & \"more\">");
    QVERIFY(html.contains(
        QLatin1String("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; &quot;quoted&quot; "
                      "&lt;/td&gt;&lt;/table&gt;")));
    QVERIFY(html.contains(QLatin1String("&lt;b&gt;app&lt;/b&gt;")));
    QVERIFY(html.contains(QLatin1String(">a&amp;b<")));
    QVERIFY(html.contains(QLatin1String("<title>&lt;Title &amp; &quot;more&quot;&gt;</title>")));
    QVERIFY(html.contains(QStringLiteral("Größe – 中文 ✓")));
    QVERIFY(html.contains(QLatin1String("<meta charset=\"utf-8\">")));
    // Self-contained, and no markup from the values.
    QVERIFY(!html.contains(QRegularExpression("<link|<img|<script|<b>|src=|url\\(")));
}

QTEST_GUILESS_MAIN(tst_RenderText)
#include "tst_rendertext.moc"
