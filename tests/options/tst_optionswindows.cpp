#include "../viewer/ViewerFixture.h"
#include "AppState.h"
#include "HelpTopics.h"
#include "Settings.h"
#include "WeightTableRoutines.h"
#include "WidgetDriver.h"
#include "frmOptions.h"
#include "frmEmailNotificationDetails.h"
#include "frmEmailNotificationProperties.h"
#include "frmFilter.h"
#include "frmFind.h"
#include "frmWarningLevel.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QTreeWidget>

namespace {

// Rows as "error|application|weight", in table order.
QStringList weightRows()
{
    QList<WeightRecord> table;
    GetWeightTable(table);
    QStringList rows;
    for (qsizetype i = 0; i + 1 < table.size(); ++i)
        rows.append(QString::number(table[i].error) + '|' + table[i].application + '|' +
                    QString::number(table[i].weight));
    return rows;
}

// The viewer over a weight table holding the rows.
frmView* openWithWeights(ViewerFixture& f, const QStringList& rows)
{
    for (const QString& row : rows) {
        const QStringList c = row.split('|');
        f.db.exec(QStringLiteral("INSERT INTO weight VALUES (%1, '%2', %3)").arg(c[0], c[1], c[2]));
    }
    return f.openWith({});
}

QStringList listTexts(QWidget* options)
{
    QStringList rows;
    auto* list = child<QTreeWidget>(options, "ListView1");
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        rows.append(item->text(0) + '|' + item->text(1) + '|' + item->text(2));
    }
    return rows;
}

const QStringList ThreeRows = {"10|*|2", "9|APP1|3", "10|APP1|1"};

} // namespace

class tst_OptionsWindows : public QObject
{
    Q_OBJECT

private slots:
    void warningLevel_data()
    {
        QTest::addColumn<QString>("command"); // "Add" or "Edit" of the first row, then OK or Cancel
        QTest::addColumn<QString>("error");   // typed; "keep" leaves the pre-filled text
        QTest::addColumn<QString>("application");
        QTest::addColumn<QStringList>("after"); // empty: "Error must be between 0 and 32767"
        const QStringList range;
        QTest::newRow("32767") << "Add OK" << "32767" << "A" << QStringList{"7|*|1", "32767|A|2"};
        QTest::newRow("32768") << "Add OK" << "32768" << "A" << range;
        QTest::newRow("-1") << "Add OK" << "-1" << "A" << range;
        QTest::newRow("12abc") << "Add OK" << "12abc" << "A" << QStringList{"7|*|1", "12|A|2"};
        QTest::newRow("2.5 to even") << "Add OK" << "2.5" << "A" << QStringList{"7|*|1", "2|A|2"};
        QTest::newRow("3.5 to even") << "Add OK" << "3.5" << "A" << QStringList{"7|*|1", "4|A|2"};
        QTest::newRow("no application") << "Add OK" << "8" << "" << QStringList{"7|*|1", "8|*|2"};
        QTest::newRow("blank application")
            << "Add OK" << "8" << " " << QStringList{"7|*|1", "8||2"};
        QTest::newRow("edit replaces the row")
            << "Edit OK" << "keep" << "B" << QStringList{"7|B|2"};
        QTest::newRow("cancelled edit keeps the row") << "Edit Cancel" << "99"
                                                      << "B" << QStringList{"7|*|1"};
    }

    // The dialog opened from Preferences; weight "2 - Error" is chosen each time.
    void warningLevel()
    {
        QFETCH(QString, command);
        QFETCH(QString, error);
        QFETCH(QString, application);
        QFETCH(QStringList, after);
        ViewerFixture f;
        frmView* viewer = openWithWeights(f, {"7|*|1"});
        QVERIFY(viewer);
        bool enabledWhenBlank = true;
        QString prefilled, selected;
        f.driveModal([&](QWidget* window) {
            if (window->objectName() == "frmOptions") {
                auto* list = child<QTreeWidget>(window, "ListView1");
                if (command.startsWith("Edit"))
                    list->setCurrentItem(list->topLevelItem(0));
                click(window, command.startsWith("Edit") ? "editButton" : "addNewButton");
                QCOMPARE(listTexts(window).size(), after.isEmpty() ? 1 : after.size());
                click(window, "cmdCancel");
                return;
            }
            auto* errorBox = child<QComboBox>(window, "errorBox");
            auto* weightBox = child<QComboBox>(window, "weightBox");
            prefilled = errorBox->currentText() + '|' + weightBox->currentText();
            errorBox->setEditText("  ");
            enabledWhenBlank = child<QPushButton>(window, "saveButton")->isEnabled();
            errorBox->setEditText(error == "keep" ? "7" : error);
            child<QComboBox>(window, "applicationBox")->setEditText(application);
            weightBox->setCurrentIndex(2);
            click(window, command.endsWith("OK") ? "saveButton" : "cancelButton");
            if (window->isVisible()) {
                selected = errorBox->lineEdit()->selectedText();
                click(window, "cancelButton");
            }
        });
        viewer->mViewPreferences_Click();
        QCOMPARE(f.modalShown, 2);
        QVERIFY(!enabledWhenBlank);
        QCOMPARE(prefilled, command.startsWith("Edit") ? "7|1 - Warning" : "|0 - Status");
        QCOMPARE(weightRows(), after.isEmpty() ? QStringList{"7|*|1"} : after);
        QCOMPARE(f.env.messageTexts(),
                 after.isEmpty() ? QStringList{"Error must be between 0 and 32767"}
                                 : QStringList());
        QCOMPARE(selected, after.isEmpty() ? error : QString());
    }

    void days_data()
    {
        QTest::addColumn<QString>("days");
        QTest::addColumn<QString>("options"); // message of Preferences, "" when saved
        QTest::addColumn<QString>("purge");   // message of the purge dialog, "" when accepted
        const QString numeric = "Days must be numeric";
        QTest::newRow("1") << "1" << "" << "";
        QTest::newRow("999") << "999" << "" << "";
        QTest::newRow("2.5 as typed") << "2.5" << "" << "";
        QTest::newRow("0 only for the purge") << "0" << "Days must be between 1 and 999" << "";
        QTest::newRow("1e3") << "1e3" << "Days must be between 1 and 999"
                             << "Days must be between 0 and 999";
        QTest::newRow("abc") << "abc" << numeric << numeric;
    }

    // Preferences and the purge dialog on the same typed days.
    void days()
    {
        QFETCH(QString, days);
        QFETCH(QString, options);
        QFETCH(QString, purge);
        ViewerFixture f;
        f.env.setSetting(SettingKey::AutoDeleteDays, "45");
        frmView* viewer = f.openWith({});
        QVERIFY(viewer);
        QString shown;
        f.driveModal([&](QWidget* window) {
            auto* txtDays = child<QLineEdit>(window, "txtDays");
            shown = txtDays->text();
            txtDays->setText(days);
            click(window, "cmdOK");
            if (window->isVisible())
                click(window, "cmdCancel");
        });
        viewer->mViewPreferences_Click();
        QCOMPARE(shown, "45");
        QCOMPARE(f.env.messageTexts(), options.isEmpty() ? QStringList() : QStringList{options});
        QCOMPARE(GetSettingValue(SettingKey::AutoDeleteDays), options.isEmpty() ? days : "45");
        viewer->mFileDelete_Click();
        QCOMPARE(f.env.messageTexts().mid(options.isEmpty() ? 0 : 1),
                 purge.isEmpty() ? QStringList() : QStringList{purge});
    }

    void weightList_data()
    {
        QTest::addColumn<QString>("action"); // what is done to the list's item at selectRow
        QTest::addColumn<int>("selectRow");  // -1: none selected
        QTest::addColumn<QStringList>("list");
        QTest::addColumn<QStringList>("table");
        QTest::newRow("heading sorts as text")
            << "sort" << -1 << QStringList{"10||2", "10|APP1|1", "9|APP1|3"} << ThreeRows;
        QTest::newRow("* shown empty; delete without selection")
            << "deleteButton" << -1 << QStringList{"10||2", "9|APP1|3", "10|APP1|1"} << ThreeRows;
        QTest::newRow("delete the * row") << "deleteButton" << 0
                                          << QStringList{"9|APP1|3", "10|APP1|1"}
                                          << QStringList{"9|APP1|3", "10|APP1|1"};
        QTest::newRow("context menu delete") << "menuDelete" << 2
                                             << QStringList{"10||2", "9|APP1|3"}
                                             << QStringList{"10|*|2", "9|APP1|3"};
    }

    void weightList()
    {
        QFETCH(QString, action);
        QFETCH(int, selectRow);
        ViewerFixture f;
        QVERIFY(openWithWeights(f, ThreeRows));
        frmOptions options;
        auto* view = child<QTreeWidget>(&options, "ListView1");
        if (selectRow >= 0)
            view->setCurrentItem(view->topLevelItem(selectRow));
        if (action == "sort")
            view->header()->sectionClicked(0);
        else if (action == "menuDelete")
            child<QAction>(&options, "menuDelete")->trigger();
        else
            click(&options, action);
        QTEST(listTexts(&options), "list");
        QTEST(weightRows(), "table");
        QCOMPARE(options.currentTab(), 1);
    }

    void helpTopics_data()
    {
        QTest::addColumn<QStringList>("present"); // files under <root>/HELP
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("target");
        QTest::newRow("help file first")
            << QStringList{"QXAM32.HLP", "manual/index.html"} << "" << "QXAM32.HLP";
        QTest::newRow("else the manual")
            << QStringList{"manual/index.html"} << "" << "manual/index.html";
        QTest::newRow("a window's page")
            << QStringList{"manual/preferences.html"} << "preferences.html"
            << "manual/preferences.html";
        QTest::newRow("neither") << QStringList{} << "" << "manual/index.html";
    }

    void helpTopics()
    {
        QFETCH(QStringList, present);
        QFETCH(QString, page);
        QFETCH(QString, target);
        TestEnvironment env;
        QDir(env.path()).mkpath("HELP/manual");
        for (const QString& name : present)
            QVERIFY(QFile(env.filePath("HELP/" + name)).open(QIODevice::WriteOnly));
        QCOMPARE(HelpTarget(env.filePath("HELP/QXAM32.HLP"), page), env.filePath("HELP/" + target));
    }

    void helpKey_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("page");
        QTest::newRow("find") << "frmFind" << "find.html";
        QTest::newRow("filter") << "frmFilter" << "filter.html";
        QTest::newRow("rule list") << "frmEmailNotificationProperties" << "notification-list.html";
        QTest::newRow("rule editor") << "frmEmailNotificationDetails" << "notification-rule.html";
    }

    // F1 in the window asks for its page, and the manual has that page.
    void helpKey()
    {
        QFETCH(QString, window);
        QFETCH(QString, page);
        ViewerFixture f;
        frmView* viewer = f.openWith({});
        QVERIFY(viewer);
        frmEmailNotificationProperties list;
        frmEmailNotificationDetails editor(list.grid(), &list);
        frmFind::showFor(viewer);
        frmFilter::showFor(viewer);
        QWidget* shown = window == list.objectName()     ? &list
                         : window == editor.objectName() ? static_cast<QWidget*>(&editor)
                                                         : viewer->findChild<QWidget*>(window);
        QVERIFY(shown);
        QShortcut* f1 = nullptr;
        for (QShortcut* shortcut : shown->findChildren<QShortcut*>(Qt::FindDirectChildrenOnly))
            if (shortcut->key() == QKeySequence(QKeySequence::HelpContents))
                f1 = shortcut;
        QVERIFY(f1);
        // Neither file there: the message names the page.
        HelpFile = f.env.filePath("HELP/QXAM32.HLP");
        const qsizetype before = f.env.messages().size();
        emit f1->activated();
        QCOMPARE(f.env.messages().size(), before + 1);
        const QString text = f.env.messages().last().text;
        QVERIFY2(text.contains("manual/" + page), qPrintable(text));
        QVERIFY(QFileInfo(QStringLiteral(AUDITLOG_SOURCE_DIR "/docs/manual/") + page).isFile());
    }
};

QTEST_MAIN(tst_OptionsWindows)
#include "tst_optionswindows.moc"
