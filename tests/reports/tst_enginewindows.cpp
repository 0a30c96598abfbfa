#include "AppState.h"
#include "TestEnvironment.h"
#include "frmEmailAddress.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

// The e-mail address dialog the report routines reach through their hooks.
// (The preview window is tested in tst_renderpdf and, through the hooks, in
// tst_reportprogress.)
class tst_EngineWindows : public QObject
{
    Q_OBJECT

private slots:
    void addressDialog_data();
    void addressDialog();
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

QTEST_MAIN(tst_EngineWindows)
#include "tst_enginewindows.moc"
