#include "MemoryRowSource.h"
#include "ReportLayouts.h"
#include "ReportRenderer.h"

#include <QDir>
#include <QPageLayout>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

// The painter back end on real PDF files, read back with poppler's tools.
class tst_RenderPdf : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void layoutsToPdf_data();
    void layoutsToPdf();
    void twipsFromPaperCorner_data();
    void twipsFromPaperCorner();
    void failedPdfLeavesNothing();

private:
    QString run(const QString& program, const QStringList& arguments);
    QTemporaryDir m_dir;
};

namespace {

const QStringList Columns{"AutoIndex", "Level",      "Error",    "Description",
                          "Application", "When",     "User",     "Details",
                          "Path",        "Unattended", "Response", "TaskList"};

MemoryRowSource rows(int count)
{
    MemoryRowSource source(Columns);
    for (int i = 1; i <= count; ++i) {
        const QString description =
            i % 5 ? QStringLiteral("Entry%1 done").arg(i)
                  : QStringLiteral("Entry%1 with a long description that wraps onto a second "
                                   "line in every layout of the report")
                        .arg(i);
        source.addRow({i, i % 4, 3000 + i, description, "Translator", "2003-03-02 14:05:07",
                       "operator", "Details of entry", "/edi/in", i % 2, "Retried", "Inbound"});
    }
    return source;
}

void bind(ReportLayout& layout, MemoryRowSource& source)
{
    layout.setDataSource(&source);
    layout.setMargins(720);
    layout.setTitle(QStringLiteral("Audit Detail Report"));
    layout.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    layout.setPrintTime(QDateTime(QDate(2003, 3, 15), QTime(14, 5, 7)));
}

} // namespace

void tst_RenderPdf::initTestCase()
{
    QVERIFY(m_dir.isValid());
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
}

QString tst_RenderPdf::run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>").arg(program, process.readAllStandardError());
    return QString::fromUtf8(process.readAllStandardOutput());
}

void tst_RenderPdf::layoutsToPdf_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QStringList>("headings");
    QTest::newRow("summary") << "dataReportSummary"
                             << QStringList{"AutoIndex", "Level", "Description", "Application"};
    QTest::newRow("summary detail") << "dataReportSummaryDetail"
                                    << QStringList{"Error:", "AutoIndex:", "Description:"};
    QTest::newRow("audit") << "datareportAudit"
                           << QStringList{"AutoIndex", "Unattended", "Details", "Path"};
    QTest::newRow("audit detail") << "datareportAuditDetail"
                                  << QStringList{"Details:", "Task List", "Unattended:"};
}

void tst_RenderPdf::layoutsToPdf()
{
    QFETCH(QString, layout);
    QFETCH(QStringList, headings);
    MemoryRowSource source = rows(60);
    ReportLayout report = ReportLayouts::byName(layout);
    bind(report, source);
    const QString file = m_dir.filePath(layout + QStringLiteral(".pdf"));
    ReportRenderer renderer(report);
    QVERIFY2(renderer.writePdf(file), qPrintable(renderer.lastError().description));
    const int pages = renderer.pageCount();
    QVERIFY(pages >= 2);

    const QString info = run(QStringLiteral("pdfinfo"), {file});
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\\n").arg(pages))),
             qPrintable(info));
    QVERIFY(info.contains(QLatin1String("612 x 792 pts (letter)")));

    const QString text = run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file,
                                                          QStringLiteral("-")});
    const QStringList pageTexts = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    QCOMPARE(pageTexts.size(), pages);
    for (int page = 1; page <= pages; ++page) {
        const QString& pageText = pageTexts.at(page - 1);
        QVERIFY(pageText.contains(QLatin1String("Audit Detail Report")));
        QVERIFY(pageText.contains(QLatin1String("3/15/2003 2:05 PM")));
        QVERIFY2(pageText.contains(QStringLiteral("Page %1 of %2").arg(page).arg(pages)),
                 qPrintable(pageText.left(300)));
        for (const QString& heading : qAsConst(headings)) {
            if (layout.contains(QLatin1String("Detail")) || page == 1 || heading != "Details")
                QVERIFY2(pageText.contains(heading), qPrintable(heading));
        }
    }
    // Every row once, in order, however the pages fell.
    const QRegularExpression entry(QStringLiteral("Entry(\\d+)"));
    int next = 1;
    for (auto it = entry.globalMatch(text); it.hasNext();)
        QCOMPARE(it.next().captured(1).toInt(), next++);
    QCOMPARE(next, 61);
    QVERIFY(text.contains(QLatin1String("second line"))); // the can-grow text wrapped
}

void tst_RenderPdf::twipsFromPaperCorner_data()
{
    QTest::addColumn<qreal>("deviceMargin"); // millimetres the writer keeps free itself
    QTest::newRow("full page") << 0.0;
    QTest::newRow("writer with its own margins") << 25.4;
}

void tst_RenderPdf::twipsFromPaperCorner()
{
    QFETCH(qreal, deviceMargin);
    MemoryRowSource source = rows(1);
    ReportLayout report = ReportLayouts::datareportAudit();
    bind(report, source);
    const QString file = m_dir.filePath(QStringLiteral("corner.pdf"));
    {
        QPdfWriter writer(file);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait,
                                         QMarginsF(deviceMargin, deviceMargin, deviceMargin,
                                                   deviceMargin),
                                         QPageLayout::Millimeter));
        ReportRenderer renderer(report);
        QVERIFY(renderer.paint(&writer));
    }
    // The date label of the page header: left margin 720 + 120 twips, top
    // margin 720 + 24 twips, plus the 30-twip inset of text in its box.
    const QString boxes = run(QStringLiteral("pdftotext"),
                              {QStringLiteral("-bbox"), file, QStringLiteral("-")});
    const QRegularExpression word(QStringLiteral(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"[\\d.]+\">3/15/2003</word>"));
    const QRegularExpressionMatch match = word.match(boxes);
    QVERIFY2(match.hasMatch(), qPrintable(boxes.left(600)));
    QVERIFY(qAbs(match.captured(1).toDouble() - (720 + 120 + 30) / 20.0) < 0.5);
    QVERIFY(qAbs(match.captured(2).toDouble() - (720 + 24) / 20.0) < 2.0);
}

void tst_RenderPdf::failedPdfLeavesNothing()
{
    MemoryRowSource source = rows(3000);
    ReportLayout report = ReportLayouts::datareportAuditDetail();
    bind(report, source);
    QStringList shown;
    report.setErrorHandler([&](int n, const QString& description) {
        shown.append(report.errorMessage(n, description));
    });
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("big.pdf"));
    ReportRenderer renderer(report);
    bool written = true;
    {
        // Files of this process may not grow past 64 KiB: a full disk.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit limit = old;
        limit.rlim_cur = 64 * 1024;
        setrlimit(RLIMIT_FSIZE, &limit);
        written = renderer.writePdf(file);
        setrlimit(RLIMIT_FSIZE, &old);
    }
    QVERIFY(!written);
    QCOMPARE(renderer.lastError().number, 61);
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown.first().startsWith(QLatin1String("Audit Report Error 61 - ")));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

QTEST_MAIN(tst_RenderPdf)
#include "tst_renderpdf.moc"
