#include "AuditTableModel.h"
#include "Settings.h"
#include "Twips.h"
#include "ViewQuery.h"
#include "ViewerFixture.h"
#include "WidgetDriver.h"

#include <QAction>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QToolButton>

namespace {
const QString Select = QStringLiteral("SELECT Audit.* FROM Audit");
// Per level 0 to 3: its setting, menu item and toolbar button.
const QStringList LevelKeys = {"LevelStatus", "LevelWarning", "LevelError", "LevelFatalError"};
const QStringList LevelItems = {"mViewStatus", "mViewWarnings", "mViewErrors", "mViewFatal"};
const QStringList LevelButtons = {"STATUS", "WARNING", "ERROR", "FATAL"};

QString source()
{
    return AuditView::instance().recordSource();
}

// Entries of every level a second apart, from ten days ago.
QList<AuditEntry> manyEntries(int count)
{
    QList<AuditEntry> entries;
    const QDateTime start = QDateTime::currentDateTime().addDays(-10);
    for (int i = 0; i < count; ++i)
        entries.append(AuditTestDb::entry(i % 4, start.addSecs(i)));
    return entries;
}

} // namespace

class TestFrmView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QStringLiteral("en_US"))); }
    void levelToggles_data()
    {
        QTest::addColumn<QStringList>("stored"); // level keys stored "False" before load
        QTest::addColumn<QString>("control");    // toolbar button or menu item clicked
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("where");
        auto row = [](const char* name, const QStringList& stored, const QString& control,
                      int level, const QString& where) {
            QTest::newRow(name) << stored << control << level << where;
        };
        row("status off by button", {}, "STATUS", 0,
            " WHERE (Level = 1 OR Level = 3 OR Level = 2)");
        row("last level off", {"LevelStatus", "LevelWarning", "LevelError"}, "FATAL", 3,
            " WHERE Level =  -10");
        row("warnings back on by menu", {"LevelWarning", "LevelFatalError"}, "mViewWarnings", 1,
            " WHERE (Level = 0 OR Level = 1 OR Level = 2)");
        row("fourth level on by button", {"LevelError"}, "ERROR", 2, "");
    }

    void levelToggles()
    {
        QFETCH(QStringList, stored);
        QFETCH(QString, control);
        QFETCH(int, level);
        QFETCH(QString, where);
        ViewerFixture f;
        for (const QString& key : stored)
            f.env.setSetting(key, QStringLiteral("False"));
        frmView* viewer = f.openWith({0, 1, 2, 3});
        QVERIFY(viewer);

        if (auto* button = viewer->findChild<QToolButton*>(control))
            QTest::mouseClick(button, Qt::LeftButton);
        else
            child<QAction>(viewer, control)->trigger();
        QCOMPARE(source(), Select + where + " Order By [AutoIndex] DESC;");
        const QString key = LevelKeys[level];
        const bool on = stored.contains(key);
        QCOMPARE(child<QAction>(viewer, LevelItems[level])->isChecked(), on);
        QCOMPARE(child<QToolButton>(viewer, LevelButtons[level])->isChecked(), on);
        QCOMPARE(GetSettingValue(key), on ? QStringLiteral("True") : QStringLiteral("False"));
    }

    void headingClicks_data()
    {
        QTest::addColumn<QList<int>>("clicks"); // grid columns, 0-based
        QTest::addColumn<QString>("sortBy2");   // ReportSortBy2 in the settings
        QTest::addColumn<QString>("order");
        auto row = [](const char* name, const QList<int>& clicks, const QString& sortBy2,
                      const QString& order) { QTest::newRow(name) << clicks << sortBy2 << order; };
        row("When once", {5}, "", "[When], [AutoIndex] ;");
        row("When twice flips to DESC", {5, 5}, "", "[When], [AutoIndex] DESC;");
        row("another heading starts ascending", {5, 5, 3}, "", "[Description], [AutoIndex] ;");
        row("second key from the settings", {6}, "Application",
            "[User], [Application], [AutoIndex] ;");
    }

    void headingClicks()
    {
        QFETCH(QList<int>, clicks);
        QFETCH(QString, sortBy2);
        QFETCH(QString, order);
        ViewerFixture f;
        f.env.setSetting(SettingKey::ReportSortBy2, sortBy2);
        frmView* viewer = f.openWith({0, 1, 2, 3, 0, 1});
        QVERIFY(viewer);
        QCOMPARE(source(), Select + " Order By [AutoIndex]" +
                               (sortBy2.isEmpty() ? "" : ", [" + sortBy2 + "]") + " DESC;");

        QHeaderView* headings = viewer->grid()->horizontalHeader();
        const int widthBefore = headings->sectionSize(3);
        for (int column : clicks) {
            const QPoint at(headings->sectionViewportPosition(column) + 5, headings->height() / 2);
            QTest::mouseClick(headings->viewport(), Qt::LeftButton, {}, at);
        }
        QCOMPARE(source(), Select + " Order By " + order);
        QCOMPARE(viewer->grid()->currentIndex().column(), clicks.last());
        QCOMPARE(viewer->model()->rowCount(), 6);
        QCOMPARE(headings->sectionSize(3), widthBefore); // a new query keeps the widths
    }

    void emptyResultDisablesDeleteAndFind()
    {
        ViewerFixture f;
        f.env.setSetting(QStringLiteral("LevelWarning"), QStringLiteral("False"));
        frmView* viewer = f.openWith({1, 2});
        QVERIFY(viewer);
        auto enabled = [viewer] {
            return QList<bool>{viewer->toolbarButton("DELETE")->isEnabled(),
                               viewer->toolbarButton("FIND")->isEnabled(),
                               child<QAction>(viewer, "mFileDelete")->isEnabled(),
                               child<QAction>(viewer, "mFileFind")->isEnabled()};
        };
        QCOMPARE(enabled(), QList<bool>({true, true, true, true}));

        // Deleting the last entry empties the grid, where Delete and Details do nothing.
        QTest::keyClick(viewer->grid(), Qt::Key_Delete);
        QCOMPARE(enabled(), QList<bool>({false, false, false, false}));
        f.driveModal([](QWidget* window) { window->close(); });
        QTest::keyClick(viewer->grid(), Qt::Key_Delete);
        viewer->mPopupDelete_Click();
        viewer->mViewDetails_Click();
        QCOMPARE(f.modalShown, 0);
        QCOMPARE(f.db.count(), 1);
        QVERIFY(f.env.messages().isEmpty());
        QVERIFY(!f.env.ended());
    }

    // Each way to delete the current entry; the details window asks first and
    // closes only when the entry went.
    void deleteEntry_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("row");         // current row before the delete
        QTest::addColumn<int>("expectedRow"); // and after it, -1: nothing deleted
        QTest::newRow("button, middle row") << "button" << 2 << 2;
        QTest::newRow("Delete key, first row") << "key" << 0 << 0;
        QTest::newRow("popup, last row moves up") << "popup" << 4 << 3;
        QTest::newRow("details, Yes deletes and closes") << "details" << 1 << 1;
        QTest::newRow("details, No keeps both") << "details" << 1 << -1;
    }

    void deleteEntry()
    {
        QFETCH(QString, how);
        QFETCH(int, row);
        QFETCH(int, expectedRow);
        ViewerFixture f;
        frmView* viewer = f.openWith({0, 1, 2, 3, 0});
        QVERIFY(viewer);
        QTableView* grid = viewer->grid();
        AuditView& view = AuditView::instance();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(viewer->model()->index(row, 3)).center());
        const AuditEntry shown = view.currentEntry();
        const qint64 neighbour = view.keyAt(row == 4 ? 3 : row + 1);
        const bool deleted = expectedRow >= 0;

        bool stillOpen = false;
        QString description;
        f.driveModal([&](QWidget* window) {
            description =
                window->findChild<QWidget*>("txtField1")->property("plainText").toString();
            f.env.answerNext(deleted ? MsgAnswer::Yes : MsgAnswer::No);
            click(window, "cmdDelete");
            stillOpen = window->isVisible();
            window->close();
        });
        if (how == "button")
            click(viewer, "DELETE");
        else if (how == "key")
            QTest::keyClick(grid, Qt::Key_Delete);
        else if (how == "popup")
            child<QAction>(viewer, "mPopupDelete")->trigger();
        else
            QTest::keyClick(grid, Qt::Key_Return);
        if (how == "details") {
            QCOMPARE(description, shown.Description);
            QCOMPARE(f.env.messageTexts(), QStringList{"Delete this Message?"});
            QCOMPARE(f.env.messages().first().buttons, MsgButtons::YesNo);
            QCOMPARE(stillOpen, !deleted);
        }
        QCOMPARE(f.modalShown, int(how == "details"));
        QCOMPARE(f.db.keys().contains(shown.AutoIndex), !deleted);
        QCOMPARE(viewer->model()->rowCount(), deleted ? 4 : 5);
        if (deleted) {
            QCOMPARE(view.currentRow(), expectedRow);
            QCOMPARE(view.keyAt(view.currentRow()), neighbour);
            QCOMPARE(grid->currentIndex(), viewer->model()->index(expectedRow, 3));
        }
    }

    void settingsOnClose_data()
    {
        QTest::addColumn<Qt::WindowState>("state");
        QTest::addColumn<QString>("windowState"); // stored value, "" = left as it was
        QTest::addColumn<bool>("placementSaved");
        QTest::newRow("normal") << Qt::WindowNoState << "0" << true;
        QTest::newRow("maximised") << Qt::WindowMaximized << "2" << false;
        QTest::newRow("minimised") << Qt::WindowMinimized << "" << false;
    }

    void settingsOnClose()
    {
        QFETCH(Qt::WindowState, state);
        QFETCH(QString, windowState);
        QFETCH(bool, placementSaved);
        ViewerFixture f;
        for (const QString& key :
             {SettingKey::Top, SettingKey::Left, SettingKey::Height, SettingKey::Width})
            f.env.setSetting(key, QStringLiteral("4321"));
        f.env.setSetting(SettingKey::LastRun, QStringLiteral("19990101"));
        frmView* viewer = f.open(false);
        QVERIFY(viewer);
        viewer->setWindowState(state);
        viewer->show();
        QVERIFY(QTest::qWaitForWindowExposed(viewer) || state == Qt::WindowMinimized);
        if (state == Qt::WindowNoState) {
            viewer->resize(900, 500);
            viewer->move(30, 40);
        }

        child<QAction>(viewer, "mFileExit")->trigger();
        QCOMPARE(f.env.endStatuses(), QList<int>({0}));
        QVERIFY(!viewer->isVisible());
        QCOMPARE(GetSettingValue(SettingKey::WindowState), windowState);
        QCOMPARE(GetSettingValue(SettingKey::LastRun),
                 windowState.isEmpty() ? QStringLiteral("19990101")
                                       : QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
        const Twips twips(viewer);
        QCOMPARE(GetSettingValue(SettingKey::Width),
                 placementSaved ? Twips::text(twips.fromPixelsX(900)) : "4321");
        QCOMPARE(GetSettingValue(SettingKey::Height),
                 placementSaved ? Twips::text(twips.fromPixelsY(500)) : "4321");
        if (placementSaved) {
            delete viewer; // the saved placement brings the window back
            QCOMPARE(frmView::instance()->size(), QSize(900, 500));
            QCOMPARE(frmView::instance()->pos(), QPoint(30, 40));
        }
    }

    void columnWidths_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("applied"); // false: the design width stays
        QTest::newRow("twips") << "1500" << true;
        QTest::newRow("zero") << "0" << false;
        QTest::newRow("number then text") << "1500px" << false;
    }

    void columnWidths()
    {
        QFETCH(QString, stored);
        QFETCH(bool, applied);
        int designWidth = 0;
        {
            ViewerFixture plain;
            QVERIFY(plain.open(false));
            designWidth = frmView::existingInstance()->grid()->columnWidth(2);
        }
        ViewerFixture f;
        f.env.setSetting(SettingKey::ColWidth(3), stored);
        frmView* viewer = f.open();
        QVERIFY(viewer);
        const Twips twips(viewer);
        QCOMPARE(viewer->grid()->columnWidth(2),
                 applied ? twips.toPixelsX(stored.toDouble()) : designWidth);
        QCOMPARE(GetSettingValue(SettingKey::ColWidth(3)), stored);

        viewer->grid()->horizontalHeader()->resizeSection(3, 240);
        QCOMPARE(GetSettingValue(SettingKey::ColWidth(4)), Twips::text(twips.fromPixelsX(240)));
        QCOMPARE(GetSettingValue(SettingKey::ColWidth(3)), stored);
    }

    // Beyond the first slice: where the order ends in AutoIndex the rows are
    // counted in the view's snapshot and the last ones read from the back, also
    // after another program appended an entry; otherwise they arrive from the
    // front as appended rows. Every key ends up in order either way, and a
    // requery finds the current entry beyond the first slice again.
    void rowsBeyondTheFirstSlice_data()
    {
        QTest::addColumn<QString>("order");
        QTest::addColumn<bool>("counted");
        QTest::newRow("newest first") << "ORDER BY [AutoIndex] DESC" << true;
        QTest::newRow("oldest first, by time") << "ORDER BY [When], [AutoIndex]" << true;
        QTest::newRow("no order") << "" << false;
    }

    void rowsBeyondTheFirstSlice()
    {
        QFETCH(QString, order);
        QFETCH(bool, counted);
        ViewerFixture f;
        const int total = AuditView::FirstChunk + 5000;
        QVERIFY(f.db.add(manyEntries(total)));
        frmView* viewer = f.open(false);
        QVERIFY(viewer);
        AuditView& view = AuditView::instance();
        AuditTableModel* model = viewer->model();
        view.setRecordSource(Select + " WHERE [AutoIndex] > 0 " + order);
        QVERIFY(view.refresh());
        QCOMPARE(model->rowCount(), AuditView::FirstChunk);
        QSignalSpy resets(model, &QAbstractItemModel::modelReset);
        QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
        QSignalSpy finished(&view, &AuditView::loadingFinished);
        f.db.add(AuditTestDb::entry(2, QDateTime::currentDateTime()));
        const bool descending = order.contains("DESC");
        auto keyOfRow = [&](int row) { return descending ? total - row : row + 1; };
        if (counted) {
            QTRY_VERIFY(view.hasAllRows());
            QCOMPARE(model->rowCount(), total);
            QCOMPARE(inserted.size(), 1);
            for (int row : {total - 1, total - 2, AuditView::FirstChunk + 2500})
                QCOMPARE(view.entryAt(row).AutoIndex, keyOfRow(row));
            QCOMPARE(view.rowOfKey(keyOfRow(total - 3)), total - 3);
        }
        QTRY_VERIFY(!view.isLoading());
        QCOMPARE(finished.size(), 1);
        QCOMPARE(model->rowCount(), total);
        QCOMPARE(resets.count(), 0);
        QCOMPARE(inserted.first().at(1).toInt(), AuditView::FirstChunk);
        QCOMPARE(inserted.last().at(2).toInt(), total - 1);
        for (int row = 0; row < total; ++row)
            QCOMPARE(view.keyAt(row), keyOfRow(row));

        const int row = AuditView::FirstChunk + 1000;
        view.setCurrentRow(row);
        const qint64 key = view.keyAt(row);
        QVERIFY(RequeryView());
        // The newer entry comes first newest first, and last otherwise.
        QCOMPARE(view.currentRow(), descending ? row + 1 : row);
        QCOMPARE(view.keyAt(view.currentRow()), key);
        QCOMPARE(model->rowCount(), total + 1);
    }
};

QTEST_MAIN(TestFrmView)
#include "tst_frmview.moc"
