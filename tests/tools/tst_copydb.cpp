#include "AuditTestDb.h"
#include "PgTestCluster.h"
#include "ProgramRun.h"

#include <QtTest>

// Moving an audit file into PostgreSQL (auditlog-copydb) and filling a server
// with demo entries (makedemo --postgres), on a throw-away cluster.
class tst_CopyDb : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QString error;
        m_uri = PgTestCluster::uriOf("postgres", &error);
        QVERIFY2(!m_uri.isEmpty(), qPrintable(error));
    }

    // Every value of texts that COPY must escape or encode, keys with gaps,
    // the weights; new entries continue after the highest key.
    void everyValueRoundTrips()
    {
        AuditTestDb source;
        QVERIFY2(source.isValid(), qPrintable(source.errorString()));
        const QStringList odd = {"O'Brien \"quoted\"",
                                 "tab\there",
                                 "back\\slash \\N \\.",
                                 "line\nbreak\r\nand CR",
                                 QString::fromUtf8("Zoë ß 日本 😀"),
                                 ""};
        QList<AuditEntry> entries;
        for (const QString& text : odd) {
            AuditEntry e = AuditTestDb::entry(2, QDateTime(QDate(2026, 2, 28), QTime(23, 59, 58)));
            e.Description = e.Application = e.User = e.Details = e.Path = e.Response = e.TaskList =
                text;
            e.Error = -7;
            e.Unattended = true;
            entries << e;
        }
        QVERIFY(source.add(entries));
        QVERIFY(source.exec("DELETE FROM Audit WHERE AutoIndex = 2"));
        QVERIFY(source.exec(
            "INSERT INTO Audit (AutoIndex, [When]) VALUES (90, '2026-03-01 00:00:00')"));
        QVERIFY(source.exec("INSERT INTO weight VALUES (2001, 'Tab\tO''Brien', 3), (0, '', -1)"));

        const QString target = newDatabase("roundtrip");
        QCOMPARE(copy({source.path(), target}), 0);
        QCOMPARE(targetRows(target, AuditRows), sourceRows(source.path(), AuditRows));
        QCOMPARE(targetRows(target, WeightRows), sourceRows(source.path(), WeightRows));
        QCOMPARE(
            targetRows(target, "INSERT INTO audit (\"when\") VALUES (now()) RETURNING autoindex"),
            "91\n");
    }

    void failureChangesNothing_data()
    {
        // Statements run on the target first ("COPY": a first copy), and SQLite
        // run on the source ("garbage": a file that is not a database).
        QTest::addColumn<QString>("prepare");
        QTest::addColumn<QString>("sourceChange");
        QTest::addColumn<QStringList>("flags");
        QTest::addColumn<int>("status");
        auto row = [](const char* name, const QString& prepare, const QString& sourceChange,
                      const QStringList& flags = {}, int status = 1) {
            QTest::newRow(name) << prepare << sourceChange << flags << status;
        };
        row("conflicting table", "CREATE TABLE audit (x int); INSERT INTO audit VALUES (1)", "");
        row("source not a database", "", "garbage");
        row("time not a time", "", "UPDATE Audit SET [When] = 'soon' WHERE AutoIndex = 3");
        row("text not UTF-8", "", "UPDATE Audit SET User = CAST(x'ff41' AS TEXT)",
            {"--batch", "2"});
        row("target holds entries", "COPY", "");
        row("replace fails late", "COPY", "UPDATE Audit SET [When] = 'soon' WHERE AutoIndex = 5",
            {"--replace"});
        row("password on the line", "", "", {"PASSWORD"}, 2);
    }

    void failureChangesNothing()
    {
        QFETCH(QString, prepare);
        QFETCH(QString, sourceChange);
        QFETCH(QStringList, flags);
        AuditTestDb source;
        QVERIFY(
            source.add(QList<AuditEntry>(5, AuditTestDb::entry(1, QDateTime::currentDateTime()))));
        QVERIFY(source.exec("INSERT INTO weight VALUES (1001, '*', 2)"));
        const QString target = newDatabase(QString("fail%1").arg(++m_databases));
        if (prepare == "COPY")
            QCOMPARE(copy({source.path(), target}), 0);
        else if (!prepare.isEmpty())
            QVERIFY(run(target, prepare));
        QString from = source.path();
        if (sourceChange == "garbage") {
            from = m_folder.filePath("garbage.mdb");
            QVERIFY(ProgramRun::writeFile(from, QByteArray(8192, 'x')));
        } else if (!sourceChange.isEmpty()) {
            QVERIFY(source.exec(sourceChange));
        }
        QString uri = target;
        if (flags.removeAll("PASSWORD"))
            uri.replace("user=postgres", "user=postgres&password=secret");

        const QString before = targetRows(target, Fingerprint);
        QVERIFY2(!before.startsWith("<failed"), qPrintable(before));
        QTEST(copy(flags + QStringList{from, uri}), "status");
        QCOMPARE(targetRows(target, Fingerprint), before);
    }

    // Two files into one database: the second's entries follow the first's
    // with new keys in their old order; a weight the target has is not doubled.
    void appendMergesFiles()
    {
        AuditTestDb first, second;
        for (AuditTestDb* db : {&first, &second}) {
            for (int i = 0; i < 3; ++i)
                QVERIFY(db->add(AuditTestDb::entry(
                    i, QDateTime::currentDateTime(),
                    QString("%1 entry %2").arg(db == &first ? "first" : "second").arg(i))));
            QVERIFY(db->exec(
                db == &first
                    ? "INSERT INTO weight VALUES (1001, '*', 2)"
                    : "INSERT INTO weight VALUES (1001, '*', 5), (2001, 'Translator', 1)"));
        }
        const QString target = newDatabase("append");
        QCOMPARE(copy({first.path(), target}), 0);
        QCOMPARE(copy({"--append", second.path(), target}), 0);
        QCOMPARE(targetRows(target, "SELECT autoindex, description FROM audit ORDER BY 1"),
                 "1|first entry 0\n2|first entry 1\n3|first entry 2\n4|second entry 0\n"
                 "5|second entry 1\n6|second entry 2\n");
        QCOMPARE(targetRows(target, WeightRows), "1001|*|2\n2001|Translator|1\n");
    }

    // makedemo --postgres writes the same rows and keys as into a file, and appends after them.
    void makedemoFillsServer()
    {
        const QStringList demo = {"1500", "--seed", "7", "--now", "2026-03-15T12:00:00"};
        QTemporaryDir folder;
        const QString file = folder.filePath("Audit.mdb");
        QCOMPARE(ProgramRun::makeDemo(QStringList{file} + demo), 0);
        const QString target = newDatabase("demo");
        QCOMPARE(ProgramRun::makeDemo(QStringList{"--postgres", target} + demo), 0);
        QCOMPARE(targetRows(target, "SELECT count(*) FROM audit"), "1500\n");
        QCOMPARE(targetRows(target, AuditRows), sourceRows(file, AuditRows));
        QCOMPARE(ProgramRun::makeDemo(QStringList{"--postgres", target} + demo), 1);
        QCOMPARE(ProgramRun::makeDemo(QStringList{"--postgres", target, "--force", "20"}), 0);
        QCOMPARE(targetRows(target, "SELECT count(*), max(autoindex) FROM audit"), "20|20\n");
        // Replacing drops the schema's indexes and builds them again after the rows.
        QCOMPARE(targetRows(target, "SELECT count(*) FROM pg_indexes WHERE tablename = 'audit'"),
                 "7\n");
        // Appended entries start after the newest one, even with an earlier --now.
        QCOMPARE(ProgramRun::makeDemo({"--postgres", target, "--append", "10", "--now",
                                       "2026-03-15T12:00:00"}),
                 0);
        QCOMPARE(targetRows(target, "SELECT count(*) FROM audit WHERE autoindex > 20 AND \"when\" "
                                    "< (SELECT max(\"when\") FROM audit WHERE autoindex <= 20)"),
                 "0\n");
    }

private:
    // The same rows on both sides, as text; "when" in the file's form.
    static constexpr const char* AuditRows =
        "SELECT AutoIndex, Level, Error, Description, Application, %WHEN, User, Details, Path, "
        "Unattended, Response, TaskList FROM Audit ORDER BY AutoIndex";
    static constexpr const char* WeightRows =
        "SELECT error, application, weight FROM weight ORDER BY error, application";
    // The target's tables and their row counts.
    static constexpr const char* Fingerprint =
        "SELECT c.relname, (xpath('/row/n/text()', query_to_xml('SELECT count(*) AS n FROM ' || "
        "c.oid::regclass, false, true, '')))[1]::text FROM pg_class c JOIN pg_namespace n ON "
        "n.oid = c.relnamespace WHERE n.nspname = 'public' AND c.relkind = 'r' ORDER BY 1";

    // A new empty database on the cluster; its URI.
    QString newDatabase(const QString& name)
    {
        if (!run(m_uri, QString("CREATE DATABASE %1").arg(name)))
            return QString();
        return QString(m_uri).replace("/postgres?", QString("/%1?").arg(name));
    }

    static int copy(const QStringList& arguments)
    {
        const ProgramRun r = ProgramRun::of(QStringList{COPYDB_EXE, "--quiet"} + arguments,
                                            QProcessEnvironment::systemEnvironment(), ".");
        if (r.status != 0)
            qInfo() << "auditlog-copydb:" << r.errLines;
        return r.status;
    }

    // What a command-line client prints, or "<failed: why>".
    static QString output(const QStringList& command)
    {
        const ProgramRun r = ProgramRun::of(command, QProcessEnvironment::systemEnvironment(), ".");
        return r.status == 0 ? QString::fromUtf8(r.out) : "<failed: " + r.errLines.join(' ') + ">";
    }

    static bool run(const QString& uri, const QString& statements)
    {
        return !output({"psql", "-Xq", "-v", "ON_ERROR_STOP=1", "-d", uri, "-c", statements})
                    .startsWith("<failed");
    }

    // The rows, one a line with "|" between the values.
    static QString targetRows(const QString& uri, QString sql)
    {
        sql.replace("%WHEN", "to_char(\"when\", 'YYYY-MM-DD HH24:MI:SS')")
            .replace("User,", "\"user\",");
        return output({"psql", "-XAtq", "-F", "|", "-d", uri, "-c", sql});
    }

    static QString sourceRows(const QString& file, QString sql)
    {
        return output({"sqlite3", "-separator", "|", file, sql.replace("%WHEN", "[When]")});
    }

    QTemporaryDir m_folder;
    QString m_uri;
    int m_databases = 0;
};

QTEST_GUILESS_MAIN(tst_CopyDb)
#include "tst_copydb.moc"
