#include "AppState.h"
#include "ReportDialogRoutines.h"
#include "ReportRunFixture.h"
#include "ReportWindowHooks.h"
#include "Settings.h"
#include "SqlDate.h"
#include "WidgetDriver.h"
#include "WidgetHooks.h"
#include "frmEmailAddress.h"
#include "frmReport.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLocale>
#include <optional>

namespace {

// Each routine call as one line; the span texts kept apart.
QStringList calls;
QList<QStringList> spans;

ReportRoutine recorder(const QString& name)
{
    return [name](AUDITLOG_REPORT_PARAMETERS) {
        QString levels;
        for (bool level : {Status, Warning, Error, Fatal})
            levels += level ? QLatin1Char('1') : QLatin1Char('0');
        QString line =
            QString::asprintf("%s to %d levels %s age %d days %d sizes %d,%d,%d sort %s,%s,%s%s",
                              qPrintable(name), Destination, qPrintable(levels), AgeMode, Days,
                              AttachAtSize, ZipAtSize, AbortAttachAtSize, qPrintable(SortBy1),
                              qPrintable(SortBy2), qPrintable(SortBy3), HtmlOutput ? " html" : "");
        // Never set by the dialog: shown only when they are.
        if (Delete || !Address.isEmpty() || !Subject.isEmpty() || !Query.isEmpty())
            line += QStringLiteral(" extra");
        calls << line;
        spans << QStringList{SpanStart, SpanEnd};
    };
}

// Sets a control as the operator would: types into boxes (so the editing rules
// run), clicks checkable controls ("1" or "0"), picks dates (ISO) and list texts.
void setControl(QWidget* dialog, const QString& name, const QString& value)
{
    QWidget* widget = dialog->findChild<QWidget*>(name);
    QVERIFY2(widget, qPrintable(name));
    if (auto* box = qobject_cast<QLineEdit*>(widget)) {
        box->selectAll();
        if (value.isEmpty())
            QTest::keyClick(box, Qt::Key_Backspace);
        else
            QTest::keyClicks(box, value);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        // On the indicator: a box stretched by its layout has no text at its centre.
        const QPoint indicator(button->height() / 2, button->height() / 2);
        if (button->isChecked() != (value == QLatin1String("1")))
            QTest::mouseClick(button, Qt::LeftButton, {}, indicator);
    } else if (auto* picker = qobject_cast<QDateEdit*>(widget)) {
        picker->setDate(QDate::fromString(value, Qt::ISODate));
    } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
        list->setEditText(value);
    }
}

void setControls(QWidget* dialog, const QStringList& edits)
{
    for (const QString& edit : edits)
        setControl(dialog, edit.section(QLatin1Char('='), 0, 0), edit.section(QLatin1Char('='), 1));
}

// A control's state in the form setControl takes.
QString stateOf(QWidget* dialog, const QString& name)
{
    QWidget* widget = dialog->findChild<QWidget*>(name);
    if (auto* box = qobject_cast<QLineEdit*>(widget))
        return box->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    if (auto* picker = qobject_cast<QDateEdit*>(widget))
        return picker->date().toString(Qt::ISODate);
    if (auto* list = qobject_cast<QComboBox*>(widget))
        return list->currentText();
    return QStringLiteral("<no %1>").arg(name);
}

const QString Defaults = QStringLiteral("sizes 1000,100000,500000 sort When,User,AutoIndex");

} // namespace

class TestFrmReport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void controlStates_data();
    void controlStates();
    void validation_data();
    void validation();
    void spanDatesReadBackOnLocale();
    void savesOnEveryClose_data();
    void savesOnEveryClose();
    void emailSendsTheReport();
    void addressDialog_data();
    void addressDialog();

private:
    std::optional<TestEnvironment> env;
};

void TestFrmReport::init()
{
    env.emplace();
    QVERIFY(env->isValid());
    calls.clear();
    spans.clear();
    const QStringList names = {"ReportAudit", "ReportAuditDetail", "ReportSummary",
                               "ReportSummaryDetail"};
    for (int type = 0; type < ReportTypeCount; ++type)
        SetDialogReportRoutine(type, recorder(names[type]));
}

void TestFrmReport::cleanup()
{
    for (int type = 0; type < ReportTypeCount; ++type)
        SetDialogReportRoutine(type, {});
    SetModalHandler({});
    QLocale::setDefault(QLocale::system());
    env.reset();
}

// The controls as the dialog opens over stored settings, and the attach limit as typed.
void TestFrmReport::controlStates_data()
{
    QTest::addColumn<QString>("stored"); // key=value in the settings first; "" none
    QTest::addColumn<QString>("typed");  // control=value typed then; "" none
    QTest::addColumn<bool>("unattended");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("message"); // "" none

    auto row = [](const char* name, const QString& stored, const QString& typed, bool unattended,
                  const QString& control, const QString& expected, const QString& message = {}) {
        QTest::newRow(name) << stored << typed << unattended << control << expected << message;
    };
    row("type absent", "", "", false, "optReportType0", "1");
    row("type 7", "ReportType=7", "", false, "optReportType3", "1");
    row("type word", "ReportType=full", "", false, "optReportType3", "1");
    row("to not a date", "ReportDaysTo=soon", "", false, "DTPicker2",
        QDate::currentDate().toString(Qt::ISODate));
    row("format false", "HTMLFormat=false", "", false, "optFormat1", "1");
    row("attach stored above limit", "ReportAttachAtSize=5000", "", false, "txtAttach", "5000");
    row("second wrong case", "ReportSortBy2=user", "", false, "cmbSecond", "");
    row("third not in grid", "ReportSortBy3=TaskList", "", false, "cmbThird", "");
    row("attach typed above limit", "", "txtAttach=2500", false, "txtAttach", "2000",
        "Attach report value must be less then 2000");
    row("attach typed not numeric", "", "txtAttach=x3000", false, "txtAttach", "x3000");
    row("attach typed unattended", "", "txtAttach=9000", true, "txtAttach", "2000");
}

void TestFrmReport::controlStates()
{
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(bool, unattended);
    QFETCH(QString, control);
    QFETCH(QString, message);

    if (!stored.isEmpty())
        env->setSetting(stored.section('=', 0, 0), stored.section('=', 1));
    UnattendedMode = unattended;
    frmReport dialog;
    if (!typed.isEmpty())
        setControls(&dialog, {typed});
    QTEST(stateOf(&dialog, control), "expected");
    QCOMPARE(env->messageTexts(), message.isEmpty() ? QStringList() : QStringList{message});
    if (!message.isEmpty())
        QCOMPARE(env->messages()[0].caption, QStringLiteral("Validation Failure"));
}

// The checks in order, then the routine's arguments; a message stops the run.
void TestFrmReport::validation_data()
{
    QTest::addColumn<QStringList>("edits");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("message"); // "" when the report runs
    QTest::addColumn<QString>("call");    // the routine's arguments when it runs

    const QStringList noLevel = {"chkStatus=0", "chkWarning=0", "chkError=0", "chkFatal=0"};
    const QString levels = QStringLiteral("At least one box must be Checked");
    const QString numeric = QStringLiteral("Days must be numeric");
    const QString range = QStringLiteral("Days must be between 1 and 999");
    const QString bytes = QStringLiteral("Bytes must be numeric");

    auto row = [](const char* name, const QStringList& edits, const QString& button,
                  const QString& message, const QString& call = {}) {
        QTest::newRow(name) << edits << button << message << call;
    };
    row("no level, preview", noLevel, "cmdPreview", levels);
    row("days 0", {"txtDays1=0"}, "cmdPreview", range);
    row("days abc", {"txtDays1=abc"}, "cmdEmail", numeric);
    row("days blank", {"txtDays2="}, "cmdPreview", numeric);
    row("days 999", {"txtDays2=999"}, "cmdOK", "",
        "ReportAudit to 0 levels 1111 age 2 days 999 " + Defaults);
    row("days before bytes", {"txtDays1=0", "txtZip=x"}, "cmdPreview", range);
    row("attach blank", {"txtAttach="}, "cmdOK", bytes);
    row("zip blank inside", {"txtZip=1 000"}, "cmdPreview", bytes);
    row("zip group separator", {"txtZip=1,000"}, "cmdOK", "",
        "ReportAudit to 0 levels 1111 age 3 days 0 sizes 1000,1000,500000 sort When,User,AutoIndex");
    row("abort above 32 bits", {"txtAbortAttach=2147483648"}, "cmdEmail", bytes);
    row("full, all, print", {"optReportType0=1", "optDate0=1"}, "cmdOK", "",
        "ReportAudit to 0 levels 1111 age 0 days 0 " + Defaults);
    row("full detail, typed more than days, preview", {"optReportType1=1", "txtDays1=30"},
        "cmdPreview", "", "ReportAuditDetail to 1 levels 1111 age 1 days 30 " + Defaults);
    row("summary, typed less than days, email as HTML",
        {"optReportType2=1", "txtDays2=7.5", "optFormat1=1"}, "cmdEmail", "",
        "ReportSummary to 2 levels 1111 age 2 days 8 " + Defaults + " html");
    row("summary detail, picked date, email as text",
        {"optReportType3=1", "optDate0=1", "DTPicker2=2003-03-04", "optFormat0=1"}, "cmdEmail",
        "", "ReportSummaryDetail to 2 levels 1111 age 3 days 0 " + Defaults);
    row("levels", {"chkStatus=0", "chkFatal=0"}, "cmdPreview", "",
        "ReportAudit to 1 levels 0110 age 3 days 0 " + Defaults);
    row("sizes", {"txtAttach=1500", "txtZip=2e5", "txtAbortAttach= 7 "}, "cmdPreview", "",
        "ReportAudit to 1 levels 1111 age 3 days 0 sizes 1500,200000,7 sort When,User,AutoIndex");
    row("sort lists", {"cmbFirst=Level", "cmbSecond=", "cmbThird=path"}, "cmdPreview", "",
        "ReportAudit to 1 levels 1111 age 3 days 0 sizes 1000,100000,500000 sort Level,,");
}

void TestFrmReport::validation()
{
    QFETCH(QStringList, edits);
    QFETCH(QString, button);
    QFETCH(QString, message);
    QFETCH(QString, call);
    const bool staysOpen = button == "cmdPreview"; // Print and Email close it

    HtmlOutput = !call.endsWith(QLatin1String(" html")); // the dialog's format wins
    frmReport dialog;
    dialog.show();
    setControls(&dialog, edits);
    click(&dialog, button);

    QCOMPARE(env->messageTexts(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(calls, message.isEmpty() ? QStringList{call} : QStringList());
    QCOMPARE(dialog.isVisible(), staysOpen);
    if (!message.isEmpty()) {
        QCOMPARE(env->messages()[0].icon, MsgIcon::Information);
        QCOMPARE(env->messages()[0].caption, QStringLiteral("Print"));
        // The dialog keeps what was entered.
        for (const QString& edit : edits)
            QCOMPARE(stateOf(&dialog, edit.section(QLatin1Char('='), 0, 0)),
                     edit.section(QLatin1Char('='), 1));
    }
    // A closing button saves the dialog's values, even after a message.
    if (!staysOpen)
        QCOMPARE(GetSettingValue(SettingKey::LevelStatus) == QLatin1String("True"),
                 stateOf(&dialog, QStringLiteral("chkStatus")) == QLatin1String("1"));
}

void TestFrmReport::spanDatesReadBackOnLocale()
{
    // Written day first on de_DE, read back on a month-first locale.
    const QDate from(2003, 3, 13), to(2004, 1, 31);
    QLocale::setDefault(QLocale("de_DE"));
    frmReport dialog;
    dialog.show();
    setControls(&dialog, {"DTPicker1=" + from.toString(Qt::ISODate),
                          "DTPicker2=" + to.toString(Qt::ISODate)});
    QCOMPARE(dialog.findChild<QDateEdit*>(QStringLiteral("DTPicker1"))->text(),
             from.toString(QStringLiteral("MM/dd/yyyy")));
    click(&dialog, QStringLiteral("cmdPreview"));
    QCOMPARE(spans.size(), 1);
    QCOMPARE(ReadLocaleDateTime(spans[0][0]).value_or(QDateTime()).date(), from);
    QCOMPARE(ReadLocaleDateTime(spans[0][1]).value_or(QDateTime()).date(), to);

    click(&dialog, QStringLiteral("cmdCancel"));
    QLocale::setDefault(QLocale("en_US"));
    frmReport reopened;
    QCOMPARE(stateOf(&reopened, QStringLiteral("DTPicker1")), from.toString(Qt::ISODate));
    QCOMPARE(stateOf(&reopened, QStringLiteral("DTPicker2")), to.toString(Qt::ISODate));
}

void TestFrmReport::savesOnEveryClose_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<QString>("report"); // the routine call's start, "" when none runs

    auto row = [](const char* way, const QString& report) { QTest::newRow(way) << way << report; };
    row("cmdOK", "ReportSummary to 0");
    row("cmdEmail", "ReportSummary to 2");
    row("cmdCancel", "");
    row("close", "");
    row("escape", "");
    row("enter", "ReportSummary to 0");
}

void TestFrmReport::savesOnEveryClose()
{
    QFETCH(QString, way);
    QFETCH(QString, report);

    env->setSetting(SettingKey::ReportSortBy3, QStringLiteral("Path"));
    frmReport dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    setControls(&dialog,
                {"optReportType2=1", "chkWarning=0", "txtDays1=30", "txtDays2=5",
                 "DTPicker1=2003-03-04", "DTPicker2=2003-03-20", "optDate2=1", "optFormat1=1",
                 "txtAttach=1500", "txtZip=200000", "txtAbortAttach=600000", "cmbFirst=Level",
                 "cmbSecond=Error", "cmbThird="});
    QVERIFY(GetSettingValue(SettingKey::ReportType).isEmpty());

    if (way == QLatin1String("close"))
        dialog.close();
    else if (way == QLatin1String("escape"))
        QTest::keyClick(&dialog, Qt::Key_Escape);
    else if (way == QLatin1String("enter"))
        QTest::keyClick(dialog.findChild<QLineEdit*>(QStringLiteral("txtZip")), Qt::Key_Return);
    else
        click(&dialog, way);

    QVERIFY(!dialog.isVisible());
    QCOMPARE(calls.size(), report.isEmpty() ? 0 : 1);
    QCOMPARE(calls.value(0).left(report.size()), report);

    // A blank list leaves its key alone: ReportSortBy3.
    const QStringList expected = QStringLiteral(
        "ReportType=2 ReportDateSentOpt=2 ReportDaysMore=30 ReportDaysLess=5 "
        "ReportDaysFrom=2003-03-04 ReportDaysTo=2003-03-20 LevelStatus=True LevelWarning=False "
        "LevelError=True LevelFatalError=True HTMLFormat=True ReportAttachAtSize=1500 "
        "ReportZipAtSize=200000 AbortAttachAtSize=600000 ReportSortBy=Level ReportSortBy2=Error "
        "ReportSortBy3=Path").split(QLatin1Char(' '));
    QStringList saved;
    for (const QString& entry : expected)
        saved << entry.section(QLatin1Char('='), 0, 0) + QLatin1Char('=') +
                     GetSettingValue(entry.section(QLatin1Char('='), 0, 0));
    QCOMPARE(saved, expected);
}

// Real routines: the address prompt, then one mail of the chosen rows; nothing
// deleted and no report file left behind.
void TestFrmReport::emailSendsTheReport()
{
    ReportRunFixture run;
    run.startServer();
    const QDateTime when(QDate::currentDate().addDays(-2), QTime(8, 30));
    run.begin({AuditTestDb::entry(2, when, "Mailbox VAN01 unreachable"),
               AuditTestDb::entry(0, when, "Nightly translation done"),
               AuditTestDb::entry(1, when, "Partner map outdated")});
    auto end = qScopeGuard([&] { run.end(); });
    for (int type = 0; type < ReportTypeCount; ++type)
        SetDialogReportRoutine(type, {});

    // Full Detail of errors and status messages of the last 7 days, as text.
    run.env->setSetting(SettingKey::ReportType, QStringLiteral("1"));
    run.env->setSetting(SettingKey::ReportDateSentOpt, QStringLiteral("2"));
    run.env->setSetting(SettingKey::LevelWarning, QStringLiteral("False"));
    InstallReportWindowHooks();
    QStringList asked;
    SetModalHandler([&asked](QWidget* window) {
        asked << window->objectName();
        window->show();
        QTest::keyClicks(window->findChild<QLineEdit*>("txtEmailAddress"), "ops@example.com");
        click(window, QStringLiteral("cmdOK"));
    });
    frmReport dialog;
    dialog.show();
    click(&dialog, QStringLiteral("cmdEmail"));

    QCOMPARE(run.env->messageTexts(), QStringList());
    QCOMPARE(asked, QStringList{QStringLiteral("frmEmailAddress")});
    QVERIFY(!dialog.isVisible());
    QCOMPARE(run.server->messages().size(), 1);
    const SmtpTestServer::Message mail = run.server->messages().first();
    QCOMPARE(mail.envelopeTo, QStringList{QStringLiteral("ops@example.com")});
    QString report = mail.body; // inline or attached, depending on its size
    for (const SmtpTestServer::Attachment& attachment : mail.attachments)
        report += QString::fromUtf8(attachment.data);
    QVERIFY2(report.contains("Mailbox VAN01 unreachable") &&
                 report.contains("Nightly translation done") &&
                 !report.contains("Partner map outdated"),
             qPrintable(report));
    QCOMPARE(run.db->count(), 3);
    QCOMPARE(run.left(), QStringList());
}

// The e-mail address dialog the report routines reach through their hooks.
void TestFrmReport::addressDialog_data()
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

void TestFrmReport::addressDialog()
{
    QFETCH(QString, before);
    QFETCH(QString, typed);
    QFETCH(QString, how);
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
    if (how == "OK" || how == "Cancel")
        click(&dialog, "cmd" + how);
    else if (how == "close")
        dialog.close();
    else
        QTest::keyClick(box, how == "Return" ? Qt::Key_Return : Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
    QTEST(MailToAddress, "after");
}

QTEST_MAIN(TestFrmReport)
#include "tst_frmreport.moc"
