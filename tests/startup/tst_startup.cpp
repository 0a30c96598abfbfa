#include "AppState.h"
#include "AuditDatabase.h"
#include "AuditTestDb.h"
#include "AuditView.h"
#include "Settings.h"
#include "SqlDate.h"
#include "Startup.h"
#include "TestEnvironment.h"

#include <QtTest>

// Start-up in this process, up to the choice of the run: defaults, the
// installation root, the invalid-line message, the paths, the purge and the
// statements it runs. Runs of the real program are in tst_auditlog_run.
class tst_Startup : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void installRoot_data();
    void installRoot();
    void thresholds_data();
    void thresholds();
    void defaults();
    void invalidLine_data();
    void invalidLine();
    void unattendedPurgeRun();
    void missingDatabase();
};

void tst_Startup::cleanup()
{
    AuditView::instance().clear();
    AuditDatabase::instance().close();
}

void tst_Startup::installRoot_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("root");

    QTest::newRow("bin folder") << "/usr/lib/velmora/bin"
                                << "/usr/lib/velmora/";
    QTest::newRow("build tree") << "/work/main/build/bin"
                                << "/work/main/build/";
    QTest::newRow("trailing slash") << "/opt/velmora/bin/"
                                    << "/opt/velmora/";
    QTest::newRow("below the root") << "/bin"
                                    << "/";
    QTest::newRow("the root") << "/"
                              << "../";
    QTest::newRow("relative, no parent") << "bin"
                                         << "../";
    QTest::newRow("empty") << ""
                           << "../";
}

void tst_Startup::installRoot()
{
    QFETCH(QString, folder);
    QFETCH(QString, root);
    QCOMPARE(InstallRootFromFolder(folder), root);
}

void tst_Startup::thresholds_data()
{
    QTest::addColumn<QStringList>(
        "settings"); // ReportAttachAtSize, ReportZipAtSize, AbortAttachAtSize
    QTest::addColumn<QList<int>>("sizes");

    QTest::newRow("absent") << QStringList{"", "", ""} << QList<int>{1000, 100000, 500000};
    QTest::newRow("set") << QStringList{"2000", "300000", "600000"}
                         << QList<int>{2000, 300000, 600000};
    // Values no 32-bit number can hold leave the defaults.
    QTest::newRow("not numbers") << QStringList{"abc", "1.5", "99999999999"}
                                 << QList<int>{1000, 100000, 500000};
}

void tst_Startup::thresholds()
{
    QFETCH(QStringList, settings);
    QFETCH(QList<int>, sizes);

    TestEnvironment env;
    env.setSetting(SettingKey::ReportAttachAtSize, settings.at(0));
    env.setSetting(SettingKey::ReportZipAtSize, settings.at(1));
    env.setSetting(SettingKey::AbortAttachAtSize, settings.at(2));
    QVERIFY(PrepareRun({}, QStringLiteral("/opt/velmora/bin")));
    QCOMPARE(QList<int>({Options.AttachAtSize, Options.ZipAtSize, Options.AbortAttachAtSize}),
             sizes);

    // A size on the command line wins over the setting.
    QVERIFY(PrepareRun({"/ZIP_OVER", "7"}, QStringLiteral("/opt/velmora/bin")));
    QCOMPARE(Options.ZipAtSize, 7);
    QCOMPARE(Options.AttachAtSize, sizes.at(0));
}

void tst_Startup::defaults()
{
    TestEnvironment env;
    UnattendedMode = true; // left from an earlier run: start-up clears it
    Options.Status = true;
    QVERIFY(PrepareRun({}, QStringLiteral("/opt/velmora/bin")));
    QVERIFY(!UnattendedMode);
    QVERIFY(!Options.Status);
    QCOMPARE(Options.Destination, int16_t(-1));
    QCOMPARE(InstallRoot, QStringLiteral("/opt/velmora/"));
    // Today's date, as a text the date rules read back as today.
    const auto span = ReadLocaleDateTime(Options.SpanStart);
    QVERIFY(span);
    QCOMPARE(span->date(), QDate::currentDate());
    QCOMPARE(Options.SpanEnd, Options.SpanStart);
    QCOMPARE(StartupCommandLine(), QString());
}

void tst_Startup::invalidLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("message");

    QTest::newRow("two destinations") << QStringList{"/PRINT", "/FILE", "x"} << true;
    QTest::newRow("bad token before UNATTENDED") << QStringList{"/BOGUS", "/UNATTENDED"} << true;
    QTest::newRow("bad token after UNATTENDED") << QStringList{"/UNATTENDED", "/BOGUS"} << false;
}

void tst_Startup::invalidLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, message);

    TestEnvironment env;
    QVERIFY(!PrepareRun(arguments, QStringLiteral("/opt/velmora/bin")));
    QCOMPARE(ReportInvalidCommandLine(), 2);
    if (message) {
        QCOMPARE(env.messageTexts(), QStringList{QStringLiteral("Invalid Command Line. '") +
                                                 arguments.join(' ') + QStringLiteral("' ")});
        QCOMPARE(env.messages().at(0).icon, MsgIcon::Information);
        QCOMPARE(env.messages().at(0).buttons, MsgButtons::Ok);
        QCOMPARE(env.messages().at(0).caption, QStringLiteral("Velmora"));
    } else {
        QVERIFY(env.messages().isEmpty());
    }
    QVERIFY(!AuditDatabase::instance().isOpen());
}

// An unattended run without a report: the paths from /SYSTEM, the connection,
// the viewer's query and the purge, each statement as written.
void tst_Startup::unattendedPurgeRun()
{
    TestEnvironment env;
    AuditTestDb db;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QVERIFY(db.add({AuditTestDb::entry(1, now.addDays(-45)), AuditTestDb::entry(2, now),
                    AuditTestDb::entry(3, now.addDays(-31))}));
    env.recordSqlLog();
    // The root without its trailing "/": start-up adds it.
    QString root = db.root();
    root.chop(1);
    QVERIFY(PrepareRun({"/SYSTEM", root, "/UNATTENDED"}, QStringLiteral("/nowhere/bin")));
    QCOMPARE(StartupCommandLine(), QStringLiteral("/SYSTEM \"%1\" /UNATTENDED").arg(root));

    QCOMPARE(StartRun(), 0);
    QCOMPARE(InstallRoot, db.root() + QStringLiteral("SYSTEM/"));
    QCOMPARE(DatabasePath, db.path());
    QCOMPARE(HelpFile, db.root() + QStringLiteral("HELP/QXAM32.HLP"));
    QCOMPARE(AuditDatabase::instance().connectionString(),
             QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + db.path() +
                 QStringLiteral(";Mode=ReadWrite|Share Deny None;Persist Security Info=False"));
    QCOMPARE(AuditConnectionString, AuditDatabase::instance().connectionString());
    QCOMPARE(db.count(), 1);

    const QString view = QStringLiteral("SELECT Audit.* FROM Audit Order By [AutoIndex] DESC;");
    // The first view query, and the requery after the purge.
    QCOMPARE(env.sqlLog(QStringLiteral("view")), QStringList({view, view}));
    const QString purge =
        QStringLiteral("DELETE Audit.* FROM Audit WHERE [When] < #%1#  AND Level <= 3")
            .arg(SqlDateLiteral(QStringLiteral("d"), -29, QDate::currentDate()));
    QCOMPARE(env.sqlLog(QStringLiteral("jet")).filter(QStringLiteral("DELETE")),
             QStringList{purge});
    QVERIFY(env.messages().isEmpty());
    QVERIFY(!env.ended());
}

void tst_Startup::missingDatabase()
{
    TestEnvironment env;
    QVERIFY(PrepareRun({"/SYSTEM", env.path(), "/UNATTENDED"}, QStringLiteral("/nowhere/bin")));
    QCOMPARE(StartRun(), 1);
    QCOMPARE(env.endStatuses(), QList<int>{1});
    QVERIFY(env.messages().isEmpty());
    QVERIFY2(RunFailureReason().contains(env.path() + QStringLiteral("/SYSTEM/Audit.mdb")),
             qPrintable(RunFailureReason()));
    // The program never creates the database.
    QVERIFY(!QFile::exists(env.path() + QStringLiteral("/SYSTEM/Audit.mdb")));
}

QTEST_GUILESS_MAIN(tst_Startup)
#include "tst_startup.moc"
