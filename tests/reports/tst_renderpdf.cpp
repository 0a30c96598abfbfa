#include "AuditDatabase.h"
#include "AuditTestDb.h"
#include "MemoryRowSource.h"
#include "ReportLayouts.h"
#include "ReportPreview.h"
#include "ReportPrinter.h"
#include "ReportRenderer.h"
#include "SqlRowSource.h"
#include "TestEnvironment.h"
#include "WidgetHooks.h"

#include <QBuffer>
#include <QDir>
#include <QPageLayout>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>

// The painter back end on real PDF files read back with poppler's tools, the
// printer and preview, and failures: the renderer returns false, the layout's
// error handler is told once, and no output file is left behind.
class tst_RenderPdf : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void layoutsToPdf_data();
    void layoutsToPdf();
    void twipsFromPaperCorner();
    void printerAndPreview();
    void exportFailures_data();
    void exportFailures();
    void diskFullLeavesNothing_data();
    void diskFullLeavesNothing();
    void sqlRowsReadOnce_data();
    void sqlRowsReadOnce();
    void sqlRows();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

namespace {

const QStringList Columns{"AutoIndex",   "Level",      "Error",    "Description",
                          "Application", "When",       "User",     "Details",
                          "Path",        "Unattended", "Response", "TaskList"};

// Rows whose reading fails after failAfter of them, as a database can (-1: never).
class Rows : public MemoryRowSource
{
public:
    explicit Rows(int count, int failAfter = -1) : MemoryRowSource(Columns), m_failAfter(failAfter)
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
        return m_read > m_failAfter && m_failAfter >= 0
                   ? QStringLiteral("database disk image is malformed")
                   : QString();
    }
    int lastErrorNumber() const override { return 11; }

private:
    int m_failAfter;
    int m_read = 0;
};

ReportLayout bound(const QString& name, ReportRowSource* source, QStringList* shown = nullptr)
{
    ReportLayout layout = ReportLayouts::byName(name);
    layout.setDataSource(source);
    layout.setMargins(720);
    layout.setTitle(QStringLiteral("Audit Detail Report"));
    layout.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    layout.setPrintTime(QDateTime(QDate(2003, 3, 15), QTime(14, 5, 7)));
    if (shown) {
        const QString prefix = layout.errorMessage(0, {}).chopped(4); // "... Error "
        layout.setErrorHandler([shown, prefix](int n, const QString& description) {
            shown->append(prefix + QString::number(n) + QStringLiteral(" - ") + description);
        });
    }
    return layout;
}

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>").arg(program, process.readAllStandardError());
    return QString::fromUtf8(process.readAllStandardOutput());
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
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
    QVERIFY(pages >= 2);
    const QString info = run(QStringLiteral("pdfinfo"), {file});
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\\n").arg(pages))),
             qPrintable(info));
    QVERIFY(info.contains(QLatin1String("612 x 792 pts (letter)")));

    const QString text = run(QStringLiteral("pdftotext"), {"-layout", file, "-"});
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

void tst_RenderPdf::twipsFromPaperCorner()
{
    const qreal deviceMargin = 25.4; // millimetres a writer keeps free itself
    Rows source(1);
    ReportLayout report = bound("datareportAudit", &source);
    const QString file = m_dir->filePath(QStringLiteral("corner.pdf"));
    {
        QPdfWriter writer(file);
        writer.setPageLayout(
            QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait,
                        QMarginsF(deviceMargin, deviceMargin, deviceMargin, deviceMargin),
                        QPageLayout::Millimeter));
        QVERIFY(ReportRenderer(report).paint(&writer));
    }
    // The page header's date: margin 720 + 120 twips left, 720 + 24 down, 30 inset in its box.
    const QString boxes = run(QStringLiteral("pdftotext"), {"-bbox", file, "-"});
    const QRegularExpressionMatch match =
        QRegularExpression(
            QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\"[^>]*>3/15/2003</word>"))
            .match(boxes);
    QVERIFY2(match.hasMatch(), qPrintable(boxes.left(600)));
    QVERIFY(qAbs(match.captured(1).toDouble() - (720 + 120 + 30) / 20.0) < 0.5);
    QVERIFY(qAbs(match.captured(2).toDouble() - (720 + 24) / 20.0) < 2.0);
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
    QCOMPARE(printer.docName(), QStringLiteral("Audit Detail Report"));
    const QString info = run(QStringLiteral("pdfinfo"), {printer.outputFileName()});
    QVERIFY2(info.contains(QRegularExpression("Pages:\\s+3\\n")), qPrintable(info));
    QVERIFY(info.contains(QLatin1String("612 x 792 pts (letter)")));

    QStringList shown;
    ReportLayout audit = bound("datareportAudit", &source, &shown);
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        QVERIFY(!ReportPrinter::print(audit, nullptr, &error));
        QCOMPARE(error, QStringLiteral("No printer is installed."));
        QCOMPARE(shown, QStringList{"Audit Report Error 482 - No printer is installed."});
    }
    QBuffer html;
    html.open(QIODevice::WriteOnly);
    ReportRenderer counter(audit);
    QVERIFY(counter.writeHtml(&html));

    // The preview: modal, maximised, all pages; rows that cannot be read are told once.
    class Unreadable : public MemoryRowSource
    {
        bool start(QString* error) override
        {
            *error = QStringLiteral("database is locked");
            return false;
        }
    } unreadable;
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
    QCOMPARE(seen,
             QStringLiteral("Audit Report modal 1 maximised 1 pages %1").arg(counter.pageCount()));
    QCOMPARE(shown.size(), 1);
}

void tst_RenderPdf::exportFailures_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("formatKey");
    QTest::addColumn<QString>("target");  // in the test folder
    QTest::addColumn<int>("failAfter");   // -2: no data source
    QTest::addColumn<QString>("message"); // what the layout's handler shows
    // clang-format off
    QTest::newRow("folder missing") << "datareportAudit" << FormatKeyText << "missing/report.txt" << -1 << "Audit Report Error 75 - Cannot create ";
    QTest::newRow("target is a folder") << "dataReportSummaryDetail" << FormatKeyHtml << "folder" << -1 << "Audit Summary Report Error 75 - Cannot create ";
    QTest::newRow("unknown format key") << "datareportAuditDetail" << "key_def_PDF" << "report.pdf" << -1 << "Audit Report Error 5 - Unknown export format \"key_def_PDF\".";
    QTest::newRow("no data source") << "datareportAudit" << FormatKeyText << "report.txt" << -2 << "Audit Report Error 5 - The report has no data source.";
    QTest::newRow("rows fail half-way") << "datareportAuditDetail" << FormatKeyText << "report.txt" << 20 << "Audit Report Error 11 - database disk image is malformed";
    QTest::newRow("summary has no handler") << "dataReportSummary" << FormatKeyText << "missing/report.txt" << -1 << "";
    // clang-format on
}

void tst_RenderPdf::exportFailures()
{
    QFETCH(QString, layout);
    QFETCH(QString, formatKey);
    QFETCH(QString, target);
    QFETCH(int, failAfter);
    QFETCH(QString, message);
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder")));
    Rows rows(30, failAfter);
    QStringList shown;
    ReportLayout report = bound(layout, failAfter == -2 ? nullptr : &rows, &shown);
    ReportRenderer renderer(report);
    QVERIFY(!renderer.exportReport(formatKey, m_dir->filePath(target)));
    QCOMPARE(shown.size(), message.isEmpty() ? 0 : 1);
    QCOMPARE(shown.value(0).left(message.size()), message);
    QCOMPARE(filesIn(m_dir->path()), QStringList());
}

void tst_RenderPdf::diskFullLeavesNothing_data()
{
    QTest::addColumn<QString>("formatKey");
    QTest::addColumn<bool>("oldFile");
    QTest::newRow("text") << FormatKeyText << false;
    QTest::newRow("html") << FormatKeyHtml << false;
    QTest::newRow("pdf") << QString() << false;
    QTest::newRow("text over an older report") << FormatKeyText << true;
}

void tst_RenderPdf::diskFullLeavesNothing()
{
    QFETCH(QString, formatKey);
    QFETCH(bool, oldFile);
    const QString target = m_dir->filePath(QStringLiteral("AuditRpt.out"));
    QFile old(target);
    if (oldFile) {
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("previous report\n");
        old.close();
    }
    Rows rows(3000);
    QStringList shown;
    ReportLayout report = bound("datareportAuditDetail", &rows, &shown);
    ReportRenderer renderer(report);
    // Files of this process may not grow past 64 KiB: writes fail as on a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit limit = previous;
    limit.rlim_cur = 64 * 1024;
    setrlimit(RLIMIT_FSIZE, &limit);
    const bool written =
        formatKey.isEmpty() ? renderer.writePdf(target) : renderer.exportReport(formatKey, target);
    setrlimit(RLIMIT_FSIZE, &previous);
    QVERIFY(!written);
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().startsWith(QLatin1String("Audit Report Error 61 - ")),
             qPrintable(shown.first()));
    QCOMPARE(filesIn(m_dir->path()), oldFile ? QStringList{"AuditRpt.out"} : QStringList());
    if (oldFile) {
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("previous report\n"));
    }
}

void tst_RenderPdf::sqlRowsReadOnce_data()
{
    QTest::addColumn<QString>("formatKey");
    QTest::newRow("text") << FormatKeyText;
    QTest::newRow("html") << FormatKeyHtml;
    QTest::newRow("pdf") << QString();
}

// A report of many pages runs its SELECT once, as built, and every page
// still names the page count.
void tst_RenderPdf::sqlRowsReadOnce()
{
    QFETCH(QString, formatKey);
    TestEnvironment env;
    AuditTestDb db;
    QVERIFY2(db.isValid(), qPrintable(db.errorString()));
    const QDateTime start(QDate(2003, 3, 1), QTime(8, 0));
    for (int i = 1; i <= 300; ++i)
        QVERIFY(db.add(AuditTestDb::entry(2, start.addSecs(i * 60), QString("Entry%1").arg(i))));
    QVERIFY(db.openShared());
    const QString select = QStringLiteral(
        "SELECT Audit.* FROM Audit WHERE ((`Level` = 2)) ORDER BY [When], [AutoIndex];");
    SqlRowSource rows(select);
    ReportLayout report = bound("dataReportSummary", &rows);
    env.recordSqlLog();
    ReportRenderer renderer(report);
    const QString file = m_dir->filePath(QStringLiteral("report"));
    QVERIFY(formatKey.isEmpty() ? renderer.writePdf(file) : renderer.exportReport(formatKey, file));
    rows.finish();
    AuditDatabase::instance().close();
    QCOMPARE(env.sqlLog(QStringLiteral("jet")), QStringList{select});
    const int pages = renderer.pageCount();
    QVERIFY2(pages >= 5, qPrintable(QString::number(pages)));
    QString content;
    if (formatKey.isEmpty()) {
        content = run(QStringLiteral("pdftotext"), {"-layout", file, "-"});
    } else {
        QFile out(file);
        QVERIFY(out.open(QIODevice::ReadOnly));
        content = QString::fromUtf8(out.readAll());
    }
    for (int page = 1; page <= pages; ++page)
        QVERIFY(content.contains(QStringLiteral("Page %1 of %2").arg(page).arg(pages)));
}

void tst_RenderPdf::sqlRows()
{
    AuditTestDb db;
    QVERIFY2(db.isValid(), qPrintable(db.errorString()));
    const QDateTime start(QDate(2003, 3, 1), QTime(8, 0));
    for (int i = 1; i <= 40; ++i)
        QVERIFY(
            db.add(AuditTestDb::entry(i % 4, start.addSecs(i * 60), QString("Entry%1").arg(i))));
    QVERIFY(db.openShared());
    SqlRowSource rows(QStringLiteral("SELECT Audit.* FROM Audit WHERE ((`Level` = 2)) AND `When` > "
                                     "#3/1/2003# ORDER BY [AutoIndex];"));
    ReportLayout report = bound("dataReportSummary", &rows);
    QBuffer text;
    text.open(QIODevice::WriteOnly);
    QVERIFY(ReportRenderer(report).writeText(&text));
    const QString content = QString::fromUtf8(text.data());
    QCOMPARE(content.count(QRegularExpression(QStringLiteral("Entry\\d+"))), 10);
    QVERIFY(content.contains(QLatin1String("|Entry2 ")));
    QVERIFY(content.contains(QLatin1String("3/1/2003 8:02:00 AM|")));

    // A render sees one snapshot while another program appends.
    auto count = [&] {
        int n = 0;
        for (bool ok = rows.start(nullptr); ok && rows.next();)
            ++n;
        return n;
    };
    QVERIFY(rows.start(nullptr) && rows.next()); // column names in any case, as in Jet
    QCOMPARE(rows.value(QStringLiteral("description")).toString(), QStringLiteral("Entry2"));
    QCOMPARE(count(), 10);
    QVERIFY(db.add(AuditTestDb::entry(2, start.addDays(1))));
    QCOMPARE(count(), 10);
    rows.finish();
    QCOMPARE(count(), 11); // the next render sees it
    rows.finish();

    // A statement the database refuses: its error reaches the handler, no file is left.
    SqlRowSource bad(QStringLiteral("SELECT Audit.* FROM Audit WHERE [NoSuchColumn] = 1;"));
    QStringList shown;
    ReportLayout audit = bound("datareportAudit", &bad, &shown);
    QVERIFY(!ReportRenderer(audit).exportReport(FormatKeyHtml, m_dir->filePath("r.html")));
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().startsWith(QLatin1String("Audit Report Error 1 - no such column")),
             qPrintable(shown.first()));
    QCOMPARE(filesIn(m_dir->path()), QStringList());
    AuditDatabase::instance().close();
}

QTEST_MAIN(tst_RenderPdf)
#include "tst_renderpdf.moc"
