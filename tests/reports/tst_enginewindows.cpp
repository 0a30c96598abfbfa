#include "AppState.h"
#include "MemoryRowSource.h"
#include "ReportEngineHooks.h"
#include "ReportLayout.h"
#include "ReportLayouts.h"
#include "ReportWindowHooks.h"
#include "TestEnvironment.h"
#include "WidgetHooks.h"
#include "frmEmailAddress.h"

#include <QLabel>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinterInfo>
#include <QPushButton>
#include <QtTest>

// The windows the report routines reach through their hooks: the e-mail
// address dialog, the preview and the printer.
class tst_EngineWindows : public QObject
{
    Q_OBJECT

private slots:
    void controls();
    void answers_data();
    void answers();
    void hookShowsDialog();
    void previewShowsTheReport();
    void printWithoutPrinter();
};

void tst_EngineWindows::controls()
{
    TestEnvironment env;
    frmEmailAddress dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Email Address"));
    const auto labels = dialog.findChildren<QLabel*>();
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels.first()->text(), QStringLiteral("Email Report To:"));
    QVERIFY(dialog.findChild<QLineEdit*>(QStringLiteral("txtEmailAddress")));
    QCOMPARE(dialog.findChild<QPushButton*>(QStringLiteral("cmdOK"))->text(), QStringLiteral("OK"));
    QCOMPARE(dialog.findChild<QPushButton*>(QStringLiteral("cmdCancel"))->text(),
             QStringLiteral("Cancel"));
}

void tst_EngineWindows::answers_data()
{
    QTest::addColumn<QString>("before"); // MailToAddress when the dialog opens
    QTest::addColumn<QString>("typed");  // replaces the box's text unless null
    QTest::addColumn<QString>("how");    // OK, Cancel, close, Escape
    QTest::addColumn<QString>("after");

    QTest::newRow("first use, OK with empty box") << "" << QString() << "OK"
                                                  << "";
    QTest::newRow("OK keeps the text exactly") << ""
                                               << " ops@example.org "
                                               << "OK"
                                               << " ops@example.org ";
    QTest::newRow("OK unchanged repeats last address") << "ops@example.org" << QString() << "OK"
                                                       << "ops@example.org";
    QTest::newRow("Return presses OK") << ""
                                       << "a@b"
                                       << "Return"
                                       << "a@b";
    QTest::newRow("Cancel clears") << "ops@example.org"
                                   << "x@y"
                                   << "Cancel"
                                   << "";
    QTest::newRow("close box leaves it") << "ops@example.org"
                                         << "x@y"
                                         << "close"
                                         << "ops@example.org";
    QTest::newRow("Escape leaves it") << "ops@example.org"
                                      << "x@y"
                                      << "Escape"
                                      << "ops@example.org";
}

void tst_EngineWindows::answers()
{
    QFETCH(QString, before);
    QFETCH(QString, typed);
    QFETCH(QString, how);
    QFETCH(QString, after);

    TestEnvironment env;
    MailToAddress = before;
    frmEmailAddress dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* box = dialog.findChild<QLineEdit*>(QStringLiteral("txtEmailAddress"));
    QCOMPARE(box->text(), before);
    if (!typed.isNull()) {
        box->clear();
        QTest::keyClicks(box, typed);
    }

    if (how == QLatin1String("OK") || how == QLatin1String("Cancel"))
        QTest::mouseClick(dialog.findChild<QPushButton*>("cmd" + how), Qt::LeftButton);
    else if (how == QLatin1String("Return"))
        QTest::keyClick(box, Qt::Key_Return);
    else if (how == QLatin1String("Escape"))
        QTest::keyClick(box, Qt::Key_Escape);
    else
        QVERIFY(dialog.close());

    QVERIFY(!dialog.isVisible());
    QCOMPARE(MailToAddress, after);
}

void tst_EngineWindows::hookShowsDialog()
{
    TestEnvironment env;
    const ReportEngineHooks previous = ReportEngineHooks::current();
    InstallReportWindowHooks();
    QVERIFY(ReportEngineHooks::current().askMailAddress);

    // Twice in one run: the second prompt shows the first answer.
    QStringList shown;
    const ModalHandler oldHandler = SetModalHandler([&shown](QWidget* window) {
        auto* box = window->findChild<QLineEdit*>(QStringLiteral("txtEmailAddress"));
        shown << window->windowTitle() + "|" + box->text();
        box->setText(QStringLiteral("ops@example.org"));
        window->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
    });
    ReportEngineHooks::current().askMailAddress();
    ReportEngineHooks::current().askMailAddress();
    SetModalHandler(oldHandler);
    ReportEngineHooks::install(previous);

    QCOMPARE(shown, QStringList({"Email Address|", "Email Address|ops@example.org"}));
    QCOMPARE(MailToAddress, QStringLiteral("ops@example.org"));
}

void tst_EngineWindows::previewShowsTheReport()
{
    TestEnvironment env;
    const ReportEngineHooks previous = ReportEngineHooks::current();
    InstallReportWindowHooks();

    MemoryRowSource rows({"AutoIndex", "Level", "Error", "Description", "When"});
    for (int i = 1; i <= 120; ++i)
        rows.addRow({i, 2, 1202, QStringLiteral("Entry %1").arg(i), "2003-03-14 09:30:00"});
    ReportLayout layout = ReportLayouts::dataReportSummary();
    layout.setDataSource(&rows);
    layout.setMargins(720);
    layout.setTitle(QStringLiteral("Audit Log Summary"));
    layout.setCaption(QStringLiteral("Audit Log Summary"));

    QString title;
    bool maximised = false;
    int pages = 0;
    const ModalHandler oldHandler = SetModalHandler([&](QWidget* window) {
        auto* dialog = qobject_cast<QPrintPreviewDialog*>(window);
        QVERIFY(dialog);
        title = dialog->windowTitle();
        maximised = dialog->windowState().testFlag(Qt::WindowMaximized);
        dialog->show();
        auto* preview = dialog->findChild<QPrintPreviewWidget*>();
        QVERIFY(preview);
        QTRY_VERIFY(preview->pageCount() > 0);
        pages = preview->pageCount();
        dialog->close();
    });
    ReportEngineHooks::current().preview(layout);
    SetModalHandler(oldHandler);
    ReportEngineHooks::install(previous);

    QCOMPARE(title, QStringLiteral("Audit Log Summary"));
    QVERIFY(maximised);
    QVERIFY2(pages >= 2, qPrintable(QString::number(pages))); // 120 rows do not fit one page
    QVERIFY(rows.startCount() >= 2);
    QVERIFY(env.messages().isEmpty());
}

void tst_EngineWindows::printWithoutPrinter()
{
    if (!QPrinterInfo::availablePrinters().isEmpty())
        QSKIP("a printer is installed; this test must not print on it");
    TestEnvironment env;
    const ReportEngineHooks previous = ReportEngineHooks::current();
    InstallReportWindowHooks();
    MemoryRowSource rows({"AutoIndex"}, {{1}});
    ReportLayout layout = ReportLayouts::dataReportSummary();
    layout.setDataSource(&rows);
    QString error;
    const bool printed = ReportEngineHooks::current().print(layout, &error);
    ReportEngineHooks::install(previous);
    QVERIFY(!printed);
    QCOMPARE(error, QStringLiteral("No printer is installed: nothing was printed."));
    QCOMPARE(rows.startCount(), 0);
}

QTEST_MAIN(tst_EngineWindows)
#include "tst_enginewindows.moc"
