#include "AppState.h"
#include "AuditDatabase.h"
#include "AuditTestDb.h"
#include "AuditView.h"
#include "Settings.h"
#include "TestEnvironment.h"
#include "ViewLoad.h"

#include <QtTest>

// The viewer's data load without a window, and its error handler.
class tst_ViewLoad : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void loads_data();
    void loads();
    void notOpen();
    void handleError_data();
    void handleError();
};

void tst_ViewLoad::cleanup()
{
    AuditView::instance().clear();
    AuditDatabase::instance().close();
}

void tst_ViewLoad::loads_data()
{
    QTest::addColumn<QStringList>("settings"); // ReportSortBy..3, "" : absent
    QTest::addColumn<QString>("view");

    QTest::newRow("viewer defaults")
        << QStringList{"", "", ""} << "SELECT Audit.* FROM Audit Order By [AutoIndex] DESC;";
    // The report dialog's choices are the viewer's sort too.
    QTest::newRow("report dialog's sort")
        << QStringList{"When", "User", "AutoIndex"}
        << "SELECT Audit.* FROM Audit Order By [When], [User], [AutoIndex] DESC;";
    QTest::newRow("two keys") << QStringList{"Level", "Application", ""}
                              << "SELECT Audit.* FROM Audit Order By [Level], [Application], "
                                 "[AutoIndex] DESC;";
}

void tst_ViewLoad::loads()
{
    QFETCH(QStringList, settings);
    QFETCH(QString, view);

    TestEnvironment env;
    AuditTestDb db;
    QVERIFY(db.add({AuditTestDb::entry(0, QDateTime::currentDateTimeUtc()),
                    AuditTestDb::entry(3, QDateTime::currentDateTimeUtc())}));
    QVERIFY(db.openShared());
    env.setSetting(SettingKey::ReportSortBy, settings.at(0));
    env.setSetting(SettingKey::ReportSortBy2, settings.at(1));
    env.setSetting(SettingKey::ReportSortBy3, settings.at(2));
    env.recordSqlLog();

    QVERIFY(LoadViewData());
    QCOMPARE(AuditConnectionString, db.connectionString());
    QCOMPARE(QStringList({ViewSortBy1, ViewSortBy2, ViewSortBy3}),
             settings.at(0).isEmpty() ? QStringList({"AutoIndex", "", ""}) : settings);
    QCOMPARE(ViewSortDirection, QStringLiteral("DESC"));
    QCOMPARE(env.sqlLog(QStringLiteral("view")), QStringList{view});
    QVERIFY(AuditView::instance().isOpen());
    QCOMPARE(AuditView::instance().recordCount(), 2);
    QVERIFY(env.messages().isEmpty());
    QVERIFY(!env.ended());
}

// Without an open connection the load reports a missing database.
void tst_ViewLoad::notOpen()
{
    TestEnvironment env;
    DatabasePath = env.filePath(QStringLiteral("SYSTEM/Audit.mdb"));
    AuditError error;
    QVERIFY(
        !AuditDatabase::instance().open(AuditDatabase::connectionStringFor(DatabasePath), &error));
    QCOMPARE(error.number, ErrorDatabaseNotFound);

    QVERIFY(!LoadViewData());
    QCOMPARE(env.messageTexts(), QStringList{"Unable to open Audit database.  "});
    QCOMPARE(env.messages().at(0).caption, QStringLiteral("Load View"));
    QCOMPARE(env.messages().at(0).icon, MsgIcon::Exclamation);
    QCOMPARE(env.endStatuses(), QList<int>{1});
    QVERIFY(!AuditView::instance().isOpen());
}

void tst_ViewLoad::handleError_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("unattended");
    QTest::addColumn<QString>("message"); // "" : none shown
    QTest::addColumn<QString>("failure"); // part of the recorded run failure

    QTest::newRow("missing file") << 3024 << false << "Unable to open Audit database.  "
                                  << "";
    QTest::newRow("missing file, unattended")
        << 3024 << true << ""
        << "Unable to open Audit database /srv/velmora/SYSTEM/Audit.mdb";
    QTest::newRow("other error") << 26 << false << "Error 26 - file is not a database"
                                 << "";
    QTest::newRow("other error, unattended") << 26 << true << ""
                                             << "Load View: Error 26 - file is not a database";
}

void tst_ViewLoad::handleError()
{
    QFETCH(int, number);
    QFETCH(bool, unattended);
    QFETCH(QString, message);
    QFETCH(QString, failure);

    TestEnvironment env;
    UnattendedMode = unattended;
    DatabasePath = QStringLiteral("/srv/velmora/SYSTEM/Audit.mdb");
    const QString description = number == 3024 ? QStringLiteral("The audit database is not open.")
                                               : QStringLiteral("file is not a database");

    HandleViewLoadError({number, description});

    if (message.isEmpty()) {
        QVERIFY(env.messages().isEmpty());
    } else {
        QCOMPARE(env.messageTexts(), QStringList{message});
        QCOMPARE(env.messages().at(0).caption, QStringLiteral("Load View"));
        QCOMPARE(env.messages().at(0).icon, MsgIcon::Exclamation);
    }
    QCOMPARE(RunFailed(), !failure.isEmpty());
    QVERIFY2(RunFailureReason().contains(failure), qPrintable(RunFailureReason()));
    QCOMPARE(env.endStatuses(), QList<int>{1});
}

QTEST_GUILESS_MAIN(tst_ViewLoad)
#include "tst_viewload.moc"
