#include "ArialMetrics.h"
#include "BandLayoutEngine.h"
#include "ReportTestData.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <clocale>
#include <cwchar>

// Reports whose partners, users and paths are written in other scripts: text
// columns measured as a terminal shows them, the PDF's text layer and ink
// read back with poppler, the HTML as a mail client without the style sheet
// gets it.
class tst_ReportScripts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void textRowsEquallyWide_data();
    void textRowsEquallyWide();
    void cjkLinesGrowTheirBox();
    void pdfTextLayerAndInk();
    void htmlWithoutStyleSheet();
};

using namespace ReportTestData;

namespace {

// Description, application, user and path in one script each.
const QList<QStringList> Names{
    {"上海贸易有限公司 发票已拒收", "北京物流", "王小明", "/srv/edi/in/订单.x12"},
    {"株式会社東京物流 カタカナ受注", "横浜倉庫", "山田太郎", "/srv/edi/in/注文.edi"},
    {"شركة التجارة العربية رفض", "الرياض", "محمد", "/srv/edi/in/طلب.x12"},
    {"חברת משלוחים בע\"מ נדחה", "תל אביב", "דוד", "/srv/edi/in/הזמנה.x12"},
    {"Cafe\u0301 Zu\u0308rich Ünïcödé ß", "Mu\u0308nchen", "Jose\u0301", "/srv/edi/ñ.x12"},
    {"Sent (ACME) \\ 100% done", "Translator", "operator", "/edi/in"}, // a PDF string's escapes
    {"Shipment 📦 sent ✅", "Dock 🚚", "ops 👍", "/srv/edi/out/📦.x12"},
};

MemoryRowSource* rowsWith(const QList<QStringList>& names)
{
    auto* rows = new MemoryRowSource(Columns);
    int index = 1;
    for (const QStringList& n : names)
        rows->addRow({index++, 2, 3024, n[0], n[1], "2003-03-02 14:05:07", n[2], "Details", n[3], 0,
                      "Retried", "Inbound"});
    return rows;
}

// Columns a terminal gives the text, by the C library's own tables.
int displayWidth(const QString& text)
{
    const std::wstring wide = text.toStdWString();
    return wcswidth(wide.c_str(), wide.size());
}

} // namespace

void tst_ReportScripts::initTestCase()
{
    QVERIFY(std::setlocale(LC_CTYPE, "C.UTF-8"));
    QCOMPARE(displayWidth(QStringLiteral("中📦e\u0301")), 5); // the oracle itself
}

void tst_ReportScripts::textRowsEquallyWide_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("anchor"); // a caption that must stay in its column
    QTest::newRow("summary table") << "dataReportSummary" << "|";
    QTest::newRow("summary detail") << "dataReportSummaryDetail" << "User:";
    QTest::newRow("audit detail") << "datareportAuditDetail" << "Response:";
}

void tst_ReportScripts::textRowsEquallyWide()
{
    QFETCH(QString, layout);
    QFETCH(QString, anchor);
    std::unique_ptr<MemoryRowSource> rows(rowsWith(Names));
    ReportLayout report = bound(layout, rows.get(), 720, "Audit Log Summary");
    const QString text = rendered(report);
    for (const QStringList& n : Names)
        QVERIFY2(text.contains(n[2]), qPrintable(n[2])); // the value as stored
    // Where the anchor stands on each line that has it, in screen columns.
    QSet<int> widths;
    QSet<int> columns;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (anchor == QLatin1String("|") && line.trimmed().startsWith(anchor))
            widths.insert(displayWidth(line));
        const qsizetype at = line.indexOf(anchor);
        if (anchor != QLatin1String("|") && at >= 0)
            columns.insert(displayWidth(line.left(at)));
    }
    QCOMPARE(widths.size() + columns.size(), 1);
}

void tst_ReportScripts::cjkLinesGrowTheirBox()
{
    // A Description of two lines of ideographs in the summary's detail band:
    // lines spaced by the ideographs' face, the box as tall.
    const ReportLayout layout = ReportLayouts::byName(QStringLiteral("dataReportSummary"));
    const ReportBand& band = layout.band(ReportBand::Detail);
    QList<QString> texts(band.elements.size());
    qsizetype description = -1;
    for (qsizetype i = 0; i < band.elements.size(); ++i) {
        if (band.elements[i].field == QLatin1String("Description"))
            texts[description = i] = QString(20, QChar(0x8D38));
        else if (band.elements[i].field == QLatin1String("User"))
            texts[i] = QStringLiteral("op");
    }
    const ArialMetrics metrics;
    LaidOutBand out;
    BandLayoutEngine(band, metrics).layout(texts, &out);
    const LaidOutElement& item = out.elements.at(description);
    QCOMPARE(item.lines.size(), 2);
    QVERIFY(item.lineHeight > metrics.lineHeight(item.element->font));
    QCOMPARE(item.height, 2 * item.lineHeight);
}

void tst_ReportScripts::pdfTextLayerAndInk()
{
    QTemporaryDir dir;
    // The same report with the emoji row, and with its emoji blanked out.
    QList<QStringList> blanked = Names;
    for (QString& value : blanked.last())
        value.replace(QRegularExpression(QStringLiteral("[\\x{1F000}-\\x{1FAFF}\\x{2705}]")),
                      QStringLiteral("  "));
    QStringList files;
    for (const QList<QStringList>& names : {Names, blanked}) {
        std::unique_ptr<MemoryRowSource> rows(rowsWith(names));
        ReportLayout report = bound("datareportAuditDetail", rows.get(), 720, "Audit Log Summary");
        files.append(dir.filePath(QStringLiteral("%1.pdf").arg(files.size())));
        QVERIFY(ReportRenderer(report).writePdf(files.last()));
    }
    const QString info = tool(QStringLiteral("pdfinfo"), {files[0]});
    QVERIFY2(info.contains(QRegularExpression("Creator: +\\S")), qPrintable(info));
    QVERIFY(info.contains(QRegularExpression("Title: +Audit Log Summary")));

    // Each value as stored; Arabic is read back in its presentation forms.
    QString text = tool(QStringLiteral("pdftotext"), {files[0], QStringLiteral("-")});
    text.remove(QRegularExpression(QStringLiteral("[\\x{202A}-\\x{202E}]")));
    QString read;
    for (QChar c : text)
        read += c.unicode() >= 0xFB50 && c.unicode() <= 0xFEFF
                    ? QString(c).normalized(QString::NormalizationForm_KC)
                    : QString(c);
    read = read.normalized(QString::NormalizationForm_C);
    for (const QStringList& n : Names.mid(0, Names.size() - 1)) {
        for (const QString& value : n)
            QVERIFY2(read.contains(value.normalized(QString::NormalizationForm_C)),
                     qPrintable(value));
    }
    // Emoji print as ink: the page differs from the one where they are blank.
    for (const QString& file : files)
        tool(QStringLiteral("pdftoppm"), {"-r", "50", "-gray", "-f", "1", "-l", "1", file, file + ".img"});
    const QByteArray ink = ProgramRun::readFile(files[0] + ".img-1.pgm");
    QVERIFY(!ink.isEmpty() && ink != ProgramRun::readFile(files[1] + ".img-1.pgm"));
    // Each face is embedded as a subset, not whole: six faces in all here.
    const QString fonts = tool(QStringLiteral("pdffonts"), {files[0]});
    for (const char* face : {"LiberationSans-Regular", "DroidSansFallback", "Symbola"}) {
        QVERIFY2(
            fonts.contains(QRegularExpression(
                QStringLiteral("\\n[A-Z]{6}\\+%1\\S* +CID TrueType +\\S+ +yes yes yes").arg(face))),
            qPrintable(fonts));
    }
    QVERIFY(QFileInfo(files[0]).size() < 192 * 1024); // the whole Latin face alone is 136 KiB
}

void tst_ReportScripts::htmlWithoutStyleSheet()
{
    std::unique_ptr<MemoryRowSource> rows(rowsWith(Names));
    ReportLayout report = bound("dataReportSummary", rows.get(), 720, "Audit Log Summary");
    QString html = rendered(report, true);
    QVERIFY(html.contains(QLatin1String("<html lang=\"en\">")));
    QVERIFY(!html.contains(QLatin1String("overflow:hidden")));
    html.remove(QRegularExpression(QStringLiteral("<style>.*</style>"),
                                   QRegularExpression::DotMatchesEverythingOption));
    // Every ruled cell still draws its rules; every text cell finds its direction.
    const QRegularExpression cell(QStringLiteral("<td[^>]*>"));
    int ruled = 0;
    for (auto it = cell.globalMatch(html); it.hasNext();) {
        const QString tag = it.next().captured();
        for (const char* side : {"top", "bottom", "left", "right"}) {
            const bool hasClass = tag.contains(QRegularExpression(
                QStringLiteral("class=\"[^\"]*\\bb%1\\b").arg(QLatin1Char(side[0]))));
            QCOMPARE(tag.contains(QStringLiteral("border-%1:1px solid").arg(side)), hasClass);
            ruled += hasClass;
        }
        QCOMPARE(tag.contains(QLatin1String("dir=\"auto\"")),
                 tag.contains(QLatin1String("font-size")));
    }
    QVERIFY(ruled > 100);
    for (const QStringList& n : Names)
        QVERIFY2(html.contains(n[1]), qPrintable(n[1]));
}

QTEST_MAIN(tst_ReportScripts)
#include "tst_reportscripts.moc"
