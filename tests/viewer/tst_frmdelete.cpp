// The purge dialog: what it accepts as a number of days, what a purge removes
// from the database and the viewer, and what it keeps in the settings.

#include "AuditTableModel.h"
#include "NumericText.h"
#include "Settings.h"
#include "SqliteProgress.h"
#include "ViewerFixture.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>

namespace {

// Ages in days (at noon) times the four levels.
const QList<int> ages = {0, 6, 7, 29, 30, 40};

QList<AuditEntry> agedEntries()
{
    QList<AuditEntry> entries;
    const QDate today = QDate::currentDate();
    for (int age : ages)
        for (int level = 0; level <= 3; ++level)
            entries.append(
                AuditTestDb::entry(level, QDateTime(today.addDays(-age), QTime(12, 0)),
                                   QStringLiteral("age %1 level %2").arg(age).arg(level)));
    return entries;
}

struct DialogRun
{
    bool closedByOk = false; // the dialog was gone after OK
    QStringList typeEntries;
    QString daysShown;
    QString daysTyped;
};

// Opens File > Delete, fills the dialog, clicks OK and, when the dialog is
// still open, Cancel.
DialogRun runDialog(ViewerFixture& f, frmView* viewer, const QString& days, int type,
                    const std::function<void()>& beforeOk = {})
{
    DialogRun run;
    f.driveModal([&](QWidget* window) {
        auto* cboType = window->findChild<QComboBox*>(QStringLiteral("cboType"));
        auto* txtDays = window->findChild<QLineEdit*>(QStringLiteral("txtDays"));
        for (int i = 0; i < cboType->count(); ++i)
            run.typeEntries.append(cboType->itemText(i));
        run.daysShown = txtDays->text();
        cboType->setCurrentIndex(type);
        txtDays->clear();
        QTest::keyClicks(txtDays, days);
        run.daysTyped = txtDays->text();
        if (beforeOk)
            beforeOk();
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
        run.closedByOk = !window->isVisible();
        if (!run.closedByOk)
            QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdCancel")),
                              Qt::LeftButton);
    });
    viewer->findChild<QAction*>(QStringLiteral("mFileDelete"))->trigger();
    return run;
}

} // namespace

class TestFrmDelete : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void numericTest_data();
    void numericTest();
    void rejectedDays_data();
    void rejectedDays();
    void purge_data();
    void purge();
    void cancelKeepsEverything();
    void failingStatementIsShown();
    void longStatementLetsProgramRun();
};

void TestFrmDelete::numericTest_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("numeric");
    QTest::addColumn<double>("leading");

    QTest::newRow("whole") << "7" << true << 7.0;
    QTest::newRow("blanks around") << " 30 " << true << 30.0;
    QTest::newRow("decimal") << "7.5" << true << 7.5;
    QTest::newRow("minus") << "-1" << true << -1.0;
    QTest::newRow("plus") << "+5" << true << 5.0;
    QTest::newRow("trailing sign") << "5-" << true << 5.0;
    QTest::newRow("exponent") << "1e3" << true << 1000.0;
    QTest::newRow("D exponent") << "2d2" << true << 200.0;
    QTest::newRow("thousands") << "1,000" << true << 1.0;
    QTest::newRow("parentheses") << "(5)" << true << 0.0;
    QTest::newRow("hex") << "&H1F" << true << 31.0;
    QTest::newRow("fraction only") << ".5" << true << 0.5;
    QTest::newRow("letters") << "abc" << false << 0.0;
    QTest::newRow("number then letter") << "7a" << false << 7.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("blank") << "   " << false << 0.0;
    QTest::newRow("point alone") << "." << false << 0.0;
    QTest::newRow("exponent without digits") << "1e" << false << 1.0;
    QTest::newRow("two signs") << "-5-" << false << -5.0;
}

void TestFrmDelete::numericTest()
{
    QFETCH(QString, text);
    QFETCH(bool, numeric);
    QFETCH(double, leading);
    QCOMPARE(NumericText::isNumeric(text), numeric);
    QCOMPARE(NumericText::leadingNumber(text), leading);
}

void TestFrmDelete::rejectedDays_data()
{
    QTest::addColumn<QString>("days");
    QTest::addColumn<QString>("message");

    const QString numeric = QStringLiteral("Days must be numeric");
    const QString range = QStringLiteral("Days must be between 0 and 999");
    QTest::newRow("letters") << "abc" << numeric;
    QTest::newRow("empty") << "" << numeric;
    QTest::newRow("minus one") << "-1" << range;
    QTest::newRow("small negative fraction") << "-.5" << range;
    QTest::newRow("1e3 is numeric but too large") << "1e3" << range;
}

void TestFrmDelete::rejectedDays()
{
    QFETCH(QString, days);
    QFETCH(QString, message);

    ViewerFixture f;
    QVERIFY(f.db.add(agedEntries()));
    f.env.setSetting(SettingKey::DeleteDays, QStringLiteral("12"));
    frmView* viewer = f.openShown();
    QVERIFY(viewer);

    const DialogRun run = runDialog(f, viewer, days, 0);
    QCOMPARE(f.modalShown, 1);
    QCOMPARE(run.daysShown, QStringLiteral("12"));
    QVERIFY(!run.closedByOk);
    QCOMPARE(f.env.messageTexts(), QStringList({message}));
    QCOMPARE(f.env.messages().first().icon, MsgIcon::Information);
    QCOMPARE(f.env.messages().first().caption, QStringLiteral("Delete"));
    QCOMPARE(f.db.count(), 24);
    QCOMPARE(GetSettingValue(SettingKey::DeleteDays), QStringLiteral("12"));
}

void TestFrmDelete::purge_data()
{
    QTest::addColumn<QString>("days");
    QTest::addColumn<int>("type");        // cboType entry
    QTest::addColumn<int>("keepYounger"); // entries younger than this many days stay
    QTest::addColumn<int>("bound");       // levels up to this one are purged

    QTest::newRow("7 days, ALL") << "7" << 0 << 7 << 3;
    QTest::newRow("0 days, ALL: today goes too") << "0" << 0 << 0 << 3;
    QTest::newRow("30 days, Warnings") << "30" << 2 << 30 << 1;
    QTest::newRow("7.5 rounds to 7") << "7.5" << 0 << 7 << 3;
    QTest::newRow("1, Status Messages") << "1" << 1 << 1 << 0;
    QTest::newRow("only three characters") << "1000" << 3 << 100 << 2;
}

void TestFrmDelete::purge()
{
    QFETCH(QString, days);
    QFETCH(int, type);
    QFETCH(int, keepYounger);
    QFETCH(int, bound);

    ViewerFixture f;
    QVERIFY(f.db.add(agedEntries()));
    frmView* viewer = f.openShown();
    QVERIFY(viewer);
    QCOMPARE(viewer->model()->rowCount(), 24);

    const DialogRun run = runDialog(f, viewer, days, type);
    QCOMPARE(run.typeEntries, QStringList({"ALL", "Status Messages", "Warnings", "Errors"}));
    QCOMPARE(run.daysShown, QStringLiteral("7"));
    QVERIFY2(run.closedByOk, qPrintable(f.env.messageTexts().join(" | ")));
    QVERIFY(f.env.messages().isEmpty());

    int kept = 0;
    for (const AuditEntry& entry : f.db.entries()) {
        const int age = entry.whenDateTime().date().daysTo(QDate::currentDate());
        QVERIFY2(age < keepYounger || entry.Level > bound, qPrintable(entry.Description));
        ++kept;
    }
    int expected = 0;
    for (int age : ages)
        for (int level = 0; level <= 3; ++level)
            expected += (age < keepYounger || level > bound) ? 1 : 0;
    QCOMPARE(kept, expected);
    // The viewer ran its query again and shows exactly what is left.
    QCOMPARE(viewer->model()->rowCount(), expected);
    QCOMPARE(AuditView::instance().recordCount(), expected);
    QCOMPARE(GetSettingValue(SettingKey::DeleteDays), run.daysTyped);
}

void TestFrmDelete::cancelKeepsEverything()
{
    ViewerFixture f;
    QVERIFY(f.db.add(agedEntries()));
    frmView* viewer = f.openShown();
    QVERIFY(viewer);
    f.driveModal([](QWidget* window) {
        auto* txtDays = window->findChild<QLineEdit*>(QStringLiteral("txtDays"));
        txtDays->setText(QStringLiteral("0"));
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdCancel")),
                          Qt::LeftButton);
        QVERIFY(!window->isVisible());
    });
    viewer->mFileDelete_Click();
    QCOMPARE(f.modalShown, 1);
    QCOMPARE(f.db.count(), 24);
    QVERIFY(GetSettingValue(SettingKey::DeleteDays).isEmpty());
}

void TestFrmDelete::failingStatementIsShown()
{
    ViewerFixture f;
    QVERIFY(f.db.add(agedEntries()));
    frmView* viewer = f.openShown();
    QVERIFY(viewer);
    // The database goes away between opening the dialog and OK.
    const DialogRun run =
        runDialog(f, viewer, QStringLiteral("7"), 0, [] { AuditDatabase::instance().close(); });
    QVERIFY(!run.closedByOk);
    QCOMPARE(f.env.messages().size(), 1);
    QVERIFY2(f.env.messageTexts().first().startsWith(
                 QStringLiteral("Old entries were not deleted.\n\nError ")),
             qPrintable(f.env.messageTexts().first()));
    QCOMPARE(f.env.messages().first().icon, MsgIcon::Exclamation);
    QCOMPARE(f.db.count(), 24);
    QVERIFY(!f.env.ended());
}

void TestFrmDelete::longStatementLetsProgramRun()
{
    ViewerFixture f;
    QVERIFY(f.db.openShared());
    const QString count = QStringLiteral(
        "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 200000) "
        "SELECT count(*) FROM c");
    int ticks = 0;
    {
        SqliteProgress progress(
            AuditDatabase::instance().connection(), [&ticks] { ++ticks; }, 0, 1000);
        QVERIFY(progress.isActive());
        QSqlQuery query(AuditDatabase::instance().connection());
        QVERIFY(query.exec(count) && query.next());
        QCOMPARE(query.value(0).toInt(), 200000);
    }
    QVERIFY(ticks > 10);
    // Gone with the object.
    const int before = ticks;
    QSqlQuery query(AuditDatabase::instance().connection());
    QVERIFY(query.exec(count));
    QCOMPARE(ticks, before);
}

QTEST_MAIN(TestFrmDelete)
#include "tst_frmdelete.moc"
