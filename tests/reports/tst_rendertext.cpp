#include "MemoryRowSource.h"
#include "ReportLayouts.h"
#include "ReportRenderer.h"

#include <QBuffer>
#include <QRegularExpression>
#include <QtTest>

// The plain-text back end read line by line: page header, column headings,
// boxes, wrapped and cut texts, formats, page breaks.
class tst_RenderText : public QObject
{
    Q_OBJECT

private slots:
    void summaryTable();
    void blockLayouts_data();
    void blockLayouts();
    void pagesAndRows_data();
    void pagesAndRows();
    void awkwardTexts();
};

namespace {

const QStringList Columns{"AutoIndex", "Level",      "Error",    "Description",
                          "Application", "When",     "User",     "Details",
                          "Path",        "Unattended", "Response", "TaskList"};

QVariantList entry(int index, const QString& description, const QString& when,
                   int unattended = 0, const QString& details = QString())
{
    return {index,     index % 4,  1000 + index, description, "Translator.exe", when,
            "operator", details,   "/edi/in/" + QString::number(index) + ".x12",
            unattended, "Retried", "Inbound"};
}

void bind(ReportLayout& layout, MemoryRowSource& rows)
{
    layout.setDataSource(&rows);
    layout.setMargins(72);
    layout.setTitle(QStringLiteral("Audit Report"));
    layout.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    layout.setPrintTime(QDateTime(QDate(2003, 3, 15), QTime(14, 5, 7)));
}

QString renderText(ReportLayout& layout, int* pages = nullptr)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ReportRenderer renderer(layout);
    if (!renderer.writeText(&buffer)) {
        qWarning() << renderer.lastError().description;
        return QString();
    }
    if (pages)
        *pages = renderer.pageCount();
    return QString::fromUtf8(buffer.data());
}

// The line that holds text, with its leading blanks (the margin) removed.
QString lineWith(const QStringList& lines, const QString& text)
{
    for (const QString& line : lines) {
        if (line.contains(text))
            return line.trimmed();
    }
    return QStringLiteral("<no line with \"%1\">").arg(text);
}

} // namespace

void tst_RenderText::summaryTable()
{
    MemoryRowSource rows(Columns);
    rows.addRow(entry(7, "Disk full", "2003-03-02 14:05:07"));
    rows.addRow(entry(12345, "A rather long description that has to wrap onto more lines",
                      "2003-11-30 00:15:00"));
    rows.addRow({8, 2, 3024, "Could not find file", "Loader", "2003-03-03 12:00:00",
                 "someone.with.a.very.long.name", "", "", 0, "", ""});
    ReportLayout layout = ReportLayouts::dataReportSummary();
    bind(layout, rows);

    const QStringList lines = renderText(layout).split(QLatin1Char('\n'));
    const QString rule = QStringLiteral(
        "+---------+-----+-------+--------------------------------------+------------------------"
        "-------+------------------------+---------+");
    // Date at the left, title centred over 2880-7200 twips, page number
    // right-aligned to 10560 twips: columns 58 and 122 counting the margin.
    QVERIFY(lines.at(0).startsWith(QLatin1String("  3/15/2003 2:05 PM ")));
    QCOMPARE(lines.at(0).indexOf(QLatin1String("Audit Report")), 58);
    QCOMPARE(lines.at(0).indexOf(QLatin1String("Page 1 of 1")), 122);
    QCOMPARE(lines.at(0).size(), 133);
    const QStringList expected = {
        "",
        rule,
        "|AutoIndex|Level| Error |             Description              |          Application  "
        "        |          When          |  User   |",
        rule,
        "|    7    |  3  | 1007  |Disk full                             |Translator.exe         "
        "        |     3/2/2003 2:05:07 PM|operator |",
        rule,
        "|  12345  |  1  | 13345 |A rather long description that has to |Translator.exe         "
        "        |  11/30/2003 12:15:00 AM|operator |",
        "|         |     |       |wrap onto more lines                  |                       "
        "        |                        |         |",
        rule,
        "|    8    |  2  | 3024  |Could not find file                   |Loader                 "
        "        |    3/3/2003 12:00:00 PM|someone.w|",
        rule,
        "",
    };
    QStringList trimmed;
    for (const QString& line : lines.mid(1))
        trimmed.append(line.trimmed());
    QCOMPARE(trimmed, expected);
    // The page keeps its left margin and the boxes line up under each other.
    QVERIFY(lines.at(2).startsWith(QLatin1String("   +")));
    QCOMPARE(lines.at(3).indexOf(QLatin1Char('|')), lines.at(2).indexOf(QLatin1Char('+')));
}

void tst_RenderText::blockLayouts_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("summary detail")
        << "dataReportSummaryDetail"
        << QStringList{"Error:  1007                    AutoIndex:  7",
                       "Description:  Stopped: disk full",
                       "Application:  Translator.exe                                                   "
                       "User:  operator",
                       "When:  03/02/2003 02:05 PM                                             Level:  3"};
    QTest::newRow("audit detail")
        << "datareportAuditDetail"
        << QStringList{"Error:  1007                    AutoIndex:  7",
                       "Description:  Stopped: disk full",
                       "Details:  first line of details",
                       "second line",
                       "Path:  /edi/in/7.x12",
                       "When:  03/02/2003 02:05 PM                                          "
                       "Response:  Retried",
                       "Level:  3                        Task List  Inbound                "
                       "Unattended:  Yes"};
    QTest::newRow("audit table")
        << "datareportAudit"
        << QStringList{"When                   Error     Description",
                       "User                 Unattended  Path",
                       "3/2/03 2:05 PM          1007     Stopped: disk full",
                       "Translator.exe           3       first line of details",
                       "second line",
                       "operator                Yes      /edi/in/7.x12"};
}

void tst_RenderText::blockLayouts()
{
    QFETCH(QString, layout);
    QFETCH(QStringList, expected);
    MemoryRowSource rows(Columns, {entry(7, "Stopped: disk full", "2003-03-02 14:05:07", 1,
                                        "first line of details\nsecond line")});
    ReportLayout report = ReportLayouts::byName(layout);
    bind(report, rows);
    const QStringList lines = renderText(report).split(QLatin1Char('\n'));

    QVERIFY(lines.first().trimmed().startsWith(QLatin1String("3/15/2003 2:05 PM")));
    QVERIFY(lines.first().endsWith(QLatin1String("Page 1 of 1")));
    for (const QString& text : expected)
        QCOMPARE(lineWith(lines, text), text);
    // A rule above each block, as wide as the layout's line.
    QCOMPARE(lineWith(lines, "---"), QString(124, QLatin1Char('-')));
}

void tst_RenderText::pagesAndRows_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<int>("pages");
    // Summary: 66 lines a page, 5 header lines, 2 lines a row: 30 rows a page
    // and one line to spare, which a row does not take without its rule.
    QTest::newRow("summary, no rows") << "dataReportSummary" << 0 << 1;
    QTest::newRow("summary, one page") << "dataReportSummary" << 30 << 1;
    QTest::newRow("summary, next page") << "dataReportSummary" << 31 << 2;
    // Audit detail: 1 header line, 9 lines a block: 7 blocks a page.
    QTest::newRow("audit detail, kept together") << "datareportAuditDetail" << 15 << 3;
}

void tst_RenderText::pagesAndRows()
{
    QFETCH(QString, layout);
    QFETCH(int, rowCount);
    QFETCH(int, pages);
    MemoryRowSource rows(Columns);
    for (int i = 1; i <= rowCount; ++i)
        rows.addRow(entry(900000 + i, QStringLiteral("Entry %1").arg(i), "2003-03-02 14:05:07"));
    ReportLayout report = ReportLayouts::byName(layout);
    bind(report, rows);
    int rendered = 0;
    const QString text = renderText(report, &rendered);
    QCOMPARE(rendered, pages);

    const QStringList pageTexts = text.split(QLatin1Char('\f'));
    QCOMPARE(pageTexts.size(), pages);
    for (int page = 1; page <= pages; ++page) {
        const QStringList lines = pageTexts.at(page - 1).split(QLatin1Char('\n'));
        QVERIFY(lines.size() <= 66 + 1); // 66 lines and what follows the last line break
        QVERIFY2(lines.first().endsWith(QStringLiteral("Page %1 of %2").arg(page).arg(pages)),
                 qPrintable(lines.first()));
    }
    // Every row once, in order.
    const QRegularExpression entryText(QStringLiteral("Entry (\\d+)"));
    int expectedNext = 1;
    for (auto it = entryText.globalMatch(text); it.hasNext();)
        QCOMPARE(it.next().captured(1).toInt(), expectedNext++);
    QCOMPARE(expectedNext, rowCount + 1);
}

void tst_RenderText::awkwardTexts()
{
    MemoryRowSource rows(Columns);
    rows.addRow(entry(1, QStringLiteral("Größe – naïve 中文\ttab\r\nnext line"),
                      "not a date", 0));
    rows.addRow({2, QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(),
                 QVariant(), QVariant(), QVariant(), QVariant(), QVariant()});
    ReportLayout layout = ReportLayouts::dataReportSummary();
    bind(layout, rows);
    const QString text = renderText(layout);

    // UTF-8 through and through; no control character but line breaks.
    QVERIFY(text.contains(QStringLiteral("|Größe – naïve 中文 tab")));
    QVERIFY(text.contains(QStringLiteral("|next line")));
    QVERIFY(!text.contains(QRegularExpression(QStringLiteral("[\\x00-\\x09\\x0b-\\x1f]"))));
    // A text that is no date prints as it is; nulls print nothing.
    QVERIFY(text.contains(QStringLiteral("not a date|")));
    QCOMPARE(lineWith(text.split('\n'), "|    2    |"),
             QStringLiteral("|    2    |     |       |                                      |     "
                            "                          |                        |         |"));
}

QTEST_GUILESS_MAIN(tst_RenderText)
#include "tst_rendertext.moc"
