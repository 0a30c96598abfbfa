#include "DatabaseLocation.h"
#include "JetDialect.h"
#include "PostgresDialect.h"

#include <QLocale>
#include <QtTest>

// The program's Jet texts as the PostgreSQL backend runs them, and the choice
// of an installation's database.
class tst_PostgresDialect : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void translates_data()
    {
        QTest::addColumn<QString>("jet");
        QTest::addColumn<QString>("postgres");
        QTest::newRow("view") << "SELECT Audit.* FROM Audit WHERE (Level = 0 OR Level = 3) AND "
                                 "[When] > #12/1/2026#  Order By [Description], [AutoIndex] DESC;"
                              << "SELECT Audit.* FROM Audit WHERE (Level = 0 OR Level = 3) AND "
                                 "\"when\" > TIMESTAMP '2026-12-01 00:00:00'  Order By "
                                 "\"description\", \"autoindex\" DESC";
        QTest::newRow("purge") << "DELETE Audit.* FROM Audit WHERE [When] < #1/2/2026 13:05# "
                                  " AND Level <= 3"
                               << "DELETE FROM Audit WHERE \"when\" < TIMESTAMP '2026-01-02 "
                                  "13:05:00'  AND Level <= 3";
        QTest::newRow("report names") << "(`Level` = 1) AND `When` < #3/4/2026# ORDER BY User"
                                      << "(\"level\" = 1) AND \"when\" < TIMESTAMP '2026-03-04 "
                                         "00:00:00' ORDER BY \"user\"";
        QTest::newRow("number matched as text")
            << "select * from [Audit] where [error] like '%30%' and error NOT  LIKE '1%'"
            << "select * from \"audit\" where \"error\"::text like '%30%' and error::text NOT  "
               "LIKE '1%'";
        QTest::newRow("strings kept, Jet's double quotes")
            << "SELECT 1 WHERE [Details] = 'it''s [When] #1#' OR Path = \"a'b\"\"c\""
            << "SELECT 1 WHERE \"details\" = 'it''s [When] #1#' OR Path = 'a''b\"c'";
        QTest::newRow("marks") << "SELECT [AutoIndex] FROM Audit WHERE [AutoIndex] IN (?,?) OR "
                                  "AutoIndex BETWEEN ? AND ?"
                               << "SELECT \"autoindex\" FROM Audit WHERE \"autoindex\" IN ($1,$2) "
                                  "OR AutoIndex BETWEEN $3 AND $4";
        QTest::newRow("subquery named") << "SELECT AutoIndex FROM (SELECT * FROM Audit WHERE "
                                           "Level IN (1, 2))"
                                        << "SELECT AutoIndex FROM (SELECT * FROM Audit WHERE "
                                           "Level IN (1, 2)) AS subquery";
        QTest::newRow("CASE keeps WHEN") << "SELECT CASE WHEN Level = 1 THEN 2 END FROM Audit"
                                         << "SELECT CASE WHEN Level = 1 THEN 2 END FROM Audit";
    }
    void translates()
    {
        QFETCH(QString, jet);
        QFETCH(QString, postgres);
        QCOMPARE(PostgresDialect::fromJet(jet).value_or(QStringLiteral("(failed)")), postgres);
    }

    void badDateFails()
    {
        AuditError error;
        QVERIFY(!PostgresDialect::fromJet(QStringLiteral("SELECT 1 WHERE [When] < #13/45/2026#"),
                                          &error));
        QCOMPARE(error.number, 3075);
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
        if (!ini.isEmpty()) {
            QFile file(system + "/auditlog.ini");
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(ini.toUtf8());
        }
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

    // The file's dialect, for comparison with the server's above.
    void toSqlite_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("jet");
        QTest::addColumn<QString>("sqlite"); // empty: rejected with error 3075
        auto row = [](const char* name, const QString& locale, const QString& jet,
                      const QString& sqlite) { QTest::newRow(name) << locale << jet << sqlite; };
        row("purge", "en_US", "DELETE Audit.* FROM Audit WHERE [When] < #3/9/2003#  AND Level <= 3",
            "DELETE FROM Audit WHERE [When] < '2003-03-09 00:00:00'  AND +Level <= 3");
        row("day first, date and time", "en_GB", "x > #8/3/2003 08:00#",
            "x > '2003-03-08 08:00:00'");
        row("hash in a string", "en_US", "x = 'it''s #1#' AND y > #1/2/2003#",
            "x = 'it''s #1#' AND y > '2003-01-02 00:00:00'");
        row("DELETE inside a string stays", "en_US", "SELECT 'DELETE Audit.* FROM Audit'",
            "SELECT 'DELETE Audit.* FROM Audit'");
        row("impossible date", "en_US", "SELECT 1 WHERE [When] > #13/13/2003#", "");
        row("unterminated", "en_US", "SELECT 1 WHERE [When] > #3/9/2003", "");
    }

    void toSqlite()
    {
        QFETCH(QString, locale);
        QFETCH(QString, jet);
        QFETCH(QString, sqlite);
        QLocale::setDefault(QLocale(locale));
        AuditError error;
        const auto result = JetDialect::toSqlite(jet, &error);
        QCOMPARE(result.value_or(QString()), sqlite);
        QCOMPARE(error.number, sqlite.isEmpty() ? JetDialect::ErrorBadDateLiteral : 0);
    }
};

QTEST_GUILESS_MAIN(tst_PostgresDialect)
#include "tst_postgresdialect.moc"
