#include "SqlDate.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>

// The built program, run as a shell or a scheduler runs it: exit status,
// standard error, and what happened to the database.
class tst_AuditlogRun : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void helpAndVersion_data();
    void helpAndVersion();
    void invalidLine_data();
    void invalidLine();
    void databaseNotUsable_data();
    void databaseNotUsable();
    void automaticPurge_data();
    void automaticPurge();
    void autoDeleteDaysNotANumber();
    void fileReport();

private:
    struct Run
    {
        int status = -1;
        QString out;
        QStringList errLines;
    };
    Run run(const QStringList& arguments, bool logSql = false);
    // Makes <root>/SYSTEM/Audit.mdb with the demo tool.
    bool makeDemo(int rows);
    void setSetting(const QString& key, const QString& value);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_root;
    QString m_database;
};

namespace {

// What identifies the database file and its companions on disk.
QString fingerprint(const QString& database)
{
    QString text;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        QFile file(database + QLatin1String(suffix));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        text += QLatin1String(suffix) + QLatin1Char(':') +
                QString::fromLatin1(
                    QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex()) +
                QLatin1Char(' ');
    }
    return text;
}

// Keys of the rows matching an SQLite condition, read on a connection of the test.
QList<qint64> keys(const QString& database, const QString& where)
{
    QList<qint64> result;
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(database);
        if (db.open()) {
            QSqlQuery query(db);
            query.exec(QStringLiteral("SELECT AutoIndex FROM Audit WHERE ") + where +
                       QStringLiteral(" ORDER BY AutoIndex"));
            while (query.next())
                result.append(query.value(0).toLongLong());
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

} // namespace

void tst_AuditlogRun::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_root = m_dir->filePath(QStringLiteral("root"));
    QVERIFY(QDir().mkpath(m_root + QStringLiteral("/SYSTEM")));
    QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("config/Velmora"))));
    m_database = m_root + QStringLiteral("/SYSTEM/Audit.mdb");
}

tst_AuditlogRun::Run tst_AuditlogRun::run(const QStringList& arguments, bool logSql)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                       m_dir->filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
    environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    if (logSql)
        environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("audit.sql=true"));
    else
        environment.remove(QStringLiteral("QT_LOGGING_RULES"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(m_dir->path());
    process.start(QStringLiteral(AUDITLOG_EXE), arguments);
    Run result;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.errLines = QString::fromUtf8(process.readAllStandardError())
                          .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return result;
}

bool tst_AuditlogRun::makeDemo(int rows)
{
    QProcess process;
    process.start(QStringLiteral(MAKEDEMO_EXE), {m_database, QString::number(rows),
                                                 QStringLiteral("--seed"), QStringLiteral("11")});
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

void tst_AuditlogRun::setSetting(const QString& key, const QString& value)
{
    QSettings settings(m_dir->filePath(QStringLiteral("config/Velmora/Audit Log Viewer.conf")),
                       QSettings::IniFormat);
    settings.setValue(key, value);
}

void tst_AuditlogRun::helpAndVersion_data()
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

void tst_AuditlogRun::helpAndVersion()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, out);

    const Run result = run(arguments);
    QCOMPARE(result.status, 0);
    QVERIFY2(result.out.startsWith(out), qPrintable(result.out));
    QCOMPARE(result.errLines, QStringList());
}

void tst_AuditlogRun::invalidLine_data()
{
    QTest::addColumn<QStringList>("arguments"); // %ROOT stands for the installation root
    QTest::addColumn<bool>("unattended");

    QTest::newRow("two destinations")
        << QStringList{"/SYSTEM", "%ROOT", "/PRINT", "/FILE", "x", "/UNATTENDED"} << false;
    QTest::newRow("bad keyword before UNATTENDED")
        << QStringList{"/SYSTEM", "%ROOT", "/BOGUS", "/UNATTENDED"} << false;
    QTest::newRow("empty last token")
        << QStringList{"/UNATTENDED", "/SYSTEM", "%ROOT", "/STATUS", "/"} << true;
    QTest::newRow("days not whole")
        << QStringList{"/UNATTENDED", "/SYSTEM", "%ROOT", "/OVER", "7.5"} << true;
    QTest::newRow("bytes beyond 32 bits")
        << QStringList{"/UNATTENDED", "/SYSTEM", "%ROOT", "/ZIP_OVER", "99999999999"} << true;
    QTest::newRow("span end first")
        << QStringList{"/UNATTENDED", "/SYSTEM",     "%ROOT",   "/SPAN_END",
                       "1/31/2003",   "/SPAN_START", "1/1/2003"}
        << true;
    QTest::newRow("missing argument file")
        << QStringList{"/UNATTENDED", "/SYSTEM", "%ROOT", "/@FILE", "%ROOT/none.txt"} << true;
    QTest::newRow("system without value") << QStringList{"/UNATTENDED", "/SYSTEM"} << true;
    QTest::newRow("unquoted path in one argument")
        << QStringList{"/UNATTENDED /SYSTEM %ROOT /STATUS"} << true;
}

// An invalid line ends with status 2, says so in one line, and touches no database.
void tst_AuditlogRun::invalidLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, unattended);

    QVERIFY(makeDemo(200));
    const QString before = fingerprint(m_database);
    const QStringList files = QDir(m_root + QStringLiteral("/SYSTEM")).entryList(QDir::Files);
    arguments.replaceInStrings(QStringLiteral("%ROOT"), m_root);

    const Run result = run(arguments);
    QCOMPARE(result.status, 2);
    QCOMPARE(result.errLines.size(), 1);
    const QString line = result.errLines.at(0);
    QVERIFY2(line.contains(QLatin1String("Invalid Command Line. '")), qPrintable(line));
    // Shown as a message (standard error without a screen) unless unattended.
    QCOMPARE(line.startsWith(QLatin1String("auditlog: Velmora: ")), !unattended);
    QCOMPARE(fingerprint(m_database), before);
    QCOMPARE(QDir(m_root + QStringLiteral("/SYSTEM")).entryList(QDir::Files), files);
}

void tst_AuditlogRun::databaseNotUsable_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no file
    QTest::addColumn<bool>("unattended");
    QTest::addColumn<QString>("line");

    QTest::newRow("missing, unattended")
        << QByteArray() << true
        << "auditlog: Unable to open Audit database: Could not find file '%DB'.";
    QTest::newRow("missing") << QByteArray() << false
                             << "auditlog: Load View: Unable to open Audit database.  ";
    QTest::newRow("not a database, unattended")
        << QByteArray(4096, 'x') << true
        << "auditlog: Load View: Error 26 - file is not a database";
}

// A database that cannot be opened ends the run with status 1 and one line.
void tst_AuditlogRun::databaseNotUsable()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, unattended);
    QFETCH(QString, line);

    if (!content.isEmpty()) {
        QFile file(m_database);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QStringList arguments = {"/SYSTEM", m_root};
    if (unattended)
        arguments << QStringLiteral("/UNATTENDED");

    const Run result = run(arguments);
    QCOMPARE(result.status, 1);
    QCOMPARE(result.errLines,
             QStringList{QString(line).replace(QStringLiteral("%DB"), m_database)});
    QCOMPARE(QFile::exists(m_database), !content.isEmpty());
}

void tst_AuditlogRun::automaticPurge_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("days"); // AutoDeleteDays, "" : absent
    QTest::addColumn<int>("offset");

    QTest::newRow("separate arguments, 10 days")
        << QStringList{"/SYSTEM", "%ROOT", "/UNATTENDED"} << "10" << -9;
    QTest::newRow("one argument, default 30 days")
        << QStringList{"/SYSTEM \"%ROOT\" /UNATTENDED"} << "" << -29;
}

// The purge at start removes exactly the entries before the cut-off, with the
// statements written character for character.
void tst_AuditlogRun::automaticPurge()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, days);
    QFETCH(int, offset);

    QVERIFY(makeDemo(3000));
    if (!days.isEmpty())
        setSetting(QStringLiteral("AutoDeleteDays"), days);
    const QDate today = QDate::currentDate();
    const QString cutoff =
        today.addDays(offset).toString(Qt::ISODate) + QStringLiteral(" 00:00:00");
    const QString old = QStringLiteral("[When] < '%1' AND Level <= 3").arg(cutoff);
    const QList<qint64> kept = keys(m_database, QStringLiteral("NOT (%1)").arg(old));
    QVERIFY(!keys(m_database, old).isEmpty());
    QVERIFY(!kept.isEmpty());
    arguments.replaceInStrings(QStringLiteral("%ROOT"), m_root);

    const Run result = run(arguments, true);
    QCOMPARE(result.status, 0);
    QCOMPARE(keys(m_database, QStringLiteral("1")), kept);

    // Only the statement log on standard error.
    QStringList views;
    QStringList deletes;
    for (const QString& line : result.errLines) {
        QVERIFY2(line.startsWith(QLatin1String("audit.sql: ")), qPrintable(line));
        if (line.startsWith(QLatin1String("audit.sql: view:   ")))
            views << line.mid(19);
        if (line.startsWith(QLatin1String("audit.sql: jet:    DELETE")))
            deletes << line.mid(19);
    }
    const QString view = QStringLiteral("SELECT Audit.* FROM Audit Order By [AutoIndex] DESC;");
    QCOMPARE(views, QStringList({view, view}));
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    const QString purge =
        QStringLiteral("DELETE Audit.* FROM Audit WHERE [When] < #%1#  AND Level <= 3")
            .arg(SqlDateLiteral(QStringLiteral("d"), offset, today));
    QLocale::setDefault(QLocale::c());
    QCOMPARE(deletes, QStringList{purge});
}

// A hand-edited AutoDeleteDays skips the purge, says so, and the run goes on.
void tst_AuditlogRun::autoDeleteDaysNotANumber()
{
    QVERIFY(makeDemo(500));
    setSetting(QStringLiteral("AutoDeleteDays"), QStringLiteral("thirty"));
    const QList<qint64> before = keys(m_database, QStringLiteral("1"));

    const Run result = run({"/SYSTEM", m_root, "/UNATTENDED"});
    QCOMPARE(result.status, 0);
    QCOMPARE(result.errLines.size(), 1);
    QVERIFY2(result.errLines.at(0).contains(QLatin1String("AutoDeleteDays")),
             qPrintable(result.errLines.at(0)));
    QCOMPARE(keys(m_database, QStringLiteral("1")), before);
}

// A report run: the path after /FILE is a separate argument, taken whole.
void tst_AuditlogRun::fileReport()
{
    QVERIFY(makeDemo(500));
    const QString out = m_dir->filePath(QStringLiteral("reports/errors.txt"));
    QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("reports"))));

    const Run result = run({"/SYSTEM", m_root, "/ERROR", "/FATAL", "/FILE", out, "/UNATTENDED"});
    QCOMPARE(result.errLines, QStringList());
    QCOMPARE(result.status, 0);
    QVERIFY(QFileInfo(out).size() > 0);
}

QTEST_GUILESS_MAIN(tst_AuditlogRun)
#include "tst_auditlog_run.moc"
