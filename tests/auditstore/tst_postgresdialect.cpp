#include "DatabaseLocation.h"
#include "JetDialect.h"
#include "PostgresDialect.h"
#include "ProgramRun.h"

#include <QLocale>
#include <QtTest>

// The program's Jet texts as the PostgreSQL backend runs them, and the choice
// of an installation's database.
class tst_PostgresDialect : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    // Each text in both dialects: the server's and the file's ("" : refused
    // with error 3075; the file's text is the Jet text itself when not given).
    void translates_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("jet");
        QTest::addColumn<QString>("postgres");
        QTest::addColumn<QString>("sqlite");
        auto row = [](const char* name, const QString& jet, const QString& postgres,
                      const QString& sqlite = {}, const QString& locale = "en_US") {
            QTest::newRow(name) << locale << jet << postgres << (sqlite.isNull() ? jet : sqlite);
        };
        row("view",
            "SELECT Audit.* FROM Audit WHERE (Level = 0 OR Level = 3) AND [When] > #12/1/2026#  "
            "Order By [Description], [AutoIndex] DESC;",
            "SELECT Audit.* FROM Audit WHERE (Level = 0 OR Level = 3) AND \"when\" > TIMESTAMP "
            "'2026-12-01 00:00:00'  Order By \"description\", \"autoindex\" DESC",
            "SELECT Audit.* FROM Audit WHERE (Level = 0 OR Level = 3) AND [When] > '2026-12-01 "
            "00:00:00'  Order By [Description], [AutoIndex] DESC;");
        row("purge", "DELETE Audit.* FROM Audit WHERE [When] < #1/2/2026 13:05#  AND Level <= 3",
            "DELETE FROM Audit WHERE \"when\" < TIMESTAMP '2026-01-02 13:05:00'  AND Level <= 3",
            "DELETE FROM Audit WHERE [When] < '2026-01-02 13:05:00'  AND +Level <= 3");
        row("day first", "x > #8/3/2003 08:00#", "x > TIMESTAMP '2003-03-08 08:00:00'",
            "x > '2003-03-08 08:00:00'", "en_GB");
        row("report names", "(`Level` = 1) AND `When` < #3/4/2026# ORDER BY User",
            "(\"level\" = 1) AND \"when\" < TIMESTAMP '2026-03-04 00:00:00' ORDER BY \"user\"",
            "(`Level` = 1) AND `When` < '2026-03-04 00:00:00' ORDER BY User");
        row("number matched as text",
            "select * from [Audit] where [error] like '%30%' and error NOT  LIKE '1%'",
            "select * from \"audit\" where \"error\"::text like '%30%' and error::text NOT  LIKE "
            "'1%'");
        row("strings kept, Jet's double quotes",
            "SELECT 1 WHERE [Details] = 'it''s [When] #1#' OR Path = \"a'b\"\"c\" AND y > "
            "#1/2/2003#",
            "SELECT 1 WHERE \"details\" = 'it''s [When] #1#' OR Path = 'a''b\"c' AND y > TIMESTAMP "
            "'2003-01-02 00:00:00'",
            "SELECT 1 WHERE [Details] = 'it''s [When] #1#' OR Path = \"a'b\"\"c\" AND y > "
            "'2003-01-02 00:00:00'");
        row("DELETE inside a string stays", "SELECT 'DELETE Audit.* FROM Audit'",
            "SELECT 'DELETE Audit.* FROM Audit'");
        row("marks",
            "SELECT [AutoIndex] FROM Audit WHERE [AutoIndex] IN (?,?) OR AutoIndex BETWEEN ? AND ?",
            "SELECT \"autoindex\" FROM Audit WHERE \"autoindex\" IN ($1,$2) OR AutoIndex BETWEEN "
            "$3 AND $4");
        row("subquery named", "SELECT AutoIndex FROM (SELECT * FROM Audit WHERE Level IN (1, 2))",
            "SELECT AutoIndex FROM (SELECT * FROM Audit WHERE Level IN (1, 2)) AS subquery");
        row("CASE keeps WHEN", "SELECT CASE WHEN Level = 1 THEN 2 END FROM Audit",
            "SELECT CASE WHEN Level = 1 THEN 2 END FROM Audit");
        row("impossible date", "SELECT 1 WHERE [When] > #13/13/2003#", "", "");
        row("unterminated date", "SELECT 1 WHERE [When] > #3/9/2003", "", "");
    }

    void translates()
    {
        QFETCH(QString, locale);
        QFETCH(QString, jet);
        QLocale::setDefault(QLocale(locale));
        AuditError server, file;
        QTEST(PostgresDialect::fromJet(jet, &server).value_or(QString()), "postgres");
        QTEST(JetDialect::toSqlite(jet, &file).value_or(QString()), "sqlite");
        QFETCH(QString, postgres);
        QFETCH(QString, sqlite);
        QCOMPARE(server.number, postgres.isEmpty() ? JetDialect::ErrorBadDateLiteral : 0);
        QCOMPARE(file.number, sqlite.isEmpty() ? JetDialect::ErrorBadDateLiteral : 0);
    }

    void location_data()
    {
        QTest::addColumn<QString>("environment");
        QTest::addColumn<QString>("ini");
        QTest::addColumn<QString>("expected"); // the connection string's end, or "!" + a problem word
        QTest::newRow("default file") << "" << "" << "/SYSTEM/Audit.mdb;Mode=";
        QTest::newRow("ini names a server")
            << "" << "[Other]\nConnection=x\n[Database]\nConnection = postgresql:///audit?host=/run,/tmp\n"
            << "postgresql:///audit?host=/run,/tmp";
        QTest::newRow("environment overrides")
            << "postgres://db.example/audit" << "[Database]\nConnection=postgresql:///other\n"
            << "postgres://db.example/audit";
        QTest::newRow("another file") << "" << "[Database]\nConnection=Central.mdb\n"
                                      << "/SYSTEM/Central.mdb;Mode=";
        QTest::newRow("quoted in the ini")
            << "" << "[Database]\nConnection=\"postgresql:///audit\"\n" << "postgresql:///audit";
        QTest::newRow("quoted in the environment") << "'postgresql:///audit'" << ""
                                                   << "postgresql:///audit";
        QTest::newRow("password in URI refused")
            << "" << "[Database]\nConnection=postgresql://al:secret@db/audit\n" << "!password";
        QTest::newRow("password parameter refused")
            << "postgresql:///audit?password=secret" << "" << "!password";
    }
    void location()
    {
        QFETCH(QString, environment);
        QFETCH(QString, ini);
        QFETCH(QString, expected);
        QTemporaryDir root;
        QDir(root.path()).mkpath("SYSTEM");
        const QString system = root.filePath("SYSTEM");
        QVERIFY(ini.isEmpty() || ProgramRun::writeFile(system + "/auditlog.ini", ini.toUtf8()));
        qputenv(DatabaseLocation::EnvironmentVariable, environment.toUtf8());
        QString problem;
        const auto connection = DatabaseLocation::connectionString(system, &problem);
        qunsetenv(DatabaseLocation::EnvironmentVariable);
        if (expected.startsWith('!')) {
            QVERIFY(!connection);
            QVERIFY2(problem.contains(expected.mid(1)), qPrintable(problem));
            QVERIFY2(!problem.contains("secret"), qPrintable(problem));
        } else {
            QVERIFY2(connection, qPrintable(problem));
            QVERIFY2(connection->contains(expected), qPrintable(*connection));
        }
    }
};

QTEST_GUILESS_MAIN(tst_PostgresDialect)
#include "tst_postgresdialect.moc"
