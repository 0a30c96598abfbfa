#include "MemoryRowSource.h"
#include "ReportLayouts.h"
#include "ReportPreview.h"
#include "ReportPrinter.h"
#include "ReportRenderer.h"
#include "WidgetHooks.h"

#include <QBuffer>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The printer and preview back end: a QPrinter without a dialog (here one
// that writes a PDF file), and the maximised modal preview.
class tst_RenderPrinter : public QObject
{
    Q_OBJECT

private slots:
    void printsEveryPage();
    void noPrinterIsAnError();
    void previewIsMaximisedModalAndDrawn();
};

namespace {

const QStringList Columns{"AutoIndex",   "Level",      "Error",    "Description",
                          "Application", "When",       "User",     "Details",
                          "Path",        "Unattended", "Response", "TaskList"};

MemoryRowSource rows(int count)
{
    MemoryRowSource source(Columns);
    for (int i = 1; i <= count; ++i)
        source.addRow({i, 1, 10, QStringLiteral("Entry%1").arg(i), "Loader", "2003-03-02 14:05:07",
                       "operator", "", "", 0, "", ""});
    return source;
}

} // namespace

void tst_RenderPrinter::printsEveryPage()
{
    QTemporaryDir dir;
    MemoryRowSource source = rows(120);
    ReportLayout layout = ReportLayouts::dataReportSummary();
    layout.setDataSource(&source);
    layout.setMargins(720);
    layout.setTitle(QStringLiteral("Audit Log Summary"));

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("printed.pdf")));
    printer.setPageSize(QPageSize(QPageSize::A4)); // the layout's Letter paper wins
    QString error;
    QVERIFY2(ReportPrinter::print(layout, &printer, &error), qPrintable(error));
    QVERIFY(printer.fullPage());
    QCOMPARE(printer.docName(), QStringLiteral("Audit Log Summary"));

    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {printer.outputFileName()});
    QVERIFY(info.waitForFinished(60000));
    const QString text = QString::fromUtf8(info.readAllStandardOutput());
    QVERIFY2(text.contains(QRegularExpression(QStringLiteral("Pages:\\s+3\\n"))), qPrintable(text));
    QVERIFY(text.contains(QLatin1String("612 x 792 pts (letter)")));
}

void tst_RenderPrinter::noPrinterIsAnError()
{
    if (!QPrinterInfo::availablePrinters().isEmpty())
        QSKIP("this machine has a printer; the test would print on it");
    MemoryRowSource source = rows(1);
    ReportLayout layout = ReportLayouts::datareportAudit();
    layout.setDataSource(&source);
    QStringList shown;
    layout.setErrorHandler([&](int n, const QString& description) {
        shown.append(layout.errorMessage(n, description));
    });
    QString error;
    QVERIFY(!ReportPrinter::print(layout, nullptr, &error));
    QCOMPARE(error, QStringLiteral("No printer is installed."));
    QCOMPARE(shown, QStringList{"Audit Report Error 482 - No printer is installed."});
}

void tst_RenderPrinter::previewIsMaximisedModalAndDrawn()
{
    MemoryRowSource source = rows(40);
    ReportLayout layout = ReportLayouts::datareportAudit();
    layout.setDataSource(&source);
    layout.setMargins(720);
    layout.setTitle(QStringLiteral("Audit Report"));
    layout.setCaption(QStringLiteral("Audit Report"));
    QBuffer html; // the same page layout as on paper
    html.open(QIODevice::WriteOnly);
    ReportRenderer counter(layout);
    QVERIFY(counter.writeHtml(&html));
    const int expectedPages = counter.pageCount();
    QVERIFY(expectedPages > 1);

    // Rows that cannot be read: the preview repaints, the failure is told once.
    class Unreadable : public MemoryRowSource
    {
        bool start(QString* error) override
        {
            *error = QStringLiteral("database is locked");
            return false;
        }
    } unreadable;
    int failures = 0;
    layout.setErrorHandler([&](int, const QString&) { ++failures; });

    bool shown = false;
    int pages = -1;
    const ModalHandler previous = SetModalHandler([&](QWidget* window) {
        shown = true;
        auto* dialog = qobject_cast<QPrintPreviewDialog*>(window);
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Audit Report"));
        QVERIFY(dialog->isModal());
        QVERIFY(dialog->windowState() & Qt::WindowMaximized);
        dialog->show();
        auto* view = dialog->findChild<QPrintPreviewWidget*>();
        QVERIFY(view);
        view->updatePreview();
        pages = view->pageCount();
        layout.setDataSource(&unreadable);
        view->updatePreview();
        view->updatePreview();
        dialog->close();
    });
    ReportPreview::show(layout);
    SetModalHandler(previous);
    QVERIFY(shown);
    QCOMPARE(pages, expectedPages);
    QCOMPARE(failures, 1);
}

QTEST_MAIN(tst_RenderPrinter)
#include "tst_renderprinter.moc"
