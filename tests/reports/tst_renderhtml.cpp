#include "MemoryRowSource.h"
#include "ReportLayouts.h"
#include "ReportRenderer.h"
#include "ZlkApi.h"

#include <QBuffer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

// The HTML back end: one self-contained page, every value escaped, one
// class="report-row" marker per row and none without rows, which is what the
// mail library's empty-report test reads.
class tst_RenderHtml : public QObject
{
    Q_OBJECT

private slots:
    void rowMarkers_data();
    void rowMarkers();
    void escaping();
    void pagesAndBoxes();
};

namespace {

const QStringList Columns{"AutoIndex",   "Level",      "Error",    "Description",
                          "Application", "When",       "User",     "Details",
                          "Path",        "Unattended", "Response", "TaskList"};

QVariantList entry(int index, const QString& description = QStringLiteral("Entry"))
{
    return {index,      2,         3024,   description, "Loader", "2003-03-02 14:05:07",
            "operator", "details", "/edi", 1,           "",       ""};
}

QString renderHtml(ReportLayout& layout, MemoryRowSource& rows, int* pages = nullptr)
{
    layout.setDataSource(&rows);
    layout.setMargins(72);
    if (layout.title().isEmpty())
        layout.setTitle(QStringLiteral("Audit Detail Report"));
    layout.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ReportRenderer renderer(layout);
    if (!renderer.writeHtml(&buffer))
        return QString();
    if (pages)
        *pages = renderer.pageCount();
    return QString::fromUtf8(buffer.data());
}

} // namespace

void tst_RenderHtml::rowMarkers_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("rowCount");
    for (const char* name : {"dataReportSummary", "dataReportSummaryDetail", "datareportAudit",
                             "datareportAuditDetail"}) {
        QTest::addRow("%s, no rows", name) << name << 0;
        QTest::addRow("%s, 3 rows", name) << name << 3;
        QTest::addRow("%s, 150 rows over pages", name) << name << 150;
    }
}

void tst_RenderHtml::rowMarkers()
{
    QFETCH(QString, layout);
    QFETCH(int, rowCount);
    MemoryRowSource rows(Columns);
    for (int i = 1; i <= rowCount; ++i)
        rows.addRow(entry(i, i % 7 ? QStringLiteral("Entry") : QString(300, QLatin1Char('w'))));
    ReportLayout report = ReportLayouts::byName(layout);
    const QString html = renderHtml(report, rows);
    QVERIFY(html.startsWith(QLatin1String("<!DOCTYPE html>")));
    QVERIFY(html.trimmed().endsWith(QLatin1String("</html>")));

    QCOMPARE(html.count(QLatin1String("class=\"report-row\"")), rowCount);

    // Every table row spans all the columns of its page, so columns line up.
    const qsizetype columns = html.count(QLatin1String("<col ")) /
                              std::max<qsizetype>(1, html.count(QLatin1String("<colgroup>")));
    const QRegularExpression tableRow(QStringLiteral("<tr[^>]*>(.*?)</tr>"));
    const QRegularExpression cell(QStringLiteral("<td(?: colspan=\"(\\d+)\")?"));
    for (auto rowIt = tableRow.globalMatch(html); rowIt.hasNext();) {
        const QString cells = rowIt.next().captured(1);
        qsizetype spanned = 0;
        for (auto cellIt = cell.globalMatch(cells); cellIt.hasNext();) {
            const QRegularExpressionMatch c = cellIt.next();
            spanned += c.captured(1).isEmpty() ? 1 : c.captured(1).toInt();
        }
        QCOMPARE(spanned, columns);
    }
    if (rowCount == 0)
        QVERIFY(!html.contains(QLatin1String("report-row"))); // not in the style sheet either

    // The mail library, reading the file, comes to the same answer.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("report.html"));
    ReportRenderer renderer(report);
    QVERIFY(renderer.exportReport(FormatKeyHtml, file));
    QCOMPARE(Zlk::isHtmlEmpty(file), rowCount == 0);
}

void tst_RenderHtml::escaping()
{
    const QString nasty = QStringLiteral("<script>alert('x')</script> & \"quoted\" </td></table>");
    MemoryRowSource rows(Columns, {entry(1, nasty)});
    rows.addRow({2, 0, 0, QStringLiteral("Größe – 中文 ✓"), "<b>app</b>", "2003-03-02 14:05:07",
                 "a&b", "", "", 0, "", ""});
    ReportLayout layout = ReportLayouts::datareportAudit();
    layout.setTitle(QStringLiteral("<Title & \"more\">"));
    const QString html = renderHtml(layout, rows);

    QVERIFY(html.contains(
        QLatin1String("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; &quot;quoted&quot; "
                      "&lt;/td&gt;&lt;/table&gt;")));
    QVERIFY(html.contains(QLatin1String("&lt;b&gt;app&lt;/b&gt;")));
    QVERIFY(html.contains(QLatin1String(">a&amp;b<")));
    QVERIFY(!html.contains(QLatin1String("<script")));
    QVERIFY(!html.contains(QLatin1String("<b>")));
    QVERIFY(html.contains(QLatin1String("<title>&lt;Title &amp; &quot;more&quot;&gt;</title>")));
    QVERIFY(html.contains(QStringLiteral("Größe – 中文 ✓")));
    QVERIFY(html.contains(QLatin1String("<meta charset=\"utf-8\">")));
    // Self-contained: nothing loaded from elsewhere.
    QVERIFY(!html.contains(QRegularExpression(QStringLiteral("<link|<img|<script|src=|url\\("))));
}

void tst_RenderHtml::pagesAndBoxes()
{
    MemoryRowSource rows(Columns);
    for (int i = 1; i <= 60; ++i)
        rows.addRow(entry(i));
    ReportLayout layout = ReportLayouts::dataReportSummary();
    int pages = 0;
    const QString html = renderHtml(layout, rows, &pages);
    QCOMPARE(pages, 2);
    QCOMPARE(html.count(QLatin1String("<div class=\"page\"")), 2);
    QVERIFY(html.contains(QLatin1String(">Page 1 of 2</td>")));
    QVERIFY(html.contains(QLatin1String(">Page 2 of 2</td>")));
    QCOMPARE(html.count(QLatin1String(">Audit Detail Report</td>")), 2); // header on each page

    // A summary row: seven boxed values, each cell with rules left and right
    // and one under it.
    const QRegularExpression row(
        QStringLiteral("<tbody class=\"report-row\">\\n<tr[^>]*>(.*)</tr>"));
    const QRegularExpressionMatch match = row.match(html);
    QVERIFY(match.hasMatch());
    const QString cells = match.captured(1);
    for (const char* value :
         {">1<", ">2<", ">3024<", ">Entry<", ">Loader<", ">3/2/2003 2:05:07 PM<", ">operator<"}) {
        const qsizetype at = cells.indexOf(QLatin1String(value));
        QVERIFY2(at > 0, value);
        const qsizetype open = cells.lastIndexOf(QLatin1String("<td"), at);
        const QString cell = cells.mid(open, at - open);
        QVERIFY2(cell.contains(QLatin1String("bb")), qPrintable(cell));
        QVERIFY2(cell.contains(QLatin1String("br")), qPrintable(cell));
    }
}

QTEST_GUILESS_MAIN(tst_RenderHtml)
#include "tst_renderhtml.moc"
