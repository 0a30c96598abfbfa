#include "AuditDatabase.h"
#include "AuditTestDb.h"
#include "ProgramCase.h"
#include "SmtpTestServer.h"

#include <QDir>
#include <QProcess>
#include <QtTest>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

bool makeNode(const QString& file, mode_t mode, dev_t device = 0)
{
    return ::mknod(QFile::encodeName(file).constData(), mode, device) == 0;
}

} // namespace

// The built program run as a shell, a scheduler or an unlucky or hostile
// administrator runs it: exit status, the one line on standard error, and what
// happened to the database and the files named. Whatever happens, a run
// either does what it was asked or changes nothing.
class tst_OutsideRuns : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_case = std::make_unique<ProgramCase>(); }

    void runs_data()
    {
        ProgramCase::addColumns();
        // demo (WAL), delete (rollback journal), "a;b" (demo under a root of
        // that name), missing, garbage, empty or corrupt.
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("out"); // how standard output starts; "": nothing on it
        auto row = [](const char* name, const QStringList& arguments, int status,
                      const QString& line, const QString& database = "demo",
                      const QByteArray& settings = {}, const QString& out = {}) {
            ProgramCase::newRow(name, arguments, status, line, settings) << database << out;
        };
        row("help", {"--help"}, 0, "", "demo", {}, "Usage: auditlog");
        row("version", {"--version"}, 0, "", "demo", {}, "auditlog " AUDITLOG_VERSION "\n");
        // Only as the sole argument: here it is the subject of a run that only purges.
        row("help as a value", {"/SYSTEM", "%ROOT", "/SUBJECT", "--help", "/UNATTENDED"}, 0, "");
        // As cron or a service starts it, with no display and no platform chosen:
        // an exit status and one line, never Qt's abort or a viewer nobody sees.
        row("report without display or UNATTENDED",
            {"%NODISPLAY", "/SYSTEM", "%ROOT", "/STATUS", "/FILE", "%DIR/out.txt"}, 0, "");
        row("viewer without display", {"%NODISPLAY", "/SYSTEM", "%ROOT"}, 1,
            "auditlog: no display");

        // An invalid line touches nothing; it is a message captioned "Velmora"
        // (standard error without a screen) unless unattended.
        const QString message = "auditlog: Velmora: Invalid Command Line. '";
        row("bad keyword before UNATTENDED", {"/SYSTEM", "%ROOT", "/BOGUS", "/UNATTENDED"}, 2,
            message);
        row("invalid line without display", {"%NODISPLAY", "/BOGUS", "/UNATTENDED"}, 2, message);
        row("days not whole", {"/UNATTENDED", "/SYSTEM", "%ROOT", "/OVER", "7.5"}, 2,
            "auditlog: Invalid Command Line. '");
        // The query and sort checks run before anything is reported or deleted.
        row("sort limits what is reported",
            {"/SYSTEM", "%ROOT", "/STATUS", "/FILE", "%DIR/out.txt", "/SORTBY1",
             "AutoIndex] LIMIT 1 --", "/DELETE", "/UNATTENDED"},
            2, "*Invalid Command Line. '");
        row("control characters shown escaped",
            {"/SYSTEM", "%ROOT", "/SUBJECT", "a\rb\x1b[2J", "/BOGUS", "/UNATTENDED"}, 2,
            "*a\\rb\\x1b[2J");

        // A database that cannot be opened: status 1 and one line, and the
        // program never creates or changes one.
        row("missing, unattended", {"/SYSTEM", "%ROOT", "/UNATTENDED"}, 1,
            "auditlog: Unable to open Audit database: Could not find file "
            "'%ROOT/SYSTEM/Audit.mdb'.",
            "missing");
        row("missing", {"/SYSTEM", "%ROOT"}, 1,
            "auditlog: Load View: Unable to open Audit database.  ", "missing");
        const QString notDatabase = "auditlog: Load View: Error 26 - file is not a database";
        row("not a database, unattended", {"/SYSTEM", "%ROOT", "/UNATTENDED"}, 1, notDatabase,
            "garbage");
        row("empty file", {"/SYSTEM", "%ROOT"}, 1, notDatabase, "empty");
        row("corrupt pages", {"/SYSTEM", "%ROOT"}, 1,
            "auditlog: Create View Query: Error 11 - database disk image is malformed", "corrupt");

        // A run that only purges opens the file as found: its journal mode stays.
        row("rollback journal stays", {"/SYSTEM", "%ROOT", "/UNATTENDED"}, 0, "", "delete");
        row("root holding ;", {"/SYSTEM", "%ROOT", "/UNATTENDED"}, 0, "", "a;b");
        row("purge fails", {"/SYSTEM", "%ROOT", "/UNATTENDED"}, 1,
            "auditlog: Old entries were not deleted: the setting AutoDeleteDays is '1,0x0', "
            "which is not a number of days.",
            "demo", "AutoDeleteDays=1,0x0\n");
    }

    // Beyond the row's status and line: what standard output starts with, the
    // journal mode as found, and a run that fails leaves every file as it was.
    void runs()
    {
        QFETCH(QString, database);
        QFETCH(QString, out);
        if (database == "a;b")
            m_case->setRoot(m_case->path("a;b"));
        if (database != "missing")
            QVERIFY(m_case->makeDemo(database == "corrupt" ? 2000 : 300));
        if (database == "delete")
            AuditTestDb::values(m_case->database(), "PRAGMA journal_mode=delete");
        if (database == "garbage" || database == "empty" || database == "corrupt") {
            QFile file(m_case->database());
            QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(database == "corrupt" ? 4096 : 0));
            QVERIFY(file.write(QByteArray(database == "empty" ? 0 : 40000, 'x')) >= 0);
            QVERIFY(database != "empty" || file.resize(0));
        }
        auto fingerprint = [this] {
            const QString system = m_case->root() + "/SYSTEM";
            return QDir(m_case->path(".")).entryList(QDir::Files | QDir::System).join('|') +
                   QDir(system).entryList(QDir::Files).join('|') +
                   QString::fromLatin1(ProgramRun::readFile(m_case->database()).toBase64());
        };
        auto journal = [this] {
            return AuditTestDb::values(m_case->database(), "PRAGMA journal_mode");
        };
        const QString before = fingerprint();
        const QVariantList journalBefore = database == "missing" ? QVariantList() : journal();

        const ProgramRun result = m_case->runRow();
        QVERIFY2(out.isEmpty() ? result.out.isEmpty() : result.out.startsWith(out.toUtf8()),
                 result.out.constData());
        if (database != "missing")
            QCOMPARE(journal(), journalBefore);
        QFETCH(int, status);
        if (status != 0)
            QCOMPARE(fingerprint(), before);
        QVERIFY(!QFile::exists("/UNATTENDED"));
    }

    // A database the user may only read: reports run from it, and the purge
    // says clearly why nothing was deleted.
    void readOnlyDatabase()
    {
        QVERIFY(m_case->makeDemo(300));
        const QString folder = m_case->root() + QStringLiteral("/SYSTEM");
        const int before = count();
        QStringList wrapper;
        // root ignores file modes: a read-only bind of the folder instead.
        if (::geteuid() == 0)
            wrapper = {
                "unshare", "-m", "sh", "-c", "mount --bind -o ro \"$0\" \"$0\" && exec \"$@\"",
                folder};
        else
            QVERIFY(QFile::setPermissions(m_case->database(), QFile::ReadOwner) &&
                    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        const ProgramRun result = m_case->run(
            {"/SYSTEM", "%ROOT", "/ERROR", "/FILE", "%DIR/out.txt", "/DELETE", "/UNATTENDED"}, {},
            wrapper);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (result.status == 32 || result.errLines.join(' ').contains("unshare"))
            QSKIP("no private mount namespace here");
        QCOMPARE(result.status, 1);
        QCOMPARE(result.errLines.size(), 1);
        QVERIFY2(result.errLines.at(0).contains("is read-only"), qPrintable(result.errLines.at(0)));
        QVERIFY(QFileInfo(m_case->path("out.txt")).size() > 0);
        QCOMPARE(count(), before);
    }

    void fileTargets_data()
    {
        ProgramCase::addColumns();
        auto row = [](const char* name, const QString& target, const QString& error = {}) {
            ProgramCase::newRow(
                name, {"/SYSTEM", "%ROOT", "/STATUS", "/FILE", target, "/DELETE", "/UNATTENDED"},
                error.isEmpty() ? 0 : 1, error);
        };
        row("existing file and its hard link", "%DIR/old.txt");
        row("FIFO with a reader", "%DIR/fifo");
        row("device node, null", "%DIR/null");
        row("device node, full", "%DIR/full", "*Cannot write %DIR/full: No space left on device");
        row("standard output", "/dev/stdout");
        row("a hard link to the audit database", "%DIR/db-link", "*is the audit database");
    }

    // /FILE writes into what it names; a write that fails, or a target that is
    // the database, is a failure that deletes nothing: status 0 and every
    // status entry deleted, or status 1 and every entry kept.
    void fileTargets()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        const QString target = m_case->expand(arguments.at(4));
        QVERIFY(m_case->makeDemo(40));
        QFile old(m_case->path("old.txt"));
        QVERIFY(ProgramRun::writeFile(old.fileName(), QByteArray(200000, 'x')));
        QVERIFY(::chmod(QFile::encodeName(old.fileName()).constData(), 0640) == 0);
        QVERIFY(QFile::link(old.fileName(), m_case->path("symlink.txt")) &&
                ::link(QFile::encodeName(old.fileName()).constData(),
                       QFile::encodeName(m_case->path("hard.txt")).constData()) == 0 &&
                ::link(QFile::encodeName(m_case->database()).constData(),
                       QFile::encodeName(m_case->path("db-link")).constData()) == 0);
        QVERIFY(makeNode(m_case->path("fifo"), S_IFIFO | 0600) &&
                makeNode(m_case->path("null"), S_IFCHR | 0666, makedev(1, 3)) &&
                makeNode(m_case->path("full"), S_IFCHR | 0666, makedev(1, 7)));
        QProcess reader;
        if (target.endsWith("fifo")) {
            reader.start("cat", {target});
            QVERIFY(reader.waitForStarted());
        }
        struct stat before = {};
        QVERIFY(::stat(QFile::encodeName(old.fileName()).constData(), &before) == 0);
        const QString entriesBefore = entries();
        QVERIFY(count("Level = 0") > 0);

        const ProgramRun result = m_case->runRow();
        if (status == 0)
            QCOMPARE(count("Level = 0"), 0);
        else
            QCOMPARE(entries(), entriesBefore);
        QByteArray received;
        if (target.endsWith("fifo")) {
            QVERIFY(reader.waitForFinished());
            received = reader.readAllStandardOutput();
        } else if (target == "/dev/stdout") {
            received = result.out;
        } else if (target.endsWith("old.txt")) {
            received = ProgramRun::readFile(m_case->path("hard.txt"));
            struct stat after = {};
            QVERIFY(::stat(QFile::encodeName(old.fileName()).constData(), &after) == 0);
            QCOMPARE(after.st_ino, before.st_ino);
            QCOMPARE(after.st_mode, before.st_mode);
            QCOMPARE(qint64(after.st_size), qint64(received.size()));
            QCOMPARE(ProgramRun::readFile(m_case->path("symlink.txt")), received);
        }
        if (!received.isNull())
            QVERIFY2(received.contains("Audit Detail Report") && !received.contains("xxxxxxxx"),
                     received.left(200).constData());
        QVERIFY(!QFileInfo(m_case->path("fifo")).isFile() &&
                QFileInfo::exists(m_case->path("fifo")));
        QCOMPARE(QFileInfo(m_case->path("null")).isFile(), false);
    }

    // The temporary report of a mail run goes into a private folder: a link
    // planted under its name in the current folder is not followed.
    void mailTemporaryFilesIgnorePlantedLinks()
    {
        QVERIFY(m_case->makeDemo(40));
        SmtpTestServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        const QString victim = m_case->path("victim.txt");
        QVERIFY(ProgramRun::writeFile(victim, "keep me"));
        for (const char* name : {"AuditDetailRpt.txt", "AuditDetailRpt.zip"})
            QVERIFY(QFile::link(victim, m_case->path(name)));

        const ProgramRun result =
            m_case->run({"/SYSTEM", "%ROOT", "/STATUS", "/EMAIL", "ops@example.org", "/ATTACH_OVER",
                         "1", "/UNATTENDED"},
                        {"ZLK_SMTP_URL=" + server.url()});
        QCOMPARE(result.status, 0);
        QCOMPARE(ProgramRun::readFile(victim), QByteArray("keep me"));
        QVERIFY(QFileInfo(m_case->path("AuditDetailRpt.txt")).isSymLink());
        // The attachment still carries the report's own file name.
        QCOMPARE(server.messages().value(0).attachments.value(0).fileName, "AuditDetailRpt.txt");
    }

    void credentials_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("iniCredentials"); // else the password is in ZLK_SMTP_URL
        QTest::addColumn<bool>("starttls");       // the server offers it
        QTest::addColumn<QString>("login");       // how the server got it, "": not at all
        QTest::newRow("User and Password, another host") << "192.0.2.1" << true << false << "";
        QTest::newRow("password in ZLK_SMTP_URL, another host")
            << "192.0.2.1" << false << false << "";
        QTest::newRow("another host offering STARTTLS") << "192.0.2.1" << true << true << "tls";
        QTest::newRow("User and Password, loopback") << "127.0.0.1" << true << false << "clear";
    }

    // A server that offers AUTH without TLS gets the password only when it is
    // this machine; otherwise the run fails before AUTH, naming the setting, and
    // the password appears in no error line.
    void credentials()
    {
        QFETCH(QString, host);
        QFETCH(bool, iniCredentials);
        QFETCH(bool, starttls);
        QFETCH(QString, login);
        QVERIFY(m_case->makeDemo(40));
        QVERIFY(ProgramRun::writeFile(
            m_case->root() + "/SYSTEM/zlk.ini",
            iniCredentials ? "[Mail]\nUser=ops\nPassword=s3cret\nVerifyCertificate=no\n"
                           : "[Mail]\n"));
        QString tls;
        if (starttls) {
            QProcess openssl;
            openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                                      "-subj", "/CN=192.0.2.1", "-keyout", m_case->path("key.pem"),
                                      "-out", m_case->path("cert.pem")});
            QVERIFY(openssl.waitForFinished(60000) && openssl.exitCode() == 0);
            tls = " --starttls " + m_case->path("cert.pem") + ' ' + m_case->path("key.pem");
        }
        // A network namespace of its own, where 192.0.2.1 is another host's
        // address that leads back to this test's server.
        const QString script =
            QStringLiteral("ip link set lo up && ip addr add 192.0.2.1/32 dev lo || exit 97\n"
                           "/usr/bin/python3 \"$SERVER\" \"$FOLDER\" --auth --host \"$HOST\" $TLS "
                           "> \"$FOLDER/port\" &\n"
                           "until grep -qs LISTENING \"$FOLDER/port\"; do kill -0 $! || exit 98; "
                           "sleep 0.05; done\n"
                           "export ZLK_SMTP_URL=$(echo \"$URL\" | sed \"s/PORT/$(cut -d' ' -f2 "
                           "\"$FOLDER/port\")/\")\n"
                           "\"$@\"; status=$?; kill $!; exit $status\n");
        const ProgramRun result = m_case->run(
            {"/SYSTEM", "%ROOT", "/STATUS", "/EMAIL", "ops@example.org", "/DELETE", "/UNATTENDED"},
            {"SERVER=" AUDITLOG_TEST_DIR "/support/smtp_test_server.py",
             "FOLDER=" + m_case->path(""), "HOST=" + host,
             "URL=smtp://" + QString(iniCredentials ? "" : "ops:s3cret@") + host + ":PORT",
             "TLS=" + tls},
            {"unshare", "-n", "sh", "-c", script, "sh"});
        if (result.status == 97)
            QSKIP("no network namespace can be made here");
        const QByteArray logins = ProgramRun::readFile(m_case->path("auth.log"));
        if (!login.isEmpty()) {
            QCOMPARE(result.status, 0);
            QVERIFY2(logins.startsWith(login.toLatin1() + ' ') && logins.contains(" ops s3cret"),
                     logins.constData());
            QCOMPARE(count("Level = 0"), 0);
            return;
        }
        QCOMPARE(result.status, 1);
        QCOMPARE(logins, QByteArray());
        QVERIFY(!QFile::exists(m_case->path("0001.eml")));
        QVERIFY(count("Level = 0") > 0);
        QCOMPARE(result.errLines.size(), 1);
        QVERIFY2(result.errLines.at(0).contains("set Security=tls") &&
                     !result.errLines.at(0).contains("s3cret"),
                 qPrintable(result.errLines.at(0)));
    }

    // Without XDG_RUNTIME_DIR the program names a runtime folder of its own; one
    // that another user made under that name keeps its owner and mode.
    void foreignRuntimeFolderUntouched()
    {
        QVERIFY(m_case->makeDemo(40));
        const QString planted = m_case->path("tmp/runtime-root");
        QVERIFY(QDir().mkpath(planted));
        QVERIFY(::chmod(QFile::encodeName(planted).constData(), 0777) == 0 &&
                ::chown(QFile::encodeName(planted).constData(), 65534, 65534) == 0);

        const ProgramRun result = m_case->run({"/SYSTEM", "%ROOT", "/UNATTENDED"},
                                              {"TMPDIR=" + m_case->path("tmp"), "USER=root"});
        QCOMPARE(result.status, 0);
        QCOMPARE(result.errLines, QStringList());
        struct stat info = {};
        QVERIFY(::stat(QFile::encodeName(planted).constData(), &info) == 0);
        QCOMPARE(info.st_mode & 07777, mode_t(0777));
        QCOMPARE(info.st_uid, uid_t(65534));
    }

    // SQLite refuses a text of several statements; the message says so.
    void severalStatements()
    {
        QVERIFY(m_case->makeDemo(40));
        QVERIFY(
            AuditDatabase::instance().open(AuditDatabase::connectionStringFor(m_case->database())));
        AuditError error;
        QVERIFY(!AuditDatabase::instance().execute("DELETE FROM Audit WHERE 1=0; DELETE FROM Audit",
                                                   nullptr, &error));
        AuditDatabase::instance().close();
        QVERIFY2(error.description.contains("several statements"), qPrintable(error.description));
        QCOMPARE(count(), 40);
    }

private:
    int count(const QString& where = "1") const
    {
        return AuditTestDb::values(m_case->database(), "SELECT COUNT(*) FROM Audit WHERE " + where)
            .value(0, -1)
            .toInt();
    }
    // Every entry's key and level: what a run must leave alone or delete.
    QString entries() const
    {
        return AuditTestDb::values(m_case->database(),
                                   "SELECT group_concat(AutoIndex || ':' || Level) FROM Audit")
            .value(0)
            .toString();
    }

    std::unique_ptr<ProgramCase> m_case;
};

QTEST_GUILESS_MAIN(tst_OutsideRuns)
#include "tst_outsideruns.moc"
