#include "AuditTestDb.h"
#include "SqlDate.h"

#include <QDir>
#include <QLocale>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

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

    void helpAndVersion_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("out");
        QTest::newRow("help") << QStringList{"--help"} << "Usage: auditlog";
        QTest::newRow("version") << QStringList{"--version"}
                                 << QStringLiteral("auditlog %1\n").arg(AUDITLOG_VERSION);
        // Nothing else runs: no database is looked for.
        QTest::newRow("help among keywords")
            << QStringList{"/STATUS", "--help", "/UNATTENDED"} << "Usage: auditlog";
    }

    void helpAndVersion()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, out);
        const Run result = run(arguments);
        QCOMPARE(result.status, 0);
        QVERIFY2(result.out.startsWith(out), qPrintable(result.out));
        QCOMPARE(result.errLines, QStringList());
    }

    void invalidLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("unattended");
        QTest::newRow("bad keyword before UNATTENDED")
            << QStringList{"/SYSTEM", "%ROOT", "/BOGUS", "/UNATTENDED"} << false;
        QTest::newRow("days not whole")
            << QStringList{"/UNATTENDED", "/SYSTEM", "%ROOT", "/OVER", "7.5"} << true;
        QTest::newRow("missing argument file")
            << QStringList{"/UNATTENDED", "/SYSTEM", "%ROOT", "/@FILE", "%ROOT/none.txt"} << true;
        QTest::newRow("unquoted path in one argument")
            << QStringList{"/UNATTENDED /SYSTEM %ROOT /STATUS"} << true;
    }

    // An invalid line ends with status 2 and one line, and touches no database:
    // shown as a message captioned "Velmora" (standard error without a screen)
    // unless unattended.
    void invalidLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, unattended);
        QVERIFY(makeDemo(200));
        auto fingerprint = [this] {
            QFile file(m_database);
            return QDir(m_root + "/SYSTEM").entryList(QDir::Files).join('|').toUtf8() +
                   (file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
        };
        const QByteArray before = fingerprint();

        const Run result = run(arguments);
        QCOMPARE(result.status, 2);
        QCOMPARE(result.errLines.size(), 1);
        const QString line = result.errLines.at(0);
        QVERIFY2(line.contains(QLatin1String("Invalid Command Line. '")), qPrintable(line));
        QCOMPARE(line.startsWith(QLatin1String("auditlog: Velmora: ")), !unattended);
        QCOMPARE(fingerprint(), before);
    }

    void withoutDisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error"); // "": nothing on standard error
        QTest::newRow("bad keyword before UNATTENDED")
            << QStringList{"/SYSTEM", "%ROOT", "/BOGUS", "/UNATTENDED"} << 2
            << "Invalid Command Line. '";
        QTest::newRow("report without UNATTENDED")
            << QStringList{"/SYSTEM", "%ROOT", "/STATUS", "/FILE", "%ROOT/out.txt"} << 0 << "";
        QTest::newRow("viewer") << QStringList{"/SYSTEM", "%ROOT"} << 1 << "no display";
    }

    // As cron or a service starts it, with no display and no platform chosen:
    // an exit status and one line, never Qt's abort or a viewer nobody sees.
    void withoutDisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, error);
        QVERIFY(makeDemo(200));
        const Run result = run(arguments, false, false);
        QCOMPARE(result.status, status);
        QCOMPARE(result.errLines.size(), error.isEmpty() ? 0 : 1);
        if (!error.isEmpty())
            QVERIFY2(result.errLines.at(0).contains(error), qPrintable(result.errLines.at(0)));
    }

    void databaseNotUsable_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: no file
        QTest::addColumn<bool>("unattended");
        QTest::addColumn<QString>("line");
        QTest::newRow("missing, unattended") << QByteArray() << true
                                             << "auditlog: Unable to open Audit database: Could "
                                                "not find file '%ROOT/SYSTEM/Audit.mdb'.";
        QTest::newRow("missing") << QByteArray() << false
                                 << "auditlog: Load View: Unable to open Audit database.  ";
        QTest::newRow("not a database, unattended")
            << QByteArray(4096, 'x') << true
            << "auditlog: Load View: Error 26 - file is not a database";
    }

    // A database that cannot be opened ends the run with status 1 and one line,
    // and the program never creates one.
    void databaseNotUsable()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, unattended);
        QFETCH(QString, line);
        if (!content.isEmpty()) {
            QFile file(m_database);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        }
        QStringList arguments = {"/SYSTEM", m_root};
        if (unattended)
            arguments << QStringLiteral("/UNATTENDED");

        const Run result = run(arguments);
        QCOMPARE(result.status, 1);
        QCOMPARE(result.errLines, QStringList{line.replace("%ROOT", m_root)});
        QCOMPARE(QFile::exists(m_database), !content.isEmpty());
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

        const Run result = run(arguments, true);
        QCOMPARE(result.status, 0);
        QCOMPARE(keys("1"), kept);

        // Only the statement log on standard error: the first view query, the
        // purge, and the requery after it.
        QStringList statements;
        for (const QString& line : result.errLines) {
            QVERIFY2(line.startsWith(QLatin1String("audit.sql: ")), qPrintable(line));
            if (line.startsWith("audit.sql: view:") || line.startsWith("audit.sql: jet:    DELETE"))
                statements << line.mid(19);
        }
        QLocale::setDefault(QLocale(QStringLiteral("en_US")));
        const QString view = QStringLiteral("SELECT Audit.* FROM Audit Order By [AutoIndex] DESC;");
        QCOMPARE(statements,
                 QStringList({view,
                              QStringLiteral("DELETE Audit.* FROM Audit WHERE [When] < #%1#  AND "
                                             "Level <= 3")
                                  .arg(SqlDateLiteral("d", offset, QDate::currentDate())),
                              view}));
        QLocale::setDefault(QLocale::c());
    }

private:
    struct Run
    {
        int status = -1;
        QString out;
        QStringList errLines;
    };

    Run run(QStringList arguments, bool logSql = false, bool display = true)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir->filePath("config"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        if (!display) {
            for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
                environment.remove(QString::fromLatin1(name));
        }
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        environment.insert(QStringLiteral("QT_LOGGING_RULES"),
                           logSql ? QStringLiteral("audit.sql=true") : QString());
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(m_dir->path());
        process.start(QStringLiteral(AUDITLOG_EXE), arguments.replaceInStrings("%ROOT", m_root));
        Run result;
        if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit)
            result.status = process.exitCode();
        result.out = QString::fromUtf8(process.readAllStandardOutput());
        result.errLines =
            QString::fromUtf8(process.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
        return result;
    }

    // <root>/SYSTEM/Audit.mdb made by the demo tool.
    bool makeDemo(int rows)
    {
        QProcess process;
        process.start(QStringLiteral(MAKEDEMO_EXE),
                      {m_database, QString::number(rows), "--seed", "11"});
        return process.waitForFinished(120000) && process.exitCode() == 0;
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
