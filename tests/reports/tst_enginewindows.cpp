#include "AppState.h"
#include "MemoryRowSource.h"
#include "ReportEngineHooks.h"
#include "ReportLayout.h"
#include "ReportLayouts.h"
#include "ReportWindowHooks.h"
#include "TestEnvironment.h"
#include "WidgetHooks.h"
#include "frmEmailAddress.h"

#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QtTest>

// The windows the report routines reach through their hooks: the e-mail
// address dialog and the preview.
class tst_EngineWindows : public QObject
{
    Q_OBJECT

private slots:
    void addressDialog_data();
    void addressDialog();
    void previewShowsTheReport();
};

void tst_EngineWindows::addressDialog_data()
{
    QTest::addColumn<QString>("before"); // MailToAddress when the dialog opens
    QTest::addColumn<QString>("typed");  // replaces the box's text unless null
    QTest::addColumn<QString>("how");    // OK, Cancel, close, Escape, Return
    QTest::addColumn<QString>("after");
    auto row = [](const char* name, const QString& before, const QString& typed, const QString& how,
                  const QString& after) { QTest::newRow(name) << before << typed << how << after; };
    row("OK keeps the text exactly", "", " ops@example.org ", "OK", " ops@example.org ");
    row("OK unchanged repeats last address", "ops@example.org", QString(), "OK", "ops@example.org");
    row("Return presses OK", "", "a@b", "Return", "a@b");
    row("Cancel clears", "ops@example.org", "x@y", "Cancel", "");
    row("close box leaves it", "ops@example.org", "x@y", "close", "ops@example.org");
    row("Escape leaves it", "ops@example.org", "x@y", "Escape", "ops@example.org");
}

void tst_EngineWindows::addressDialog()
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
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Email Address"));
    auto* box = dialog.findChild<QLineEdit*>(QStringLiteral("txtEmailAddress"));
    QCOMPARE(box->text(), before);
    if (!typed.isNull()) {
        box->clear();
        QTest::keyClicks(box, typed);
    }
    if (how == "OK" || how == "Cancel")
        QTest::mouseClick(dialog.findChild<QPushButton*>("cmd" + how), Qt::LeftButton);
    else if (how == "close")
        dialog.close();
    else
        QTest::keyClick(box, how == "Return" ? Qt::Key_Return : Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(MailToAddress, after);
}

// The preview is modal, maximised, titled after the report, and pages through
// all of it.
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
    layout.setTitle(QStringLiteral("Audit Log Summary"));
    layout.setCaption(QStringLiteral("Audit Log Summary"));

    QString title;
    bool maximised = false;
    int pages = 0;
    SetModalHandler([&](QWidget* window) {
        title = window->windowTitle();
        maximised = window->windowState().testFlag(Qt::WindowMaximized);
        window->show();
        auto* preview = window->findChild<QPrintPreviewWidget*>();
        QTRY_VERIFY(preview && preview->pageCount() > 0);
        pages = preview->pageCount();
        window->close();
    });
    ReportEngineHooks::current().preview(layout);
    SetModalHandler({});
    ReportEngineHooks::install(previous);

    QCOMPARE(title, QStringLiteral("Audit Log Summary"));
    QVERIFY(maximised);
    QVERIFY2(pages >= 2, qPrintable(QString::number(pages))); // 120 rows do not fit one page
    QVERIFY(env.messages().isEmpty());
}

QTEST_MAIN(tst_EngineWindows)
#include "tst_enginewindows.moc"
