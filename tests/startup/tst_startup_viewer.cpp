#include "AppState.h"
#include "AuditDatabase.h"
#include "AuditTestDb.h"
#include "AuditView.h"
#include "Startup.h"
#include "TestEnvironment.h"
#include "frmView.h"

#include <QtTest>

// An interactive start without a command line: the viewer is loaded, the
// automatic purge runs, and then the viewer is shown.
class tst_StartupViewer : public QObject
{
    Q_OBJECT

private slots:
    void viewerShownAfterThePurge();
};

void tst_StartupViewer::viewerShownAfterThePurge()
{
    TestEnvironment env;
    AuditTestDb db;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QVERIFY(db.add({AuditTestDb::entry(0, now.addDays(-60)), AuditTestDb::entry(1, now),
                    AuditTestDb::entry(2, now.addDays(-2))}));

    QVERIFY(PrepareRun({"/SYSTEM", db.root()}, QStringLiteral("/nowhere/bin")));
    QCOMPARE(StartRun(), -1);

    frmView* viewer = frmView::existingInstance();
    QVERIFY(viewer);
    QVERIFY(viewer->isVisible());
    QCOMPARE(db.count(), 2);
    // The viewer's record set was requeried after the purge.
    QCOMPARE(AuditView::instance().recordCount(), 2);
    QVERIFY(!UnattendedMode);
    QVERIFY(env.messages().isEmpty());
    QVERIFY(!env.ended());

    viewer->close();
    QCOMPARE(env.endStatuses(), QList<int>{0});
    delete viewer;
    AuditView::instance().clear();
    AuditDatabase::instance().close();
}

QTEST_MAIN(tst_StartupViewer)
#include "tst_startup_viewer.moc"
