#include "AppState.h"
#include "AuditTableModel.h"
#include "CellMatcher.h"
#include "GridCellText.h"
#include "ViewerFixture.h"
#include "WidgetDriver.h"
#include "frmFilter.h"
#include "frmFind.h"

#include <QAction>
#include <QRegularExpression>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

namespace {
using Cells = QMap<int, QString>; // grid row -> Description; other rows "row N"

// Entries whose descriptions appear in the grid (newest first) in row order;
// after each, `hidden` warnings that the view leaves out (their keys lie between).
frmView* openWithRows(ViewerFixture& f, int rows, const Cells& cells, int level = 0, int hidden = 0)
{
    QList<AuditEntry> entries;
    const QDateTime start = QDateTime::currentDateTime().addSecs(-3600);
    for (int row = rows - 1; row >= 0; --row) {
        entries.append(AuditTestDb::entry(level, start.addSecs(rows - row),
                                          cells.value(row, QStringLiteral("row %1").arg(row))));
        for (int n = 0; n < hidden; ++n)
            entries.append(AuditTestDb::entry(1, start, QStringLiteral("needle hidden")));
    }
    if (hidden > 0)
        f.env.setSetting(QStringLiteral("LevelWarning"), QStringLiteral("False"));
    return f.db.add(entries) ? f.open() : nullptr;
}

QString source()
{
    return AuditView::instance().recordSource();
}

const QString AllBoxes = QStringLiteral(" [description] like '%%' and [application] like '%%' and "
                                        "[user] like '%%' and [details] like '%%'");
} // namespace

class TestFindFilter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QStringLiteral("en_US"))); }
    void findNext_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<Cells>("cells");
        QTest::addColumn<int>("active");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("matchCase");
        QTest::addColumn<bool>("wholeCell");
        QTest::addColumn<int>("hit");    // grid row, -1: "Finished searching"
        QTest::addColumn<int>("hidden"); // hidden entries after each row's key
        auto row = [](const char* name, int rows, const Cells& cells, int active, const char* text,
                      bool matchCase, bool wholeCell, int hit, int hidden = 0) {
            QTest::newRow(name) << rows << cells << active << QString::fromUtf8(text) << matchCase
                                << wholeCell << hit << hidden;
        };
        row("wraps round to a row above", 10, {{2, "needle"}}, 4, "needle", false, false, 2);
        row("rows below first", 10, {{2, "needle"}, {7, "needle"}}, 4, "needle", false, false, 7);
        row("active row never searched", 10, {{4, "needle"}}, 4, "needle", false, false, -1);
        row("err in Error in file", 2, {{1, "Error in file"}}, 0, "err", false, false, 1);
        row("whole cell: not Error in file", 2, {{1, "Error in file"}}, 0, "err", false, true, -1);
        row("whole cell: ERR", 2, {{1, "ERR"}}, 0, "err", false, true, 1);
        row("Err with case: not error", 2, {{1, "error"}}, 0, "Err", true, false, -1);
        row("blanks round text and cell", 2, {{1, "  needle  "}}, 0, " needle ", false, true, 1);
        row("details on one line", 2, {}, 0, "details Second", false, false, 1);
        row("non-ASCII, case folded", 2, {{1, "Zoll: Überweisung"}}, 0, "ÜBERWEISUNG", false,
            false, 1);
        row("whole cell over a line break", 2, {{1, "two\r\nlines"}}, 0, "Two Lines", false, true,
            1);
        // Slices of 500 rows: hits past a slice's end, after the wrap, in the last row.
        row("1200 rows, after the wrap", 1200, {{650, "needle"}}, 700, "needle", false, false, 650);
        row("1200 rows, last row", 1200, {{650, "needle"}, {1199, "needle"}}, 700, "needle", false,
            false, 1199);
        // Keys close together are read as a run, the hidden ones skipped; keys far
        // apart are looked up one by one.
        row("1200 rows, a hidden entry between", 1200, {{650, "needle"}}, 700, "needle", false,
            false, 650, 1);
        row("1200 rows, keys far apart", 1200, {{650, "needle"}}, 700, "needle", false, false, 650,
            2);
    }

    void findNext()
    {
        QFETCH(int, rows);
        QFETCH(Cells, cells);
        QFETCH(int, active);
        QFETCH(QString, text);
        QFETCH(bool, matchCase);
        QFETCH(bool, wholeCell);
        QFETCH(int, hit);
        QFETCH(int, hidden);
        ViewerFixture f;
        frmView* viewer = openWithRows(f, rows, cells, 0, hidden);
        QVERIFY(viewer);
        QTableView* grid = viewer->grid();
        grid->setCurrentIndex(viewer->model()->index(active, 0));

        frmFind* find = frmFind::showFor(viewer);
        child<QLineEdit>(find, "txt_Find")->setText(text);
        child<QCheckBox>(find, "chk_MatchCase")->setChecked(matchCase);
        child<QCheckBox>(find, "chk_WholeWord")->setChecked(wholeCell);
        click(find, "cmd_Find");

        QCOMPARE(grid->currentIndex().row(), hit < 0 ? active : hit);
        QCOMPARE(AuditView::instance().currentRow(), hit < 0 ? active : hit);
        QCOMPARE(f.env.messageTexts(), hit < 0 ? QStringList{"Finished searching"} : QStringList());
        if (hit < 0)
            QCOMPARE(f.env.messages().first().icon, MsgIcon::Information);
        QVERIFY(find->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    }

    // A When is searched as shown, "date time": a text without blanks in one
    // of the two parts, never as a whole cell; with a blank across both.
    void findInWhen_data()
    {
        QTest::addColumn<QString>("part"); // of the second row's When as shown
        QTest::addColumn<bool>("wholeCell");
        QTest::addColumn<int>("hit");
        QTest::newRow("whole cell: all of it") << "all" << true << 1;
        QTest::newRow("whole cell: the date alone") << "date" << true << -1;
        QTest::newRow("the date") << "date" << false << 1;
        QTest::newRow("minutes and seconds") << "mm:ss" << false << 1;
        QTest::newRow("across the blank") << "date hour" << false << 1;
    }

    void findInWhen()
    {
        QFETCH(QString, part);
        QFETCH(bool, wholeCell);
        QFETCH(int, hit);
        ViewerFixture f;
        frmView* viewer = openWithRows(f, 3, {});
        QVERIFY(viewer);
        const QString when = viewer->model()->index(1, GridCellText::WhenColumn).data().toString();
        const QString date = when.section(' ', 0, 0);
        const QString time = when.section(' ', 1);
        const QString text = part == "all"     ? when
                             : part == "date"  ? date
                             : part == "mm:ss" ? time.mid(time.indexOf(':') + 1, 5)
                                               : when.left(when.indexOf(':'));
        QVERIFY2(!date.isEmpty() && text.size() >= 5, qPrintable(when));
        frmFind* find = frmFind::showFor(viewer);
        child<QLineEdit>(find, "txt_Find")->setText(text);
        child<QCheckBox>(find, "chk_WholeWord")->setChecked(wholeCell);
        click(find, "cmd_Find");
        QCOMPARE(viewer->grid()->currentIndex().row(), hit < 0 ? 0 : hit);
        QCOMPARE(f.env.messageTexts(), hit < 0 ? QStringList{"Finished searching"} : QStringList());
    }

    void findButtonAndRepeat()
    {
        ViewerFixture f;
        frmView* viewer = openWithRows(f, 5, {{1, "Fatal here"}, {3, "needle"}}, 3);
        QVERIFY(viewer);
        child<QAction>(viewer, "mFileFind")->trigger();
        auto* find = viewer->findChild<frmFind*>();
        QVERIFY(find && find->isVisible());
        auto* text = child<QLineEdit>(find, "txt_Find");
        auto* findNext = child<QPushButton>(find, "cmd_Find");
        QVERIFY(!findNext->isEnabled());
        QTest::keyClicks(text, "   ");
        QVERIFY(!findNext->isEnabled());

        // The Level column shows the level's word: every row is a whole-cell "Fatal".
        text->setText(" fatal");
        child<QCheckBox>(find, "chk_WholeWord")->setChecked(true);
        QVERIFY(findNext->isEnabled());
        QList<QModelIndex> hits;
        for (int n = 0; n < 3; ++n) {
            QTest::keyClick(text, Qt::Key_Return);
            hits.append(viewer->grid()->currentIndex());
        }
        auto at = [viewer](int row) { return viewer->model()->index(row, 1); };
        QCOMPARE(hits, QList<QModelIndex>({at(1), at(2), at(3)}));

        QTest::keyClick(find, Qt::Key_Escape);
        QTRY_VERIFY(!viewer->findChild<frmFind*>());
    }

    void findShownDate()
    {
        ViewerFixture f;
        frmView* viewer = openWithRows(f, 3, {});
        QVERIFY(viewer);
        const QString shown = viewer->model()->index(2, 5).data().toString();
        const QString stored = AuditView::instance().entryAt(2).When;
        frmFind* find = frmFind::showFor(viewer);
        auto* text = child<QLineEdit>(find, "txt_Find");
        child<QCheckBox>(find, "chk_WholeWord")->setChecked(true);
        // The grid shows the locale's date and time, not the stored text.
        for (const QString& search : {stored, shown}) {
            text->setText(search);
            click(find, "cmd_Find");
        }
        QCOMPARE(f.env.messageTexts(), QStringList{"Finished searching"});
        QCOMPARE(viewer->grid()->currentIndex(), viewer->model()->index(2, 5));
    }

    void escapeStopsLongSearch()
    {
        ViewerFixture f;
        const int rows = 25000; // more than one step of the search
        frmView* viewer = openWithRows(f, rows, {{rows - 1, "needle"}});
        QVERIFY(viewer);
        frmFind* find = frmFind::showFor(viewer);
        child<QLineEdit>(find, "txt_Find")->setText("needle");
        // Escape arrives while the first rows are searched: it stops the search,
        // not the window.
        QTimer::singleShot(0, find, [find] { QTest::keyClick(find, Qt::Key_Escape); });
        find->cmd_Find_Click();
        QCOMPARE(viewer->grid()->currentIndex().row(), 0);
        QVERIFY(f.env.messages().isEmpty());
        QVERIFY(find->isVisible() && !find->isSearching());
        QVERIFY(child<QPushButton>(find, "cmd_Find")->isEnabled());
        find->cmd_Find_Click();
        QCOMPARE(viewer->grid()->currentIndex().row(), rows - 1);
    }

    void filter_data()
    {
        QTest::addColumn<int>("level");
        // error number, description, application, user, details
        QTest::addColumn<QStringList>("boxes");
        // Entries "description|level|error|user" (user NULL: a Null), in AutoIndex order.
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("where"); // what follows "where" in the statement; "": any
        QTest::addColumn<QStringList>("listed");
        auto row = [](const char* name, int level, const QStringList& boxes,
                      const QStringList& entries, const QString& where, const QStringList& listed) {
            QTest::newRow(name) << level << boxes << entries << where << listed;
        };
        const QStringList none = {"", "", "", "", ""};
        const QStringList people = {"a|0|0|O'Brien", "b|0|0|OBrien", "c|0|0|NULL", "d|0|0|o'brien"};
        const QStringList errors = {"e3|2|3|u", "e30|2|30|u", "e130|2|130|u", "e301|2|301|u",
                                    "w30|1|30|u"};
        row("blank error number, '%%' misses a Null", -1, {"  ", "", "", "", ""}, people, AllBoxes,
            {"a", "b", "d"});
        row("O'Brien as text", -1, {"", "", "", "O'Brien", ""}, people, "", {"a", "d"});
        row("error matched as text", 2, {"30", "", "", "", ""}, errors,
            " [level]=2 and [error] like '%30%' and" + AllBoxes, {"e30", "e130", "e301"});
        row("error number untrimmed", 2, {" 30", "", "", "", ""}, errors,
            " [level]=2 and [error] like '% 30%' and" + AllBoxes, {});
        row("fatal alone, database order", 3, none, {"f1|3|0|u", "s|0|0|u", "f2|3|0|u"}, "",
            {"f1", "f2"});
        row("typed wildcard", -1, {"", "a_c", "", "", ""}, {"abc|0|0|u", "a_c|0|0|u", "ac|0|0|u"},
            "", {"abc", "a_c"});
        row("wildcards and dates stay text", -1, {"", "disk%full_", "#1/1/2026#", "", ""}, people,
            " [description] like '%disk%full_%' and [application] like '%#1/1/2026#%' and "
            "[user] like '%%' and [details] like '%%'",
            {});
        row("quotes doubled in every box", 3, {"1'", "O'Brien", "'", "a''b", "x' or 1=1 --"},
            people,
            " [level]=3 and [error] like '%1''%' and [description] like '%O''Brien%' and "
            "[application] like '%''%' and [user] like '%a''''b%' and [details] like "
            "'%x'' or 1=1 --%'",
            {});
    }

    // The filter window's boxes as typed, over a file of an older schema whose
    // columns allow Nulls: the statement the view runs and the entries it lists.
    void filter()
    {
        QFETCH(int, level);
        QFETCH(QStringList, boxes);
        QFETCH(QStringList, entries);
        QFETCH(QString, where);
        ViewerFixture f;
        QVERIFY(f.db.isServer() ? f.db.exec("ALTER TABLE Audit ALTER [User] DROP NOT NULL")
                                : f.db.exec("DROP TABLE Audit") &&
                                      f.db.exec("CREATE TABLE Audit (AutoIndex INTEGER PRIMARY "
                                                "KEY, Level INTEGER, Error INTEGER, Description "
                                                "TEXT, Application TEXT, [When] TEXT, User TEXT, "
                                                "Details TEXT, Path TEXT, Unattended INTEGER, "
                                                "Response TEXT, TaskList TEXT)"));
        QList<AuditEntry> rows;
        for (const QString& text : entries) {
            const QStringList part = text.split('|');
            AuditEntry e =
                AuditTestDb::entry(part[1].toInt(), QDateTime::currentDateTime(), part[0]);
            e.Error = part[2].toInt();
            e.User = part[3];
            rows.append(e);
        }
        QVERIFY(f.db.add(rows));
        QVERIFY(f.db.exec("UPDATE Audit SET User = NULL WHERE User = 'NULL'"));
        frmView* viewer = f.open();
        QVERIFY(viewer);
        f.env.recordSqlLog();
        child<QAction>(viewer, "mViewFilter")->trigger();
        auto* filter = viewer->findChild<frmFilter*>();
        QVERIFY(filter && FilterWindowOpen);
        QCOMPARE(child<QComboBox>(filter, "errorLevelBox")->currentIndex(), -1);
        child<QComboBox>(filter, "errorLevelBox")->setCurrentIndex(level);
        const char* names[] = {"errorNumberBox", "descriptionBox", "applicationBox", "userBox",
                               "detailsBox"};
        for (int i = 0; i < 5; ++i)
            child<QLineEdit>(filter, names[i])->setText(boxes[i]);
        QTest::keyClick(child<QLineEdit>(filter, "detailsBox"), Qt::Key_Return);

        if (!where.isEmpty())
            QCOMPARE(source(), "select * from [Audit] where" + where);
        QVERIFY(IsFilterQuery(source()) && f.env.sqlLog("view").contains(source()));
        QVERIFY(f.env.messages().isEmpty());
        QVERIFY(!f.env.ended());
        QStringList shown;
        for (int row = 0; row < viewer->model()->rowCount(); ++row)
            shown.append(viewer->model()->index(row, 3).data().toString());
        QTEST(shown, "listed");
    }

    void filterWhileOpenAndCancel()
    {
        ViewerFixture f;
        frmView* viewer = openWithRows(f, 4, {{0, "needle"}});
        QVERIFY(viewer);
        QHeaderView* headings = viewer->grid()->horizontalHeader();
        auto clickHeading = [headings](int column) {
            QTest::mouseClick(
                headings->viewport(), Qt::LeftButton, {},
                {headings->sectionViewportPosition(column) + 5, headings->height() / 2});
        };
        clickHeading(5); // When, ascending
        const QString viewQuery = source();
        auto* status = viewer->findChild<QLabel*>("lblStatus");

        frmFilter* filter = frmFilter::showFor(viewer);
        child<QLineEdit>(filter, "descriptionBox")->setText("row");
        click(filter, "findCommand");
        QVERIFY(IsFilterQuery(source()));
        QCOMPARE(viewer->model()->rowCount(), 3);
        QCOMPARE(status->text(), "3 entries match the filter");
        QVERIFY(!headings->isSortIndicatorShown());

        // A heading click selects the column instead of sorting; F5 re-runs the filter.
        clickHeading(3);
        QCOMPARE(source(), FilterQueryText({-1, "", "row", "", "", ""}));
        const QModelIndexList selected = viewer->grid()->selectionModel()->selectedIndexes();
        QCOMPARE(selected.size(), 3);
        QVERIFY(std::all_of(selected.begin(), selected.end(),
                            [](const QModelIndex& i) { return i.column() == 3; }));
        QVERIFY(f.db.add(AuditTestDb::entry(1, QDateTime::currentDateTime(), "row added")));
        QTest::keyClick(viewer->grid(), Qt::Key_F5);
        QCOMPARE(viewer->model()->rowCount(), 4);
        QVERIFY(f.db.add(AuditTestDb::entry(1, QDateTime::currentDateTime(), "row added later")));
        QTest::keyClick(filter, Qt::Key_F5);
        QCOMPARE(viewer->model()->rowCount(), 5);

        // Cancel: the viewer's own query, with the sort the heading click chose.
        click(filter, "cancelCommand");
        QTRY_VERIFY(!viewer->findChild<frmFilter*>());
        QVERIFY(!FilterWindowOpen);
        QCOMPARE(source(), QString(viewQuery).replace("[When]", "[Description]"));
        QVERIFY(headings->isSortIndicatorShown());
        QCOMPARE(status->text(), "6 entries");

        // Reopened and closed at once: the view query as it was.
        const QString before = source();
        frmFilter::showFor(viewer)->close();
        QCOMPARE(source(), before);
    }

    void rejectedFilterKeepsViewer()
    {
        ViewerFixture f;
        frmView* viewer = openWithRows(f, 3, {});
        QVERIFY(viewer);
        const QString viewQuery = source();
        frmFilter* filter = frmFilter::showFor(viewer);
        QVERIFY(f.db.exec("ALTER TABLE Audit RENAME TO Elsewhere"));
        click(filter, "findCommand");
        QCOMPARE(f.env.messages().size(), 1);
        QCOMPARE(f.env.messages().first().caption, "Filter");
        QVERIFY(f.env.messages().first().text.contains(
            QRegularExpression("no such table|relation .* does not exist")));
        QCOMPARE(source(), viewQuery);
        QCOMPARE(viewer->model()->rowCount(), 3);
        QVERIFY(f.db.exec("ALTER TABLE Elsewhere RENAME TO Audit"));
        filter->close();
        QVERIFY(!f.env.ended());
        QCOMPARE(source(), viewQuery);
    }

    // The byte-wise path must agree with the rule on the text the grid shows.
    void bytesAgreeWithShownText_data()
    {
        QTest::addColumn<QString>("cell");
        for (const QString cell :
             {"Error in file", "  ERR\t", "err", "two\r\nlines", "two\nlines\r", "\tline one\n",
              "Überweisung an ERR", "Kelvin \u212A", "", "eRr eRR", "\r\nerr", "err\r\n",
              "err\nerr"}) {
            const QString name = QString(cell).replace('\n', "\\n").replace('\r', "\\r");
            QTest::newRow(qPrintable(name)) << cell;
        }
    }

    void bytesAgreeWithShownText()
    {
        QFETCH(QString, cell);
        const QString shown = GridCellText::oneLine(cell);
        for (const QString text :
             {"err", "ERR", " err ", "two lines", "line one", "o l", "k", "überweisung",
              "Error in file", "rr e", "lines", "err\terr", "err\nerr"}) {
            for (int flags = 0; flags < 4; ++flags) {
                const CellMatcher matcher(text, flags & 1, flags & 2);
                QVERIFY2(matcher.matchesStored(cell.toUtf8()) == matcher.matches(shown),
                         qPrintable(QStringLiteral("'%1' flags %2").arg(text).arg(flags)));
            }
        }
    }
};

QTEST_MAIN(TestFindFilter)
#include "tst_findfilter.moc"
