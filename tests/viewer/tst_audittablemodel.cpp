#include "AuditTableModel.h"
#include "ViewQuery.h"
#include "ViewerFixture.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

namespace {

QList<AuditEntry> manyEntries(int count)
{
    QList<AuditEntry> entries;
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
    void fetchesOnlyPaintedRows();
    void keysArriveInSlices();
};

void TestAuditTableModel::fetchesOnlyPaintedRows()
{
    ViewerFixture f;
    QVERIFY(f.db.add(manyEntries(3000)));
    f.env.recordSqlLog();
    frmView* viewer = f.open();
    QVERIFY(viewer);
    QTableView* grid = viewer->grid();
    auto pageFetches = [&f] { return f.env.sqlLog("jet").filter("[AutoIndex] IN ("); };
    grid->viewport()->repaint();
    QCOMPARE(viewer->model()->rowCount(), 3000);
    QCOMPARE(pageFetches().size(), 1); // of twelve pages
    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
    grid->viewport()->repaint();
    QVERIFY2(pageFetches().size() <= 3, qPrintable(pageFetches().join('\n')));
    QVERIFY(grid->indexAt(QPoint(5, 5)).row() > 2900);
    // The last page asks for the oldest keys.
    QVERIFY(pageFetches().last().contains(QRegularExpression("[(,]1[,)]")));
}

// Keys beyond the first slice arrive as appended rows; a requery then finds the
// current entry beyond the first slice again.
void TestAuditTableModel::keysArriveInSlices()
{
    ViewerFixture f;
    const int total = AuditView::FirstChunk + 5000;
    QVERIFY(f.db.add(manyEntries(total)));
    frmView* viewer = f.open(false);
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
    QCOMPARE(inserted.first().at(1).toInt(), AuditView::FirstChunk);
    QCOMPARE(inserted.last().at(2).toInt(), total - 1);
    QCOMPARE(view.keyAt(total - 1), 1); // newest first, the oldest entry last
    QCOMPARE(viewer->grid()->currentIndex().row(), 0);

    const int row = AuditView::FirstChunk + 1000;
    view.setCurrentRow(row);
    const qint64 key = view.keyAt(row);
    // A newer entry from elsewhere moves the current one a row down.
    f.db.add(AuditTestDb::entry(2, QDateTime::currentDateTime()));
    QVERIFY(RequeryView());
    QCOMPARE(view.currentRow(), row + 1);
    QCOMPARE(view.keyAt(row + 1), key);
    QCOMPARE(viewer->grid()->currentIndex().row(), row + 1);
}

QTEST_MAIN(TestAuditTableModel)
#include "tst_audittablemodel.moc"
