#include "NotificationRules.h"
#include "OpenWindows.h"
#include "TestEnvironment.h"
#include "WidgetDriver.h"
#include "WidgetHooks.h"
#include "ZlkApi.h"
#include "frmEmailNotificationDetails.h"
#include "frmEmailNotificationProperties.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimeEdit>
#include <QtTest>
#include <deque>

namespace {

QString stored(const QString& key)
{
    return Zlk::getNotificationString(NotificationRules::Section, key, "<absent>");
}

} // namespace

class tst_NotificationWindows : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_env = std::make_unique<TestEnvironment>();
        Zlk::setSystemFolder(m_env->path());
        m_shown = 0;
        SetModalHandler([this](QWidget* window) {
            ++m_shown;
            QVERIFY2(!m_drivers.empty(), qPrintable(window->objectName()));
            auto driver = std::move(m_drivers.front());
            m_drivers.pop_front();
            window->show();
            driver(window);
            QVERIFY2(!window->isVisible(), qPrintable(window->objectName() + " left open"));
        });
    }

    void cleanup()
    {
        SetModalHandler({});
        m_drivers.clear();
        m_env.reset();
    }

    void attachThreshold_data()
    {
        QTest::addColumn<QString>("storedValue");
        QTest::addColumn<QString>("typed"); // "" : nothing typed
        QTest::addColumn<int>("messages");
        QTest::addColumn<QString>("saved");
        QTest::newRow("5000 stored") << "5000" << "" << 1 << "2000";
        QTest::newRow("2001 typed") << "1000" << "2001" << 1 << "2000";
        QTest::newRow("2000 typed") << "1000" << "2000" << 0 << "2000";
    }

    void attachThreshold()
    {
        QFETCH(QString, storedValue);
        QFETCH(QString, typed);
        QVERIFY(Zlk::setNotificationString(NotificationRules::Section, "txtAttach", storedValue));
        QVERIFY(Zlk::setNotificationString("", "", ""));
        frmEmailNotificationProperties list;
        if (!typed.isEmpty())
            type(&list, "txtAttach", typed);
        QTEST(int(m_env->messages().size()), "messages");
        for (const MessageRequest& message : m_env->messages()) {
            QCOMPARE(message.text, "Attach report value must be less then 2000");
            QCOMPARE(message.caption, "Validation Failure");
            QCOMPARE(message.icon, MsgIcon::None);
        }
        click(&list, "cmdOK");
        QTEST(stored("txtAttach"), "saved");
    }

    // The editor's checks in order; a failure keeps it open and writes nothing.
    void editorValidation_data()
    {
        QTest::addColumn<bool>("levels");    // Error stays checked
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("minutes"); // "" : Hourly stays
        QTest::addColumn<int>("answer");      // to the advice under 10 minutes
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("savedTime"); // "<open>" : the editor stays open
        const QString range = "Time value must be between 1 and 60 minutes";
        const QString advice = "It is advisable to set 'Check for and report on matching events' "
                               "to a value of at least 10 minutes";
        const int retry = int(MsgAnswer::Retry), cancel = int(MsgAnswer::Cancel);
        QTest::newRow("no level") << false << "a@b" << "" << 0
                                  << "At least one Report level must be selected" << "<open>";
        QTest::newRow("no address") << true << "" << "" << 0
                                    << "'Send to Email Address' is a required entry" << "<open>";
        QTest::newRow("blank address passes") << true << " " << "" << 0 << "" << "";
        QTest::newRow("0 minutes") << true << "a@b" << "0" << 0 << range << "<open>";
        QTest::newRow("61 minutes") << true << "a@b" << "61" << 0 << range << "<open>";
        QTest::newRow("not a number") << true << "a@b" << "ten" << 0 << range << "<open>";
        QTest::newRow("5, Retry") << true << "a@b" << "5" << retry << advice << "<open>";
        QTest::newRow("5, Cancel") << true << "a@b" << "5" << cancel << advice << "5";
        QTest::newRow("10 and a blank") << true << "a@b" << "10 " << 0 << "" << "10 ";
    }

    void editorValidation()
    {
        QFETCH(bool, levels);
        QFETCH(QString, address);
        QFETCH(QString, minutes);
        QFETCH(int, answer);
        QFETCH(QString, message);
        QFETCH(QString, savedTime);
        frmEmailNotificationProperties list;
        bool open = false;
        edit(&list, 4, [&](QWidget* editor) {
            if (!levels) {
                child<QCheckBox>(editor, "chkError")->setChecked(false);
                child<QCheckBox>(editor, "chkFatal")->setChecked(false);
            }
            type(editor, "txtSendTo", address);
            if (!minutes.isEmpty()) {
                QTest::mouseClick(child(editor, "txtCheckSpanMinutes"), Qt::LeftButton);
                QVERIFY(child<QRadioButton>(editor, "optTiming0")->isChecked());
                type(editor, "txtCheckSpanMinutes", minutes);
            }
            if (answer)
                m_env->answerNext(MsgAnswer(answer));
            click(editor, "cmdOK");
            open = editor->isVisible();
            if (open)
                click(editor, "cmdCancel");
        });
        QCOMPARE(m_env->messageTexts(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(open, savedTime == "<open>");
        const QTableWidget* grid = list.grid();
        QCOMPARE(grid->item(3, 6)->text(), open ? QString() : address);
        if (!open)
            QCOMPARE(grid->item(3, 11)->text(), savedTime);
    }

    // A new slot opens with the defaults and saves "Detailed Full", "12", "Hourly"
    // and an empty time; Delete then blanks it, and OK erases all fourteen keys.
    void newSlotAndDelete()
    {
        {
            frmEmailNotificationProperties list;
            // The defaults show in the row the editor saves.
            edit(&list, 25, [](QWidget* editor) {
                // 9999 alone leaves both sides open; an include entry locks the exclude side.
                QVERIFY(child(editor, "txtErrorNumberExclude")->isEnabled());
                type(editor, "txtErrorNumber", "17");
                click(editor, "cmdErrorNumberAdd");
                QVERIFY(!child(editor, "lstErrorNumberExclude")->isEnabled());
                type(editor, "txtSendTo", "ops@example.com");
                click(editor, "cmdOK");
            });
            QStringList row;
            for (int column = 0; column < 14; ++column)
                row.append(list.grid()->item(24, column)->text());
            QCOMPARE(row, (QStringList{"Detailed Full", "12", "17", "9999", "", "",
                                       "ops@example.com", "", "When", "User", "AutoIndex", "",
                                       "Hourly", "False"}));
            click(&list, "cmdOK");
        }
        QCOMPARE(stored("Report Type-25"), "Detailed Full");

        frmEmailNotificationProperties list;
        edit(&list, 25, [](QWidget* editor) { click(editor, "cmdDelete"); });
        QCOMPARE(list.grid()->item(24, 1)->text(), "12"); // the rest of the row stays
        click(&list, "cmdOK");
        for (int field = 1; field <= 14; ++field)
            QCOMPARE(stored(NotificationRules::Key(field, 25)), "");
    }

    // Every field edited through the windows, OK, OK; reopened, the editor shows
    // the same choices and the store holds the exact texts. Cancel stores nothing.
    void roundTripThroughWindows()
    {
        // A sort key that names no grid column is kept as stored.
        QVERIFY(
            Zlk::setNotificationString(NotificationRules::Section, "ReportSortBy2-3", "Nowhere"));
        QVERIFY(Zlk::setNotificationString("", "", ""));
        const QString reloadedBefore = stored("Reloaded");

        auto fill = [this](QWidget* list) {
            edit(static_cast<frmEmailNotificationProperties*>(list), 3, [](QWidget* editor) {
                QCOMPARE(child<QComboBox>(editor, "cmbSecond")->currentText(), "");
                click(editor, "optReportType2");
                child<QCheckBox>(editor, "chkStatus")->setChecked(true);
                click(editor, "optAllOrSome0");
                for (const QString app : {"Translator", "Mailbox"}) {
                    type(editor, "txtApplicationExclude", app);
                    click(editor, "cmdApplicationExcludeAdd");
                }
                type(editor, "txtSendTo", "ops@example.com; it@example.com");
                type(editor, "txtSubject", "Nightly errors");
                child<QComboBox>(editor, "cmbFirst")->setCurrentText("Level");
                child<QTimeEdit>(editor, "DTPicker1")->setTime(QTime(8, 30));
                QVERIFY(child<QRadioButton>(editor, "optTiming2")->isChecked());
                click(editor, "optFormat1");
                click(editor, "cmdOK");
            });
        };
        drive([&](QWidget* list) {
            fill(list);
            click(list, "cmdCancel");
        });
        OpenNotificationList(nullptr);
        QCOMPARE(stored("Reloaded"), reloadedBefore);
        QCOMPARE(stored("Send To Email Address-3"), "<absent>");

        drive([&](QWidget* list) {
            fill(list);
            click(list, "cmdOK");
        });
        OpenNotificationList(nullptr);
        QCOMPARE(m_shown, 4);
        const QStringList expected = {"Summary", "29", "", "9999", "", "Translator;Mailbox",
                                      "ops@example.com; it@example.com", "Nightly errors", "Level",
                                      "Nowhere", "AutoIndex", "08:30:00", "Daily", "True"};
        for (int field = 0; field < 14; ++field)
            QCOMPARE(stored(NotificationRules::Key(field + 1, 3)), expected[field]);
        QCOMPARE(stored("Reloaded"), "TRUE");

        // Reopened and confirmed unchanged: the editor loaded every field, so the
        // same texts come back.
        frmEmailNotificationProperties list;
        edit(&list, 3, [](QWidget* editor) {
            QVERIFY(!child(editor, "txtApplication")->isEnabled());
            click(editor, "cmdOK");
        });
        for (int field = 0; field < 14; ++field)
            QCOMPARE(list.grid()->item(2, field)->text(), expected[field]);

        // A double-click on a heading opens nothing; on a cell, the editor.
        QHeaderView* header = list.grid()->horizontalHeader();
        const QPoint heading(header->sectionPosition(2) + 5, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, heading);
        QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, heading);
        QCOMPARE(m_shown, 5);
        drive([](QWidget* editor) { click(editor, "cmdCancel"); });
        const QRect cell = list.grid()->visualRect(list.grid()->model()->index(4, 6));
        QTest::mouseClick(list.grid()->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(list.grid()->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(m_shown, 6);
    }

private:
    // Each modal window shown is handed to the next driver, which closes it.
    void drive(std::function<void(QWidget*)> driver) { m_drivers.push_back(std::move(driver)); }
    // The editor on row (1-based) of a list window, driven by driver.
    void edit(frmEmailNotificationProperties* list, int row, std::function<void(QWidget*)> driver)
    {
        list->grid()->setCurrentCell(row - 1, 0);
        drive(std::move(driver));
        list->findChild<QAction*>("mEmailNotificationPropertiesDetails")->trigger();
    }

    std::unique_ptr<TestEnvironment> m_env;
    std::deque<std::function<void(QWidget*)>> m_drivers;
    int m_shown = 0;
};

QTEST_MAIN(tst_NotificationWindows)
#include "tst_notificationwindows.moc"
