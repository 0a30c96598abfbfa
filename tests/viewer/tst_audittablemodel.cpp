// The grid's model over the viewer's record set: rows are fetched only for
// what is painted, keys beyond the first slice arrive as appended rows, and a
// deleted entry leaves without a reset.

#include "AuditTableModel.h"
#include "ViewQuery.h"
#include "ViewerFixture.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

namespace {

// The page fetches (SELECT ... WHERE [AutoIndex] IN (...)) among the statements run.
QStringList pageFetches(const TestEnvironment& env)
{
    QStringList pages;
    for (const QString& jet : env.sqlLog(QStringLiteral("jet")))
        if (jet.contains(QLatin1String("[AutoIndex] IN (")))
            pages.append(jet);
    return pages;
}

QList<AuditEntry> manyEntries(int count)
{
    QList<AuditEntry> entries;
    entries.reserve(count);
    const QDateTime start = QDateTime::currentDateTime().addDays(-10);
    for (int i = 0; i < count; ++i)
        entries.append(AuditTestDb::entry(i % 4, start.addSecs(i)));
    return entries;
}

} // namespace

class TestAuditTableModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void fetchesOnlyPaintedRows();
    void keysArriveInSlices();
    void recordCountReadsTheRest();
    void requeryFindsCurrentBeyondFirstSlice();
    void deleteRemovesOneRow();
    void whenText_data();
    void whenText();
};

void TestAuditTableModel::fetchesOnlyPaintedRows()
{
    ViewerFixture f;
    QVERIFY(f.db.add(manyEntries(3000)));
    f.env.recordSqlLog();
    frmView* viewer = f.open();
    QVERIFY(viewer);
    viewer->resize(900, 500);
    viewer->show();
    QVERIFY(QTest::qWaitForWindowExposed(viewer));
    QTableView* grid = viewer->grid();
    grid->viewport()->repaint();
    QCOMPARE(viewer->model()->rowCount(), 3000);
    // One page covers the first screen; 3000 rows are twelve pages.
    QCOMPARE(pageFetches(f.env).size(), 1);

    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
    grid->viewport()->repaint();
    const QStringList fetches = pageFetches(f.env);
    QVERIFY2(fetches.size() <= 3, qPrintable(fetches.join('\n')));
    QVERIFY(grid->indexAt(QPoint(5, 5)).row() > 2900);
    // The last page asks for the oldest keys only.
    QVERIFY(fetches.last().contains(QStringLiteral("(1,")) ||
            fetches.last().contains(QStringLiteral(",1)")));
}

void TestAuditTableModel::keysArriveInSlices()
{
    ViewerFixture f;
    const int total = AuditView::FirstChunk + 5000;
    QVERIFY(f.db.add(manyEntries(total)));
    frmView* viewer = f.open();
    QVERIFY(viewer);
    AuditView& view = AuditView::instance();
    AuditTableModel* model = viewer->model();

    QVERIFY(view.isLoading());
    QCOMPARE(model->rowCount(), AuditView::FirstChunk);
    QSignalSpy resets(model, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
    QSignalSpy finished(&view, &AuditView::loadingFinished);
    QVERIFY(finished.wait());
    QCOMPARE(model->rowCount(), total);
    QCOMPARE(resets.count(), 0);
    QVERIFY(inserted.count() >= 1);
    QCOMPARE(inserted.first().at(1).toInt(), AuditView::FirstChunk);
    QCOMPARE(inserted.last().at(2).toInt(), total - 1);
    // Newest first, the oldest entry last.
    QCOMPARE(view.keyAt(total - 1), 1);
    QCOMPARE(viewer->grid()->currentIndex().row(), 0);
}

void TestAuditTableModel::recordCountReadsTheRest()
{
    ViewerFixture f;
    const int total = AuditView::FirstChunk + 10;
    QVERIFY(f.db.add(manyEntries(total)));
    frmView* viewer = f.open();
    QVERIFY(viewer);
    AuditView& view = AuditView::instance();
    QVERIFY(view.isLoading());
    QSignalSpy inserted(viewer->model(), &QAbstractItemModel::rowsInserted);
    QCOMPARE(view.recordCount(), total);
    QVERIFY(!view.isLoading());
    QCOMPARE(viewer->model()->rowCount(), total);
    QCOMPARE(inserted.count(), 1);
    // An entry past the first slice is there when asked for.
    QCOMPARE(view.entryAt(total - 1).AutoIndex, 1);
}

void TestAuditTableModel::requeryFindsCurrentBeyondFirstSlice()
{
    ViewerFixture f;
    const int total = AuditView::FirstChunk + 3000;
    QVERIFY(f.db.add(manyEntries(total)));
    frmView* viewer = f.open();
    QVERIFY(viewer);
    AuditView& view = AuditView::instance();
    const int row = AuditView::FirstChunk + 1000;
    view.setCurrentRow(row);
    QCOMPARE(view.currentRow(), row);
    const qint64 key = view.keyAt(row);

    // Another program appends one newer entry: the current entry moves one row down.
    f.db.add(AuditTestDb::entry(2, QDateTime::currentDateTime()));
    QVERIFY(RequeryView());
    QCOMPARE(view.keyAt(view.currentRow()), key);
    QCOMPARE(view.currentRow(), row + 1);
    QCOMPARE(viewer->grid()->currentIndex().row(), row + 1);
}

void TestAuditTableModel::deleteRemovesOneRow()
{
    ViewerFixture f;
    QVERIFY(f.addLevels({0, 1, 2, 3}));
    frmView* viewer = f.open();
    QVERIFY(viewer);
    AuditTableModel* model = viewer->model();
    QSignalSpy resets(model, &QAbstractItemModel::modelReset);
    QSignalSpy removed(model, &QAbstractItemModel::rowsRemoved);
    AuditView::instance().setCurrentRow(1);
    const QString third = model->index(2, 3).data().toString();
    QVERIFY(AuditView::instance().deleteCurrent());
    QCOMPARE(resets.count(), 0);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.first().at(1).toInt(), 1);
    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(model->index(1, 3).data().toString(), third);
}

void TestAuditTableModel::whenText_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("parts"); // each must appear in the text

    QTest::newRow("US") << QLocale(QLocale::English, QLocale::UnitedStates) << "2003-12-28 22:59:58"
                        << QStringList({"12/28/2003", "10:59:58"});
    QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany) << "2003-03-04 07:05:09"
                            << QStringList({"04.03.2003", "07:05:09"});
    QTest::newRow("not a date") << QLocale(QLocale::English, QLocale::UnitedStates) << "yesterday"
                                << QStringList({"yesterday"});
}

void TestAuditTableModel::whenText()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, stored);
    QFETCH(QStringList, parts);
    const QString text = AuditTableModel::whenText(stored, locale);
    for (const QString& part : parts)
        QVERIFY2(text.contains(part), qPrintable(text));
}

QTEST_MAIN(TestAuditTableModel)
#include "tst_audittablemodel.moc"
