#include "AuditDatabase.h"
#include "AuditTestDb.h"
#include "ReportPreview.h"
#include "ReportPrinter.h"
#include "ReportTestData.h"
#include "SqlRowSource.h"
#include "TestEnvironment.h"
#include "WidgetHooks.h"

#include <QPageLayout>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

// PDF files (the PDF back end) and the painter back end read back with
// poppler's tools, the printer and preview, and failures: the renderer
// returns false, the layout's error handler is told once, and no output file
// is left behind.
class tst_RenderPdf : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void layoutsToPdf_data();
    void layoutsToPdf();
    void placement_data();
    void placement();
    void printerAndPreview();
    void exportFailures_data();
    void exportFailures();
    void sqlRows_data();
    void sqlRows();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

using ReportTestData::tool;

namespace {

// Rows whose reading fails after failAfter of them, as a database can (-1: never).
class Rows : public MemoryRowSource
{
public:
    explicit Rows(int count, int failAfter = -1)
        : MemoryRowSource(ReportTestData::Columns), m_failAfter(failAfter)
    {
        for (int i = 1; i <= count; ++i) {
            const QString description =
                i % 5 ? QStringLiteral("Entry%1 done").arg(i)
                      : QStringLiteral("Entry%1 with a long description that wraps onto a "
                                       "second line in every layout of the report")
                            .arg(i);
            addRow({i, i % 4, 3000 + i, description, "Translator", "2003-03-02 14:05:07",
                    "operator", "Details of entry", "/edi/in", i % 2, "Retried", "Inbound"});
        }
    }
    bool start(QString* error) override
    {
        m_read = 0;
        return MemoryRowSource::start(error);
    }
    bool next() override { return m_read++ != m_failAfter && MemoryRowSource::next(); }
    QString lastError() const override
    {
        return m_failAfter >= 0 && m_read > m_failAfter ? "database disk image is malformed" : "";
    }
    int lastErrorNumber() const override { return 11; }

private:
    int m_failAfter;
    int m_read = 0;
};

ReportLayout bound(const QString& name, ReportRowSource* source, QStringList* shown = nullptr)
{
    ReportLayout layout = ReportTestData::bound(name, source, 720, "Audit Detail Report");
    if (shown) {
        const QString prefix = layout.errorMessage(0, {}).chopped(4); // "... Error "
        layout.setErrorHandler([shown, prefix](int n, const QString& description) {
            shown->append(prefix + QString::number(n) + QStringLiteral(" - ") + description);
        });
    }
    return layout;
}

// pdfinfo says the file has that many Letter pages.
bool letterPages(const QString& file, int pages)
{
    const QString info = tool(QStringLiteral("pdfinfo"), {file});
    return info.contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\\n").arg(pages))) &&
           info.contains(QLatin1String("612 x 792 pts (letter)"));
}

} // namespace

void tst_RenderPdf::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_RenderPdf::layoutsToPdf_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QStringList>("headings");
    // clang-format off
    QTest::newRow("summary") << "dataReportSummary" << QStringList{"AutoIndex", "Level", "Description", "Application"};
    QTest::newRow("summary detail") << "dataReportSummaryDetail" << QStringList{"Error:", "AutoIndex:", "Description:"};
    QTest::newRow("audit") << "datareportAudit" << QStringList{"AutoIndex", "Unattended", "Path"};
    QTest::newRow("audit detail") << "datareportAuditDetail" << QStringList{"Details:", "Task List", "Unattended:"};
    // clang-format on
}

void tst_RenderPdf::layoutsToPdf()
{
    QFETCH(QString, layout);
    QFETCH(QStringList, headings);
    Rows source(60);
    ReportLayout report = bound(layout, &source);
    const QString file = m_dir->filePath(QStringLiteral("report.pdf"));
    ReportRenderer renderer(report);
    QVERIFY2(renderer.writePdf(file), qPrintable(renderer.lastError().description));
    const int pages = renderer.pageCount();
    QVERIFY(pages >= 2 && letterPages(file, pages));

    const QString text = tool(QStringLiteral("pdftotext"), {"-layout", file, "-"});
    const QStringList pageTexts = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    QCOMPARE(pageTexts.size(), pages);
    for (int page = 1; page <= pages; ++page) {
        const QString& pageText = pageTexts.at(page - 1);
        QVERIFY(pageText.contains(QLatin1String("Audit Detail Report")));
        QVERIFY(pageText.contains(QLatin1String("3/15/2003 2:05 PM")));
        QVERIFY(pageText.contains(QStringLiteral("Page %1 of %2").arg(page).arg(pages)));
        for (const QString& heading : std::as_const(headings))
            QVERIFY2(pageText.contains(heading), qPrintable(heading));
    }
    int next = 1; // every row once, in order, however the pages fell
    for (auto it = QRegularExpression("Entry(\\d+)").globalMatch(text); it.hasNext();)
        QCOMPARE(it.next().captured(1).toInt(), next++);
    QCOMPARE(next, 61);
    QVERIFY(text.contains(QLatin1String("second line"))); // the can-grow text wrapped
}

void tst_RenderPdf::placement_data()
{
    QTest::addColumn<bool>("painted"); // through a painter on a writer that keeps margins itself
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("edge");  // of the word's box: xMin, centre or xMax
    QTest::addColumn<double>("points"); // from the paper's left edge
    QTest::addColumn<double>("top");    // of the word's box from the paper's top; -1: any
    auto row = [](const char* name, bool painted, const char* word, const char* edge, double points,
                  double top = -1) {
        QTest::newRow(name) << painted << QString(word) << QString(edge) << points << top;
    };
    // The Summary at 720 twips margins; boxes less their 30-twip insets.
    row("left", false, "Entry1", "xMin", (720 + 2160 + 30) / 20.0);
    row("centred", false, "Description", "centre", (720 + 2056 + 3118 / 2.0) / 20);
    row("right", false, "PM", "xMax", (720 + 7741 + 2018 - 30) / 20.0);
    // The page header's date: margin 720 + 96 twips left, 720 + 144 down, 30 inset in its box.
    row("painted, from the paper's corner", true, "3/15/2003", "xMin", (720 + 96 + 30) / 20.0,
        (720 + 144) / 20.0);
}

void tst_RenderPdf::placement()
{
    QFETCH(bool, painted);
    QFETCH(QString, word);
    QFETCH(QString, edge);
    QFETCH(double, points);
    QFETCH(double, top);
    Rows source(1);
    ReportLayout report = bound("dataReportSummary", &source);
    const QString file = m_dir->filePath(QStringLiteral("placed.pdf"));
    if (painted) {
        const qreal margin = 25.4; // millimetres
        QPdfWriter writer(file);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait,
                                         QMarginsF(margin, margin, margin, margin),
                                         QPageLayout::Millimeter));
        QVERIFY(ReportRenderer(report).paint(&writer));
    } else {
        QVERIFY(ReportRenderer(report).writePdf(file));
    }
    const QString boxes = tool(QStringLiteral("pdftotext"), {"-bbox", file, "-"});
    QRegularExpressionMatch match; // the last one: the row's, not the page header's
    for (auto it = QRegularExpression(QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" "
                                                     "xMax=\"([\\d.]+)\"[^>]*>%1</word>")
                                          .arg(word))
                       .globalMatch(boxes);
         it.hasNext();)
        match = it.next();
    QVERIFY2(match.hasMatch(), qPrintable(boxes.left(800)));
    const double xMin = match.captured(1).toDouble();
    const double xMax = match.captured(3).toDouble();
    const double x = edge == "xMin" ? xMin : edge == "xMax" ? xMax : (xMin + xMax) / 2;
    QVERIFY2(qAbs(x - points) < 0.3, qPrintable(QString::number(x)));
    QVERIFY(top < 0 || qAbs(match.captured(2).toDouble() - top) < 2.0);
}

void tst_RenderPdf::printerAndPreview()
{
    Rows source(120);
    ReportLayout layout = bound("dataReportSummary", &source);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(m_dir->filePath(QStringLiteral("printed.pdf")));
    printer.setPageSize(QPageSize(QPageSize::A4)); // the layout's Letter paper wins
    QString error;
    QVERIFY2(ReportPrinter::print(layout, &printer, &error), qPrintable(error));
    QVERIFY(letterPages(printer.outputFileName(), 3));

    QStringList shown;
    ReportLayout audit = bound("datareportAudit", &source, &shown);
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        QVERIFY(!ReportPrinter::print(audit, nullptr, &error));
        QCOMPARE(error, QStringLiteral("No printer is installed."));
        QCOMPARE(shown, QStringList{"Audit Report Error 482 - No printer is installed."});
    }
    int pages = 0;
    QVERIFY(ReportTestData::rendered(audit, true, &pages).startsWith("<!DOCTYPE"));

    // The preview: modal, maximised, all pages; rows that cannot be read are told once.
    Rows unreadable(1, 0);
    audit.setCaption(QStringLiteral("Audit Report"));
    shown.clear();
    QString seen;
    const ModalHandler previous = SetModalHandler([&](QWidget* window) {
        auto* dialog = qobject_cast<QPrintPreviewDialog*>(window);
        QVERIFY(dialog);
        dialog->show();
        auto* view = dialog->findChild<QPrintPreviewWidget*>();
        view->updatePreview();
        seen = QStringLiteral("%1 modal %2 maximised %3 pages %4")
                   .arg(dialog->windowTitle())
                   .arg(dialog->isModal())
                   .arg(bool(dialog->windowState() & Qt::WindowMaximized))
                   .arg(view->pageCount());
        audit.setDataSource(&unreadable);
        view->updatePreview();
        view->updatePreview();
        dialog->close();
    });
    ReportPreview::show(audit);
    SetModalHandler(previous);
    QCOMPARE(seen, QStringLiteral("Audit Report modal 1 maximised 1 pages %1").arg(pages));
    QCOMPARE(shown.size(), 1);
}

void tst_RenderPdf::exportFailures_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("formatKey"); // "": PDF
    QTest::addColumn<QString>("target");    // in the test folder
    QTest::addColumn<int>("failAfter");     // -2: no data source; -3: the disk fills up
    QTest::addColumn<bool>("older");        // an older report is there and stays as it was
    QTest::addColumn<QString>("message");   // what the layout's handler shows
    const QString full = QStringLiteral("Audit Report Error 61 - ");
    // clang-format off
    QTest::newRow("folder missing") << "datareportAudit" << FormatKeyText << "missing/report.txt" << -1 << false << "Audit Report Error 75 - Cannot create ";
    QTest::newRow("target is a folder") << "dataReportSummaryDetail" << FormatKeyHtml << "folder" << -1 << false << "Audit Summary Report Error 75 - Cannot create ";
    QTest::newRow("unknown format key") << "datareportAuditDetail" << "key_def_PDF" << "report.pdf" << -1 << false << "Audit Report Error 5 - Unknown export format \"key_def_PDF\".";
    QTest::newRow("no data source") << "datareportAudit" << FormatKeyText << "report.txt" << -2 << false << "Audit Report Error 5 - The report has no data source.";
    QTest::newRow("rows fail half-way") << "datareportAuditDetail" << FormatKeyText << "report.txt" << 20 << false << "Audit Report Error 11 - database disk image is malformed";
    QTest::newRow("summary has no handler") << "dataReportSummary" << FormatKeyText << "missing/report.txt" << -1 << false << "";
    QTest::newRow("disk full, text") << "datareportAuditDetail" << FormatKeyText << "AuditRpt.out" << -3 << false << full;
    QTest::newRow("disk full, html") << "datareportAuditDetail" << FormatKeyHtml << "AuditRpt.out" << -3 << false << full;
    QTest::newRow("disk full, pdf") << "datareportAuditDetail" << "" << "AuditRpt.out" << -3 << false << full;
    QTest::newRow("pdf into a full device, which stays a device") << "datareportAuditDetail" << "" << "full.dev" << -1 << false << full;
    QTest::newRow("disk full, text over an older report") << "datareportAuditDetail" << FormatKeyText << "AuditRpt.out" << -3 << true << full;
    // clang-format on
}

void tst_RenderPdf::exportFailures()
{
    QFETCH(QString, layout);
    QFETCH(QString, formatKey);
    QFETCH(QString, target);
    QFETCH(int, failAfter);
    QFETCH(bool, older);
    QFETCH(QString, message);
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder")));
    // A ".dev" target is a node of the full device made here (root only), so
    // a fault cannot replace the machine's own /dev/full.
    const bool device = target.endsWith(QLatin1String(".dev"));
    const QString file = m_dir->filePath(target);
    if (device && ::mknod(QFile::encodeName(file).constData(), S_IFCHR | 0666, makedev(1, 7)) != 0)
        QSKIP("making a device node needs root");
    QVERIFY(!older || ProgramRun::writeFile(file, "previous report\n"));
    const bool diskFull = failAfter == -3;
    Rows rows(diskFull ? 3000 : 30, failAfter);
    QStringList shown;
    ReportLayout report = bound(layout, failAfter == -2 ? nullptr : &rows, &shown);
    ReportRenderer renderer(report);
    // Files of this process may not grow past 64 KiB: writes fail as on a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit limit = previous;
    limit.rlim_cur = diskFull ? 64 * 1024 : previous.rlim_cur;
    setrlimit(RLIMIT_FSIZE, &limit);
    const bool written =
        formatKey.isEmpty() ? renderer.writePdf(file) : renderer.exportReport(formatKey, file);
    setrlimit(RLIMIT_FSIZE, &previous);
    QVERIFY(!written);
    QCOMPARE(shown.size(), message.isEmpty() ? 0 : 1);
    QCOMPARE(shown.value(0).left(message.size()), message);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot),
             older ? QStringList{target} : QStringList());
    if (device)
        QVERIFY(QFileInfo(file).exists() && !QFileInfo(file).isFile());
    else
        QCOMPARE(ProgramRun::readFile(file), older ? "previous report\n" : QByteArray());
}

void tst_RenderPdf::sqlRows_data()
{
    QTest::addColumn<QString>("formatKey");
    QTest::newRow("text") << FormatKeyText;
    QTest::newRow("html") << FormatKeyHtml;
    QTest::newRow("pdf") << QString();
}

// A report of many pages runs its SELECT once, as built, and every page still
// names the page count; a render sees one snapshot while another program appends.
void tst_RenderPdf::sqlRows()
{
    QFETCH(QString, formatKey);
    TestEnvironment env;
    AuditTestDb db; // "Entry1".. one a minute from 1 March 2003 08:00, at levels 1, 2, 3, 0..
    QList<AuditEntry> entries;
    const QDateTime start(QDate(2003, 3, 1), QTime(8, 0));
    for (int i = 1; i <= 1200; ++i)
        entries << AuditTestDb::entry(i % 4, start.addSecs(i * 60), QString("Entry%1").arg(i));
    QVERIFY2(db.add(entries) && db.openShared(), qPrintable(db.errorString()));
    const QString select = QStringLiteral("SELECT Audit.* FROM Audit WHERE ((`Level` = 2)) AND "
                                          "`When` > #3/1/2003# ORDER BY [AutoIndex];");
    SqlRowSource rows(select);
    ReportLayout report = bound("dataReportSummary", &rows);
    env.recordSqlLog();
    ReportRenderer renderer(report);
    const QString file = m_dir->filePath(QStringLiteral("report"));
    QVERIFY(formatKey.isEmpty() ? renderer.writePdf(file) : renderer.exportReport(formatKey, file));
    rows.finish();
    QCOMPARE(env.sqlLog(QStringLiteral("jet")), QStringList{select});
    const int pages = renderer.pageCount();
    QVERIFY2(pages >= 5, qPrintable(QString::number(pages)));
    const QString content = formatKey.isEmpty() ? tool("pdftotext", {"-layout", file, "-"})
                                                : QString::fromUtf8(ProgramRun::readFile(file));
    for (int page = 1; page <= pages; ++page)
        QVERIFY(content.contains(QStringLiteral("Page %1 of %2").arg(page).arg(pages)));
    QCOMPARE(content.count(QRegularExpression(QStringLiteral("Entry\\d+\\b"))), 300);
    QVERIFY(content.contains(QRegularExpression(QStringLiteral("\\bEntry2\\b"))));
    QVERIFY(content.contains(QLatin1String("3/1/2003 8:02:00 AM")));

    auto count = [&] {
        int n = 0;
        for (bool ok = rows.start(nullptr); ok && rows.next();)
            ++n;
        return n;
    };
    QVERIFY(rows.start(nullptr) && rows.next()); // column names in any case, as in Jet
    QCOMPARE(rows.value(QStringLiteral("description")).toString(), QStringLiteral("Entry2"));
    QCOMPARE(count(), 300);
    QVERIFY(db.add(AuditTestDb::entry(2, QDateTime(QDate(2003, 3, 2), QTime(8, 0)))));
    QCOMPARE(count(), 300);
    rows.finish();
    QCOMPARE(count(), 301); // the next render sees it
    rows.finish();
    AuditDatabase::instance().close();
}

QTEST_MAIN(tst_RenderPdf)
#include "tst_renderpdf.moc"
