#include "AppState.h"
#include "AuditDatabase.h"
#include "AuditTestDb.h"
#include "AuditView.h"
#include "Settings.h"
#include "SqlDate.h"
#include "Startup.h"
#include "TestEnvironment.h"
#include "frmView.h"

#include <QtTest>

// Start-up in this process; runs of the real program are in tst_auditlog_run.
class tst_Startup : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        AuditView::instance().clear();
        AuditDatabase::instance().close();
    }

    void installRoot_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("root");
        auto row = [](const char* name, const QString& folder, const QString& root) {
            QTest::newRow(name) << folder << root;
        };
        row("bin folder", "/usr/lib/velmora/bin", "/usr/lib/velmora/");
        row("trailing slash", "/opt/velmora/bin/", "/opt/velmora/");
        row("below the root", "/bin", "/");
        row("the root", "/", "../");
        row("relative, no parent", "bin", "../");
        row("empty", "", "../");
    }

    void installRoot()
    {
        QFETCH(QString, folder);
        QFETCH(QString, root);
        QCOMPARE(InstallRootFromFolder(folder), root);
    }

    void defaultsAndThresholds_data()
    {
        // ReportAttachAtSize, ReportZipAtSize, AbortAttachAtSize
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<QList<int>>("sizes");
        QTest::newRow("absent") << QStringList{"", "", ""} << QList<int>{1000, 100000, 500000};
        // Numeric texts as everywhere, halves to even; values no 32-bit number
        // can hold leave the defaults.
        QTest::newRow("numeric texts")
            << QStringList{"1,500", "2.5", "&H400"} << QList<int>{1500, 2, 1024};
        QTest::newRow("not numbers")
            << QStringList{"abc", "7a", "99999999999"} << QList<int>{1000, 100000, 500000};
    }

    void defaultsAndThresholds()
    {
        QFETCH(QStringList, settings);
        QFETCH(QList<int>, sizes);

        TestEnvironment env;
        env.setSetting(SettingKey::ReportAttachAtSize, settings.at(0));
        env.setSetting(SettingKey::ReportZipAtSize, settings.at(1));
        env.setSetting(SettingKey::AbortAttachAtSize, settings.at(2));
        UnattendedMode = true; // left from an earlier run: start-up clears it
        QVERIFY(PrepareRun({}, QStringLiteral("/opt/velmora/bin")));
        QCOMPARE(QList<int>({Options.AttachAtSize, Options.ZipAtSize, Options.AbortAttachAtSize}),
                 sizes);
        QVERIFY(!UnattendedMode);
        QCOMPARE(Options.Destination, int16_t(-1));
        QCOMPARE(InstallRoot, QStringLiteral("/opt/velmora/"));
        // Today's date, as a text the date rules read back as today.
        const auto span = ReadLocaleDateTime(Options.SpanStart);
        QVERIFY(span && span->date() == QDate::currentDate());
        QCOMPARE(Options.SpanEnd, Options.SpanStart);

        // A size on the command line wins over the setting.
        QVERIFY(PrepareRun({"/ZIP_OVER", "7"}, QStringLiteral("/opt/velmora/bin")));
        QCOMPARE(Options.ZipAtSize, 7);
        QCOMPARE(Options.AttachAtSize, sizes.at(0));
    }

    // An unattended run without a report, with the root given without its
    // trailing "/": the paths, the connection, and the purge ran.
    void pathsFromSystem()
    {
        TestEnvironment env;
        AuditTestDb db;
        const QDateTime now = QDateTime::currentDateTimeUtc();
        QVERIFY(db.add({AuditTestDb::entry(1, now.addDays(-45)), AuditTestDb::entry(2, now)}));
        const QString root = db.root().chopped(1);
        QVERIFY(PrepareRun({"/SYSTEM", root, "/UNATTENDED"}, QStringLiteral("/nowhere/bin")));
        QCOMPARE(StartupCommandLine(), QStringLiteral("/SYSTEM \"%1\" /UNATTENDED").arg(root));

        QCOMPARE(StartRun(), 0);
        QCOMPARE(InstallRoot, db.root() + QStringLiteral("SYSTEM/"));
        QCOMPARE(DatabasePath, db.path());
        QCOMPARE(HelpFile, db.root() + QStringLiteral("HELP/QXAM32.HLP"));
        QCOMPARE(db.count(), 1);
        QVERIFY(env.messages().isEmpty());
        QVERIFY(!env.ended());
    }

    // An interactive start without a command line: the viewer is loaded, the
    // automatic purge runs, and then the viewer is shown.
    void viewerShownAfterThePurge()
    {
        TestEnvironment env;
        AuditTestDb db;
        const QDateTime now = QDateTime::currentDateTimeUtc();
        QVERIFY(db.add({AuditTestDb::entry(0, now.addDays(-60)), AuditTestDb::entry(1, now),
                        AuditTestDb::entry(2, now.addDays(-2))}));

        QVERIFY(PrepareRun({"/SYSTEM", db.root()}, QStringLiteral("/nowhere/bin")));
        QCOMPARE(StartRun(), -1);
        frmView* viewer = frmView::existingInstance();
        QVERIFY(viewer && viewer->isVisible());
        QCOMPARE(db.count(), 2);
        QCOMPARE(AuditView::instance().recordCount(), 2); // requeried after the purge
        QVERIFY(env.messages().isEmpty());

        viewer->close();
        QCOMPARE(env.endStatuses(), QList<int>{0});
        delete viewer;
    }
};

QTEST_MAIN(tst_Startup)
#include "tst_startup.moc"
