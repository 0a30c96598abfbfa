#include "AuditTestDb.h"
#include "ProgramRun.h"
#include "SqlDate.h"

#include <QDir>
#include <QLocale>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

// The built program, run as a shell or a scheduler runs it: exit status,
// standard error, and what happened to the database.
class tst_AuditlogRun : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_root = m_dir->filePath(QStringLiteral("root"));
        m_database = m_root + QStringLiteral("/SYSTEM/Audit.mdb");
        QVERIFY(QDir().mkpath(m_root + QStringLiteral("/SYSTEM")) &&
                QDir().mkpath(m_dir->filePath("config/Velmora")));
    }

    void statusAndLines_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");   // how standard output starts; "": nothing on it
        QTest::addColumn<QString>("error"); // how the one line on standard error starts; "": none
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: auditlog" << "";
        QTest::newRow("version") << QStringList{"--version"} << 0
                                 << QStringLiteral("auditlog %1\n").arg(AUDITLOG_VERSION) << "";
        // Only as the sole argument: here it is the subject of a run that only purges.
        QTest::newRow("help as a value")
            << QStringList{"/SYSTEM", "%ROOT", "/SUBJECT", "--help", "/UNATTENDED"} << 0 << ""
            << "";
        // As cron or a service starts it, with no display and no platform chosen:
        // an exit status and one line, never Qt's abort or a viewer nobody sees.
        QTest::newRow("report without display or UNATTENDED")
            << QStringList{"%NODISPLAY", "/SYSTEM", "%ROOT", "/STATUS", "/FILE", "%ROOT/out.txt"}
            << 0 << "" << "";
        QTest::newRow("viewer without display")
            << QStringList{"%NODISPLAY", "/SYSTEM", "%ROOT"} << 1 << "" << "auditlog: no display";
        // An invalid line touches no database; it is a message captioned
        // "Velmora" (standard error without a screen) unless unattended.
        const QString message = QStringLiteral("auditlog: Velmora: Invalid Command Line. '");
        const QString line = QStringLiteral("auditlog: Invalid Command Line. '");
        QTest::newRow("bad keyword before UNATTENDED")
            << QStringList{"/SYSTEM", "%ROOT", "/BOGUS", "/UNATTENDED"} << 2 << "" << message;
        QTest::newRow("invalid line without display")
            << QStringList{"%NODISPLAY", "/BOGUS", "/UNATTENDED"} << 2 << "" << message;
        QTest::newRow("days not whole")
            << QStringList{"/UNATTENDED", "/SYSTEM", "%ROOT", "/OVER", "7.5"} << 2 << "" << line;
        QTest::newRow("unquoted path in one argument")
            << QStringList{"/UNATTENDED /SYSTEM %ROOT /STATUS"} << 2 << "" << line;
    }

    void statusAndLines()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, error);
        QVERIFY(makeDemo(200));
        auto fingerprint = [this] {
            return QDir(m_root + "/SYSTEM").entryList(QDir::Files).join('|').toUtf8() +
                   ProgramRun::readFile(m_database);
        };
        const QByteArray before = fingerprint();

        const ProgramRun result = run(arguments);
        QCOMPARE(result.status, status);
        QVERIFY2(out.isEmpty() ? result.out.isEmpty() : result.out.startsWith(out.toUtf8()),
                 result.out.constData());
        QCOMPARE(result.errLines.size(), error.isEmpty() ? 0 : 1);
        if (!error.isEmpty())
            QVERIFY2(result.errLines.at(0).startsWith(error), qPrintable(result.errLines.at(0)));
        if (status == 2)
            QCOMPARE(fingerprint(), before);
    }

    void databaseNotUsable_data()
    {
        QTest::addColumn<QString>("file"); // missing, garbage, empty or corrupt
        QTest::addColumn<bool>("unattended");
        QTest::addColumn<QString>("line");
        QTest::newRow("missing, unattended") << "missing" << true
                                             << "auditlog: Unable to open Audit database: Could "
                                                "not find file '%ROOT/SYSTEM/Audit.mdb'.";
        QTest::newRow("missing") << "missing" << false
                                 << "auditlog: Load View: Unable to open Audit database.  ";
        const QString notDatabase = "auditlog: Load View: Error 26 - file is not a database";
        QTest::newRow("not a database, unattended") << "garbage" << true << notDatabase;
        QTest::newRow("empty file") << "empty" << false << notDatabase;
        QTest::newRow("corrupt pages")
            << "corrupt" << false
            << "auditlog: Create View Query: Error 11 - database disk image is malformed";
    }

    // A database that cannot be opened ends the run with status 1 and one line,
    // and the program never creates or changes one.
    void databaseNotUsable()
    {
        QFETCH(QString, file);
        QFETCH(bool, unattended);
        QFETCH(QString, line);
        if (file == "corrupt")
            QVERIFY(makeDemo(2000));
        QFile database(m_database);
        if (file != "missing") {
            QVERIFY(database.open(QIODevice::ReadWrite));
            database.seek(file == "corrupt" ? 4096 : 0);
            const QByteArray bytes(file == "empty" ? 0 : 40000, 'x');
            QVERIFY(database.write(bytes) == bytes.size());
            database.close();
        }
        const qint64 size = database.size();
        QStringList arguments = {"/SYSTEM", m_root};
        if (unattended)
            arguments << QStringLiteral("/UNATTENDED");

        const ProgramRun result = run(arguments);
        QCOMPARE(result.status, 1);
        QCOMPARE(result.errLines, QStringList{line.replace("%ROOT", m_root)});
        QCOMPARE(QFile::exists(m_database), file != "missing");
        QCOMPARE(database.size(), size);
    }

    void openedAsFound_data()
    {
        QTest::addColumn<QString>("folder"); // the installation root
        QTest::addColumn<QString>("journal");
        QTest::addColumn<QByteArray>("days"); // AutoDeleteDays as written
        QTest::addColumn<QString>("line");    // "" : status 0, nothing said
        QTest::newRow("rollback journal stays") << "root" << "delete" << QByteArray("30") << "";
        QTest::newRow("root holding ;") << "a;b" << "wal" << QByteArray("30") << "";
        QTest::newRow("comma value read whole") << "root" << "wal" << QByteArray("1,000") << "";
        QTest::newRow("purge fails")
            << "root" << "wal" << QByteArray("1,0x0")
            << "auditlog: Old entries were not deleted: the setting AutoDeleteDays is '1,0x0', "
               "which is not a number of days.";
    }

    // An unattended run that only purges: the file keeps its journal mode,
    // and a purge that cannot run ends the run with status 1 and its line.
    void openedAsFound()
    {
        QFETCH(QString, folder);
        QFETCH(QString, journal);
        QFETCH(QByteArray, days);
        QFETCH(QString, line);
        m_root = m_dir->filePath(folder);
        m_database = m_root + QStringLiteral("/SYSTEM/Audit.mdb");
        QVERIFY(QDir().mkpath(m_root + "/SYSTEM") && makeDemo(300));
        AuditTestDb::values(m_database, "PRAGMA journal_mode=" + journal);
        QVERIFY(ProgramRun::writeFile(m_dir->filePath("config/Velmora/Audit Log Viewer.conf"),
                                      "[General]\nAutoDeleteDays=" + days + "\n"));

        const ProgramRun result = run({"/SYSTEM", m_root, "/UNATTENDED"});
        QCOMPARE(result.status, line.isEmpty() ? 0 : 1);
        QCOMPARE(result.errLines, line.isEmpty() ? QStringList() : QStringList{line});
        QCOMPARE(AuditTestDb::values(m_database, "PRAGMA journal_mode").value(0).toString(),
                 journal);
    }

    // A database the user may only read: reports run from it, and the purge
    // says clearly why nothing was deleted.
    void readOnlyDatabase()
    {
        QVERIFY(makeDemo(300));
        const QString folder = m_root + QStringLiteral("/SYSTEM");
        const QByteArray before = AuditTestDb::values(m_database, "SELECT COUNT(*) FROM Audit")
                                      .value(0).toByteArray();
        QStringList wrapper;
        // root ignores file modes: a read-only bind of the folder instead.
        if (::geteuid() == 0)
            wrapper = {"unshare", "-m", "sh", "-c", "mount --bind -o ro \"$0\" \"$0\" && exec \"$@\"",
                       folder};
        else
            QVERIFY(QFile::setPermissions(m_database, QFile::ReadOwner) &&
                    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        const ProgramRun result = run({"/SYSTEM", m_root, "/ERROR", "/FILE",
                                       m_dir->filePath("out.txt"), "/DELETE", "/UNATTENDED"},
                                      {}, wrapper);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (result.status == 32 || result.errLines.join(' ').contains("unshare"))
            QSKIP("no private mount namespace here");
        QCOMPARE(result.status, 1);
        QCOMPARE(result.errLines.size(), 1);
        QVERIFY2(result.errLines.at(0).contains("is read-only"), qPrintable(result.errLines.at(0)));
        QVERIFY(QFileInfo(m_dir->filePath("out.txt")).size() > 0);
        QCOMPARE(AuditTestDb::values(m_database, "SELECT COUNT(*) FROM Audit").value(0).toByteArray(),
                 before);
    }

    void automaticPurge_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("days"); // AutoDeleteDays, "" : absent
        QTest::addColumn<int>("offset");
        QTest::newRow("separate arguments, 10 days")
            << QStringList{"/SYSTEM", "%ROOT", "/UNATTENDED"} << "10" << -9;
        QTest::newRow("one argument, default 30 days")
            << QStringList{"/SYSTEM \"%ROOT\" /UNATTENDED"} << "" << -29;
    }

    // The purge at start on a demo database removes exactly the entries before
    // the cut-off, with the statements written character for character.
    void automaticPurge()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, days);
        QFETCH(int, offset);
        QVERIFY(makeDemo(3000));
        if (!days.isEmpty())
            QSettings(m_dir->filePath("config/Velmora/Audit Log Viewer.conf"), QSettings::IniFormat)
                .setValue("AutoDeleteDays", days);
        const QString cutoff = QDate::currentDate().addDays(offset).toString(Qt::ISODate);
        const QString old = QStringLiteral("[When] < '%1 00:00:00' AND Level <= 3").arg(cutoff);
        const QList<qint64> kept = keys("NOT (" + old + ")");
        QVERIFY(!keys(old).isEmpty() && !kept.isEmpty());

        const ProgramRun result = run(arguments, {"QT_LOGGING_RULES=audit.sql=true"});
        QCOMPARE(result.status, 0);
        QCOMPARE(keys("1"), kept);

        // Only the statement log on standard error, and in it only the purge:
        // an unattended run does not run the view's query, nor requery it.
        QStringList statements;
        for (const QString& line : result.errLines) {
            QVERIFY2(line.startsWith(QLatin1String("audit.sql: ")), qPrintable(line));
            if (line.startsWith("audit.sql: view:") || line.startsWith("audit.sql: jet:    DELETE"))
                statements << line.mid(19);
        }
        QLocale::setDefault(QLocale(QStringLiteral("en_US")));
        QCOMPARE(statements,
                 QStringList({QStringLiteral("DELETE Audit.* FROM Audit WHERE [When] < #%1#  AND "
                                             "Level <= 3")
                                  .arg(SqlDateLiteral("d", offset, QDate::currentDate()))}));
        QLocale::setDefault(QLocale::c());
    }

private:
    ProgramRun run(QStringList arguments, const QStringList& changes = {},
                   const QStringList& wrapper = {})
    {
        QStringList env = changes;
        if (arguments.removeAll("%NODISPLAY") > 0)
            env << "-QT_QPA_PLATFORM" << "-DISPLAY" << "-WAYLAND_DISPLAY";
        return ProgramRun::of(wrapper + QStringList{AUDITLOG_EXE} +
                                  arguments.replaceInStrings("%ROOT", m_root),
                              ProgramRun::environment(m_dir->filePath("config"), env),
                              m_dir->path());
    }

    // <root>/SYSTEM/Audit.mdb made by the demo tool.
    bool makeDemo(int rows)
    {
        return ProgramRun::makeDemo({m_database, QString::number(rows), "--seed", "11", "--days",
                                     "120"}) == 0;
    }

    QList<qint64> keys(const QString& where)
    {
        QList<qint64> result;
        for (const QVariant& key : AuditTestDb::values(
                 m_database, "SELECT AutoIndex FROM Audit WHERE " + where + " ORDER BY 1"))
            result.append(key.toLongLong());
        return result;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_root;
    QString m_database;
};

QTEST_GUILESS_MAIN(tst_AuditlogRun)
#include "tst_auditlog_run.moc"
