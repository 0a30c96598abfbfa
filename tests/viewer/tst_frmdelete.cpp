#include "AuditTableModel.h"
#include "Settings.h"
#include "ViewerFixture.h"
#include "WidgetDriver.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

// Ages in days (at noon) times the four levels: 24 entries.
const QList<int> Ages = {0, 6, 7, 29, 30, 40};

// Adds the aged entries and opens the shown viewer.
frmView* openAged(ViewerFixture& f)
{
    QList<AuditEntry> entries;
    for (int age : Ages)
        for (int level = 0; level <= 3; ++level)
            entries.append(AuditTestDb::entry(
                level, QDateTime(QDate::currentDate().addDays(-age), QTime(12, 0))));
    return f.db.add(entries) ? f.open() : nullptr;
}

} // namespace

class TestFrmDelete : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QStringLiteral("en_US"))); }
    void okButton_data()
    {
        QTest::addColumn<QString>("days");
        QTest::addColumn<int>("type");        // cboType entry
        QTest::addColumn<QString>("message"); // "" : the purge runs; "cancel": Cancel clicked
        QTest::addColumn<int>("keepYounger"); // entries younger than this many days stay
        QTest::addColumn<int>("bound");       // levels up to this one are purged
        const QString range = QStringLiteral("Days must be between 0 and 999");
        QTest::newRow("minus one") << "-1" << 0 << range << 0 << -1;
        QTest::newRow("small negative fraction") << "-.5" << 0 << range << 0 << -1;
        QTest::newRow("parentheses are negative") << "(5)" << 0 << range << 0 << -1;
        QTest::newRow("group separator, 15 days") << "1,5" << 0 << "" << 15 << 3;
        QTest::newRow("30 days, Warnings") << "30" << 2 << "" << 30 << 1;
        QTest::newRow("only three characters") << "1000" << 3 << "" << 100 << 2;
        QTest::newRow("cancel keeps everything") << "0" << 0 << "cancel" << 0 << -1;
    }

    // A rejected value keeps the dialog open with nothing deleted or saved.
    void okButton()
    {
        QFETCH(QString, days);
        QFETCH(int, type);
        QFETCH(QString, message);
        QFETCH(int, keepYounger);
        QFETCH(int, bound);
        ViewerFixture f;
        f.env.setSetting(SettingKey::DeleteDays, QStringLiteral("12"));
        frmView* viewer = openAged(f);
        QVERIFY(viewer);

        bool closed = false;
        f.driveModal([&](QWidget* window) {
            auto* cboType = child<QComboBox>(window, "cboType");
            auto* txtDays = child<QLineEdit>(window, "txtDays");
            QCOMPARE(txtDays->text(), QStringLiteral("12"));
            cboType->setCurrentIndex(type);
            txtDays->clear();
            QTest::keyClicks(txtDays, days);
            click(window, message == "cancel" ? "cmdCancel" : "cmdOK");
            closed = !window->isVisible();
            if (!closed)
                click(window, "cmdCancel");
        });
        child<QAction>(viewer, "mFileDelete")->trigger();
        const bool rejected = message.startsWith("Days");
        QCOMPARE(closed, !rejected);
        QCOMPARE(f.env.messageTexts(), rejected ? QStringList{message} : QStringList());
        if (rejected) {
            QCOMPARE(f.env.messages().first().icon, MsgIcon::Information);
            QCOMPARE(f.env.messages().first().caption, QStringLiteral("Delete"));
        }

        int expected = 0;
        for (int age : Ages)
            for (int level = 0; level <= 3; ++level)
                expected += (age < keepYounger || level > bound) ? 1 : 0;
        QCOMPARE(f.db.count(), expected);
        QCOMPARE(viewer->model()->rowCount(), expected);
        QCOMPARE(GetSettingValue(SettingKey::DeleteDays),
                 message.isEmpty() ? days.left(3) : QStringLiteral("12"));
    }

    // The database goes away before OK: shown, and the program goes on.
    void failingStatementIsShown()
    {
        ViewerFixture f;
        frmView* viewer = openAged(f);
        QVERIFY(viewer);
        bool stillOpen = false;
        f.driveModal([&](QWidget* window) {
            // DeleteDays is not set: its default.
            QCOMPARE(child<QLineEdit>(window, "txtDays")->text(), "7");
            AuditDatabase::instance().close();
            click(window, "cmdOK");
            stillOpen = window->isVisible();
            window->close();
        });
        viewer->mFileDelete_Click();
        QVERIFY(stillOpen);
        QCOMPARE(f.env.messages().size(), 1);
        QVERIFY2(f.env.messageTexts().first().startsWith("Old entries were not deleted.\n\nError "),
                 qPrintable(f.env.messageTexts().first()));
        QCOMPARE(f.env.messages().first().icon, MsgIcon::Exclamation);
        QCOMPARE(f.db.count(), 24);
        QVERIFY(!f.env.ended());
    }
};

QTEST_MAIN(TestFrmDelete)
#include "tst_frmdelete.moc"
