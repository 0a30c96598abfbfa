#include "SqlDate.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocale>
#include <QProcess>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
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

private:
    struct Run
    {
        int status = -1;
        QString out;
        QStringList errLines;
    };
    Run run(QStringList arguments, bool logSql = false);
    // <root>/SYSTEM/Audit.mdb made by the demo tool.
    bool makeDemo(int rows);
    // Keys of the rows matching an SQLite condition, read on a connection of the test.
    QList<qint64> keys(const QString& where);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_root;
    QString m_database;
};

void tst_AuditlogRun::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_root = m_dir->filePath(QStringLiteral("root"));
    m_database = m_root + QStringLiteral("/SYSTEM/Audit.mdb");
    QVERIFY(QDir().mkpath(m_root + QStringLiteral("/SYSTEM")) &&
            QDir().mkpath(m_dir->filePath("config/Velmora")));
}

tst_AuditlogRun::Run tst_AuditlogRun::run(QStringList arguments, bool logSql)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir->filePath("config"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
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

bool tst_AuditlogRun::makeDemo(int rows)
{
    QProcess process;
    process.start(QStringLiteral(MAKEDEMO_EXE),
                  {m_database, QString::number(rows), "--seed", "11"});
    return process.waitForFinished(120000) && process.exitCode() == 0;
}

QList<qint64> tst_AuditlogRun::keys(const QString& where)
{
    QList<qint64> result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "check");
        db.setDatabaseName(m_database);
        if (db.open()) {
            QSqlQuery query("SELECT AutoIndex FROM Audit WHERE " + where + " ORDER BY 1", db);
            while (query.next())
                result.append(query.value(0).toLongLong());
        }
    }
    QSqlDatabase::removeDatabase("check");
    return result;
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
void tst_AuditlogRun::invalidLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, unattended);
    QVERIFY(makeDemo(200));
    auto fingerprint = [this] {
        QByteArray text;
        for (const QString& name : QDir(m_root + "/SYSTEM").entryList(QDir::Files)) {
            QFile file(m_root + "/SYSTEM/" + name);
            text += name.toUtf8() +
                    (file.open(QIODevice::ReadOnly)
                         ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1)
                         : QByteArray());
        }
        return text;
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

void tst_AuditlogRun::databaseNotUsable_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no file
    QTest::addColumn<bool>("unattended");
    QTest::addColumn<QString>("line");
    QTest::newRow("missing, unattended")
        << QByteArray() << true
        << "auditlog: Unable to open Audit database: Could not find file '%ROOT/SYSTEM/Audit.mdb'.";
    QTest::newRow("missing") << QByteArray() << false
                             << "auditlog: Load View: Unable to open Audit database.  ";
    QTest::newRow("not a database, unattended")
        << QByteArray(4096, 'x') << true
        << "auditlog: Load View: Error 26 - file is not a database";
}

// A database that cannot be opened ends the run with status 1 and one line,
// and the program never creates one.
void tst_AuditlogRun::databaseNotUsable()
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

// The purge at start on a demo database removes exactly the entries before
// the cut-off, with the statements written character for character.
void tst_AuditlogRun::automaticPurge()
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

QTEST_GUILESS_MAIN(tst_AuditlogRun)
#include "tst_auditlog_run.moc"
