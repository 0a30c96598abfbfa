// The main viewer window on a real database: the query each level toggle and
// heading click runs, what an empty result disables, single-entry deletes,
// the settings written on close and the column widths read at load.

#include "AppState.h"
#include "AuditLevels.h"
#include "AuditTableModel.h"
#include "Settings.h"
#include "Twips.h"
#include "ViewerFixture.h"
#include "frmDetails.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>

namespace {
const QString allLevels = QStringLiteral("SELECT Audit.* FROM Audit Order By [AutoIndex] DESC;");

QAction* action(frmView* viewer, const char* name)
{
    return viewer->findChild<QAction*>(QString::fromLatin1(name));
}

QToolButton* button(frmView* viewer, const char* key)
{
    return viewer->findChild<QToolButton*>(QString::fromLatin1(key));
}

QString source()
{
    return AuditView::instance().recordSource();
}

qint64 currentKey()
{
    return AuditView::instance().keyAt(AuditView::instance().currentRow());
}
} // namespace

class TestFrmView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void menusAndToolbar();
    void levelToggles_data();
    void levelToggles();
    void headingClicks_data();
    void headingClicks();
    void emptyResultDisablesDeleteAndFind();
    void levelOutsideRangeHasNoIcon();
    void deleteMovesCurrentRow_data();
    void deleteMovesCurrentRow();
    void deleteOnEmptyGridDoesNothing();
    void detailsDelete_data();
    void detailsDelete();
    void detailsNeedsCurrentEntry();
    void settingsOnClose_data();
    void settingsOnClose();
    void columnWidthsAtLoad_data();
    void columnWidthsAtLoad();
    void columnWidthChangeIsSaved();
    void missingDatabase();
    void helpFileMissing();
    void keyboard();
};

void TestFrmView::menusAndToolbar()
{
    ViewerFixture f;
    frmView* viewer = f.open();
    QVERIFY(viewer);
    QCOMPARE(viewer->windowTitle(), QStringLiteral("Audit Log Viewer"));
    const QList<std::pair<const char*, const char*>> items = {
        {"mFilePrint", "&Print..."},
        {"mFileDelete", "&Delete..."},
        {"mFileFind", "&Find..."},
        {"mFileExit", "E&xit"},
        {"mViewStatus", "&Status Messages"},
        {"mViewFatal", "&Fatal Errors"},
        {"mViewFilter", "F&ilter Fields..."},
        {"mViewEmailNotificationPreferences", "Email &Notification Preferences..."},
        {"mHelpAbout", "&About Audit Log Viewer..."},
        {"mPopupDelete", "Delete"},
    };
    for (const auto& [name, caption] : items) {
        QAction* item = action(viewer, name);
        QVERIFY2(item, name);
        QCOMPARE(item->text(), QString::fromLatin1(caption));
    }
    // Menus in order with their separators between the groups.
    auto names = [](QMenu* menu) {
        QStringList list;
        for (QAction* a : menu->actions())
            list.append(a->objectName());
        return list;
    };
    QCOMPARE(names(viewer->findChild<QMenu*>(QStringLiteral("mFile"))),
             QStringList({"mFilePrint", "mFileSep1", "mFileDelete", "mFileFind", "mFileSep2",
                          "mFileExit"}));
    QCOMPARE(names(viewer->popupMenu()),
             QStringList({"mPopupDetails", "mPopupSep1", "mPopupDelete"}));

    const QStringList keys = {"PRINT",  "FIND",    "REFRESH", "DETAILS", "DELETE",
                              "STATUS", "WARNING", "ERROR",   "FATAL",   "HELP"};
    for (const QString& key : keys) {
        QToolButton* b = viewer->findChild<QToolButton*>(key);
        QVERIFY2(b, qPrintable(key));
        QVERIFY2(!b->icon().isNull(), qPrintable(key));
    }
    QCOMPARE(viewer->toolbarButton("WARNING")->toolTip(), QStringLiteral("View Warnings"));
    QCOMPARE(viewer->toolbarButton("PRINT")->toolTip(), QStringLiteral("Print Report"));
}

void TestFrmView::levelToggles_data()
{
    QTest::addColumn<QStringList>("stored"); // keys stored "False" before load
    QTest::addColumn<QString>("control");    // menu item or toolbar button clicked
    QTest::addColumn<QString>("expected");

    QTest::newRow("status off by button")
        << QStringList() << "STATUS"
        << "SELECT Audit.* FROM Audit WHERE (Level = 1 OR Level = 3 OR Level = 2) Order By "
           "[AutoIndex] DESC;";
    QTest::newRow("errors off by menu")
        << QStringList() << "mViewErrors"
        << "SELECT Audit.* FROM Audit WHERE (Level = 0 OR Level = 1 OR Level = 3) Order By "
           "[AutoIndex] DESC;";
    QTest::newRow("last level off by button")
        << QStringList({"LevelStatus", "LevelWarning", "LevelError"}) << "FATAL"
        << "SELECT Audit.* FROM Audit WHERE Level =  -10 Order By [AutoIndex] DESC;";
    QTest::newRow("warnings back on by menu")
        << QStringList({"LevelWarning", "LevelFatalError"}) << "mViewWarnings"
        << "SELECT Audit.* FROM Audit WHERE (Level = 0 OR Level = 1 OR Level = 2) Order By "
           "[AutoIndex] DESC;";
    QTest::newRow("fourth level on by button")
        << QStringList({"LevelError"}) << "ERROR" << allLevels;
}

void TestFrmView::levelToggles()
{
    QFETCH(QStringList, stored);
    QFETCH(QString, control);
    QFETCH(QString, expected);

    ViewerFixture f;
    QVERIFY(f.addLevels({0, 1, 2, 3}));
    for (const QString& key : stored)
        f.env.setSetting(key, QStringLiteral("False"));
    frmView* viewer = f.openShown();
    QVERIFY(viewer);

    int level = -1;
    if (QToolButton* b = viewer->findChild<QToolButton*>(control)) {
        level = AuditLevelByKeyword(control)->value;
        QTest::mouseClick(b, Qt::LeftButton);
    } else {
        QAction* item = viewer->findChild<QAction*>(control);
        QVERIFY(item);
        level = control == "mViewStatus"     ? 0
                : control == "mViewWarnings" ? 1
                : control == "mViewErrors"   ? 2
                                             : 3;
        item->trigger();
    }
    QCOMPARE(source(), expected);

    // Menu check, pressed button and the stored flag agree.
    const AuditLevel& entry = AuditLevels()[static_cast<size_t>(level)];
    const bool on = !stored.contains(entry.settingsKey);
    const char* items[] = {"mViewStatus", "mViewWarnings", "mViewErrors", "mViewFatal"};
    QCOMPARE(action(viewer, items[level])->isChecked(), !on);
    QCOMPARE(viewer->toolbarButton(entry.keyword)->isChecked(), !on);
    QCOMPARE(GetSettingValue(entry.settingsKey),
             on ? QStringLiteral("False") : QStringLiteral("True"));
}

void TestFrmView::headingClicks_data()
{
    QTest::addColumn<QList<int>>("clicks"); // grid columns, 0-based
    QTest::addColumn<QString>("sortBy2");   // ReportSortBy2 in the settings
    QTest::addColumn<QString>("expected");

    QTest::newRow("When once") << QList<int>{5} << QString()
                               << "SELECT Audit.* FROM Audit Order By [When], [AutoIndex] ;";
    QTest::newRow("When twice flips to DESC")
        << QList<int>{5, 5} << QString()
        << "SELECT Audit.* FROM Audit Order By [When], [AutoIndex] DESC;";
    QTest::newRow("When three times") << QList<int>{5, 5, 5} << QString()
                                      << "SELECT Audit.* FROM Audit Order By [When], [AutoIndex] ;";
    QTest::newRow("another heading starts ascending")
        << QList<int>{5, 5, 3} << QString()
        << "SELECT Audit.* FROM Audit Order By [Description], [AutoIndex] ;";
    QTest::newRow("AutoIndex itself")
        << QList<int>{0} << QString() << "SELECT Audit.* FROM Audit Order By [AutoIndex] ;";
    QTest::newRow("second key from the settings")
        << QList<int>{6} << QStringLiteral("Application")
        << "SELECT Audit.* FROM Audit Order By [User], [Application], [AutoIndex] ;";
}

void TestFrmView::headingClicks()
{
    QFETCH(QList<int>, clicks);
    QFETCH(QString, sortBy2);
    QFETCH(QString, expected);

    ViewerFixture f;
    QVERIFY(f.addLevels({0, 1, 2, 3, 0, 1}));
    f.env.setSetting(SettingKey::ReportSortBy2, sortBy2);
    frmView* viewer = f.openShown();
    QVERIFY(viewer);
    QCOMPARE(source(), sortBy2.isEmpty() ? allLevels
                                         : "SELECT Audit.* FROM Audit Order By [AutoIndex], [" +
                                               sortBy2 + "] DESC;");

    QHeaderView* headings = viewer->grid()->horizontalHeader();
    const int widthBefore = headings->sectionSize(3);
    for (int column : clicks) {
        const QPoint at(headings->sectionViewportPosition(column) + 5, headings->height() / 2);
        QTest::mouseClick(headings->viewport(), Qt::LeftButton, {}, at);
    }
    QCOMPARE(source(), expected);
    QCOMPARE(viewer->grid()->currentIndex().column(), clicks.last());
    QCOMPARE(viewer->model()->rowCount(), 6);
    QCOMPARE(headings->sectionSize(3), widthBefore); // a new query keeps the widths
}

void TestFrmView::emptyResultDisablesDeleteAndFind()
{
    ViewerFixture f;
    QVERIFY(f.addLevels({1, 2}));
    f.env.setSetting(QStringLiteral("LevelWarning"), QStringLiteral("False"));
    frmView* viewer = f.openShown();
    QVERIFY(viewer);
    auto enabled = [viewer] {
        return QList<bool>{viewer->toolbarButton("DELETE")->isEnabled(),
                           viewer->toolbarButton("FIND")->isEnabled(),
                           action(viewer, "mFileDelete")->isEnabled(),
                           action(viewer, "mFileFind")->isEnabled()};
    };
    QCOMPARE(enabled(), QList<bool>({true, true, true, true}));

    viewer->mViewErrors_Click(); // status and fatal only: nothing to show
    QCOMPARE(viewer->model()->rowCount(), 0);
    QCOMPARE(enabled(), QList<bool>({false, false, false, false}));

    viewer->mViewWarnings_Click();
    QCOMPARE(viewer->model()->rowCount(), 1);
    QCOMPARE(enabled(), QList<bool>({true, true, true, true}));

    // Deleting the last entry leaves nothing to delete or find either.
    QTest::keyClick(viewer->grid(), Qt::Key_Delete);
    QCOMPARE(viewer->model()->rowCount(), 0);
    QCOMPARE(enabled(), QList<bool>({false, false, false, false}));
    QCOMPARE(f.db.count(), 1);
}

void TestFrmView::levelOutsideRangeHasNoIcon()
{
    ViewerFixture f;
    QVERIFY(f.addLevels({0, 1, 2, 3, 4}));
    frmView* viewer = f.open();
    QVERIFY(viewer);
    AuditTableModel* model = viewer->model();
    QCOMPARE(model->rowCount(), 5);
    // Newest first: row 0 holds level 4.
    for (int row = 0; row < 5; ++row) {
        const int level = 4 - row;
        const QVariant icon = model->index(row, 1).data(Qt::DecorationRole);
        QCOMPARE(icon.value<QIcon>().isNull(), level == 4);
        QCOMPARE(model->index(row, 1).data(AuditTableModel::RawValueRole).toInt(), level);
    }
    QCOMPARE(model->index(0, 1).data().toString(), QStringLiteral("4"));
    QCOMPARE(model->index(1, 1).data().toString(), QStringLiteral("Fatal"));

    // Level 4 is matched by no flag: gone as soon as one level is off.
    viewer->mViewStatus_Click();
    QCOMPARE(model->rowCount(), 3);
}

void TestFrmView::deleteMovesCurrentRow_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("row");         // current row before the delete
    QTest::addColumn<int>("expectedRow"); // current row after it

    QTest::newRow("button, middle row") << "button" << 2 << 2;
    QTest::newRow("Delete key, first row") << "key" << 0 << 0;
    QTest::newRow("popup, last row moves up") << "popup" << 4 << 3;
}

void TestFrmView::deleteMovesCurrentRow()
{
    QFETCH(QString, how);
    QFETCH(int, row);
    QFETCH(int, expectedRow);

    ViewerFixture f;
    QVERIFY(f.addLevels({0, 1, 2, 3, 0}));
    frmView* viewer = f.openShown();
    QVERIFY(viewer);
    QTableView* grid = viewer->grid();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(viewer->model()->index(row, 3)).center());
    QCOMPARE(AuditView::instance().currentRow(), row);
    const qint64 deleted = currentKey();
    const qint64 neighbour = AuditView::instance().keyAt(row == 4 ? 3 : row + 1);

    if (how == "button")
        QTest::mouseClick(button(viewer, "DELETE"), Qt::LeftButton);
    else if (how == "key")
        QTest::keyClick(grid, Qt::Key_Delete);
    else
        action(viewer, "mPopupDelete")->trigger();

    QCOMPARE(viewer->model()->rowCount(), 4);
    QVERIFY(!f.db.keys().contains(deleted));
    QCOMPARE(AuditView::instance().currentRow(), expectedRow);
    QCOMPARE(grid->currentIndex().row(), expectedRow);
    QCOMPARE(currentKey(), neighbour);
    QCOMPARE(grid->currentIndex().column(), 3);
}

void TestFrmView::deleteOnEmptyGridDoesNothing()
{
    ViewerFixture f;
    frmView* viewer = f.openShown();
    QVERIFY(viewer);
    QCOMPARE(viewer->model()->rowCount(), 0);
    QTest::keyClick(viewer->grid(), Qt::Key_Delete);
    viewer->Toolbar1_ButtonClick(QStringLiteral("DELETE"));
    viewer->mPopupDelete_Click();
    QVERIFY(f.env.messages().isEmpty());
    QVERIFY(!f.env.ended());
}

void TestFrmView::detailsDelete_data()
{
    QTest::addColumn<MsgAnswer>("answer");
    QTest::newRow("Yes deletes and closes") << MsgAnswer::Yes;
    QTest::newRow("No keeps both") << MsgAnswer::No;
}

void TestFrmView::detailsDelete()
{
    QFETCH(MsgAnswer, answer);

    ViewerFixture f;
    QVERIFY(f.addLevels({0, 2, 1}));
    frmView* viewer = f.openShown();
    QVERIFY(viewer);
    AuditView::instance().setCurrentRow(1);
    const AuditEntry shown = AuditView::instance().currentEntry();

    bool stillOpen = false;
    QString descriptionBox;
    f.driveModal([&](QWidget* window) {
        QCOMPARE(window->windowTitle(), QStringLiteral("Details"));
        auto* description = window->findChild<QWidget*>(QStringLiteral("txtField1"));
        descriptionBox = description->property("plainText").toString();
        QCOMPARE(
            window->findChild<QWidget*>(QStringLiteral("txtField5"))->property("text").toString(),
            QString::number(shown.Level));
        f.env.answerNext(answer);
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdDelete")),
                          Qt::LeftButton);
        stillOpen = window->isVisible();
        window->close();
    });
    QTest::keyClick(viewer->grid(), Qt::Key_Return);
    QCOMPARE(f.modalShown, 1);
    QCOMPARE(descriptionBox, shown.Description);

    QCOMPARE(f.env.messages().size(), 1);
    const MessageRequest asked = f.env.messages().first();
    QCOMPARE(asked.text, QStringLiteral("Delete this Message?"));
    QCOMPARE(asked.buttons, MsgButtons::YesNo);
    QCOMPARE(asked.icon, MsgIcon::None);
    QCOMPARE(asked.caption, QStringLiteral("Audit Log Viewer"));

    const bool deleted = answer == MsgAnswer::Yes;
    QCOMPARE(stillOpen, !deleted);
    QCOMPARE(f.db.keys().contains(shown.AutoIndex), !deleted);
    QCOMPARE(viewer->model()->rowCount(), deleted ? 2 : 3);
    QCOMPARE(AuditView::instance().rowOfKey(shown.AutoIndex) >= 0, !deleted);
    QVERIFY(!f.env.ended());
}

void TestFrmView::detailsNeedsCurrentEntry()
{
    ViewerFixture f;
    frmView* viewer = f.openShown();
    QVERIFY(viewer);
    f.driveModal([](QWidget* window) { window->close(); });
    viewer->mViewDetails_Click();
    QTest::mouseClick(button(viewer, "DETAILS"), Qt::LeftButton);
    QCOMPARE(f.modalShown, 0);
}

void TestFrmView::settingsOnClose_data()
{
    QTest::addColumn<Qt::WindowState>("state");
    QTest::addColumn<QString>("windowState"); // stored value, "" = left as it was
    QTest::addColumn<bool>("placementSaved");

    QTest::newRow("normal") << Qt::WindowNoState << "0" << true;
    QTest::newRow("maximised") << Qt::WindowMaximized << "2" << false;
    QTest::newRow("minimised") << Qt::WindowMinimized << "" << false;
}

void TestFrmView::settingsOnClose()
{
    QFETCH(Qt::WindowState, state);
    QFETCH(QString, windowState);
    QFETCH(bool, placementSaved);

    ViewerFixture f;
    const QString old = QStringLiteral("4321");
    for (const QString& key :
         {SettingKey::Top, SettingKey::Left, SettingKey::Height, SettingKey::Width})
        f.env.setSetting(key, old);
    f.env.setSetting(SettingKey::LastRun, QStringLiteral("19990101"));
    frmView* viewer = f.open();
    QVERIFY(viewer);
    viewer->setWindowState(state);
    viewer->show();
    QVERIFY(QTest::qWaitForWindowExposed(viewer) || state == Qt::WindowMinimized);
    if (state == Qt::WindowNoState) {
        viewer->resize(900, 500);
        viewer->move(30, 40);
    }

    action(viewer, "mFileExit")->trigger();
    QCOMPARE(f.env.endStatuses(), QList<int>({0}));
    QVERIFY(!viewer->isVisible());

    QCOMPARE(GetSettingValue(SettingKey::WindowState), windowState);
    QCOMPARE(GetSettingValue(SettingKey::LastRun),
             windowState.isEmpty() ? QStringLiteral("19990101")
                                   : QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
    const Twips twips(viewer);
    const QString expectedWidth = placementSaved ? Twips::text(twips.fromPixelsX(900)) : old;
    QCOMPARE(GetSettingValue(SettingKey::Width), expectedWidth);
    QCOMPARE(GetSettingValue(SettingKey::Height),
             placementSaved ? Twips::text(twips.fromPixelsY(500)) : old);
    if (placementSaved) {
        // The saved placement brings the window back where it was.
        delete viewer;
        frmView* again = frmView::instance();
        QCOMPARE(again->size(), QSize(900, 500));
        QCOMPARE(again->pos(), QPoint(30, 40));
    }
}

void TestFrmView::columnWidthsAtLoad_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("applied"); // false: the design width stays

    QTest::newRow("twips") << "1500" << true;
    QTest::newRow("decimal") << "1522.5" << true;
    QTest::newRow("zero") << "0" << false;
    QTest::newRow("negative") << "-300" << false;
    QTest::newRow("not a number") << "wide" << false;
    QTest::newRow("number then text") << "1500px" << false;
}

void TestFrmView::columnWidthsAtLoad()
{
    QFETCH(QString, stored);
    QFETCH(bool, applied);

    int designWidth = 0;
    {
        ViewerFixture plain;
        frmView* viewer = plain.open();
        QVERIFY(viewer);
        designWidth = viewer->grid()->columnWidth(2);
    }
    ViewerFixture f;
    f.env.setSetting(SettingKey::ColWidth(3), stored);
    frmView* viewer = f.open();
    QVERIFY(viewer);
    QCOMPARE(viewer->grid()->columnWidth(2),
             applied ? Twips(viewer).toPixelsX(stored.toDouble()) : designWidth);
    QVERIFY(!applied || designWidth != Twips(viewer).toPixelsX(stored.toDouble()));
    QCOMPARE(GetSettingValue(SettingKey::ColWidth(3)), stored); // loading writes nothing
}

void TestFrmView::columnWidthChangeIsSaved()
{
    ViewerFixture f;
    frmView* viewer = f.openShown();
    QVERIFY(viewer);
    QVERIFY(GetSettingValue(SettingKey::ColWidth(4)).isEmpty());
    viewer->grid()->horizontalHeader()->resizeSection(3, 240);
    const Twips twips(viewer);
    QCOMPARE(GetSettingValue(SettingKey::ColWidth(4)), Twips::text(twips.fromPixelsX(240)));
    QVERIFY(GetSettingValue(SettingKey::ColWidth(3)).isEmpty());
}

void TestFrmView::missingDatabase()
{
    ViewerFixture f;
    AuditDatabase::instance().open(
        AuditDatabase::connectionStringFor(f.env.filePath(QStringLiteral("none/Audit.mdb"))));
    frmView* viewer = frmView::instance();
    QVERIFY(viewer);
    QCOMPARE(f.env.messageTexts(), QStringList({"Unable to open Audit database.  "}));
    QCOMPARE(f.env.messages().first().caption, QStringLiteral("Load View"));
    QCOMPARE(f.env.messages().first().icon, MsgIcon::Exclamation);
    QCOMPARE(f.env.endStatuses(), QList<int>({1}));
}

void TestFrmView::helpFileMissing()
{
    ViewerFixture f;
    frmView* viewer = f.openShown();
    QVERIFY(viewer);
    HelpFile = f.env.filePath(QStringLiteral("HELP/QXAM32.HLP"));
    QTest::mouseClick(button(viewer, "HELP"), Qt::LeftButton);
    QCOMPARE(f.env.messages().size(), 1);
    QVERIFY(f.env.messageTexts().first().contains(HelpFile));
    QCOMPARE(f.env.messages().first().icon, MsgIcon::Information);
}

void TestFrmView::keyboard()
{
    ViewerFixture f;
    QVERIFY(f.addLevels({0, 1}));
    frmView* viewer = f.openShown();
    QVERIFY(viewer);
    viewer->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(viewer));
    QCOMPARE(QApplication::focusWidget(), viewer->grid());

    // Ctrl+P: the report dialog, modal.
    QString opened;
    f.driveModal([&opened](QWidget* window) {
        opened = window->objectName();
        window->close();
    });
    QTest::keyClick(viewer, Qt::Key_P, Qt::ControlModifier);
    QCOMPARE(opened, QStringLiteral("frmReport"));

    // F5: entries another program appended since show up.
    f.db.add(AuditTestDb::entry(2, QDateTime::currentDateTime()));
    QTest::keyClick(viewer->grid(), Qt::Key_F5);
    QCOMPARE(viewer->model()->rowCount(), 3);
    QCOMPARE(AuditView::instance().currentRow(), 1); // the same entry, one row down

    // The menu key: the popup menu at the current row.
    QTest::keyClick(viewer->grid(), Qt::Key_Down);
    QCOMPARE(AuditView::instance().currentRow(), 2);
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(1, 1),
                              viewer->grid()->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(viewer->grid(), &menuKey);
    QTRY_VERIFY(viewer->popupMenu()->isVisible());
    const QRect cell = viewer->grid()->visualRect(viewer->model()->index(2, 0));
    QVERIFY(viewer->popupMenu()->geometry().top() >=
            viewer->grid()->viewport()->mapToGlobal(cell.topLeft()).y());
    viewer->popupMenu()->close();

    // Enter: details of the current entry.
    f.driveModal([](QWidget* window) { window->close(); });
    QTest::keyClick(viewer->grid(), Qt::Key_Enter);
    QCOMPARE(f.modalShown, 1);
}

QTEST_MAIN(TestFrmView)
#include "tst_frmview.moc"
