#include "AppState.h"
#include "AuditTestDb.h"
#include "JetDialect.h"
#include "Purge.h"
#include "ReportCondition.h"
#include "Settings.h"
#include "TestEnvironment.h"
#include "ViewQuery.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

// Every statement that bounds the entries it touches (by age, span or key)
// finds them through that bound, on a file with and without statistics.
class tst_QueryPlans : public QObject
{
    Q_OBJECT

    TestEnvironment env;
    AuditTestDb plain;
    AuditTestDb analyzed;

    QString viewText(const QString& levels, const QString& age)
    {
        const QString keys[] = {SettingKey::LevelStatus, SettingKey::LevelWarning,
                                SettingKey::LevelError, SettingKey::LevelFatalError};
        for (int i = 0; i < 4; ++i)
            env.setSetting(keys[i], levels.contains("SWEF"[i]) ? "True" : "False");
        env.setSetting(SettingKey::MessageAge, age);
        return ViewQueryText();
    }

    static QString reportWhere(int ageMode, const QString& query = QString(),
                               bool errorsOnly = false)
    {
        ReportCondition c{!errorsOnly, !errorsOnly, true,        true, int16_t(ageMode),
                          7,           "11/1/2026", "11/2/2026", query};
        return c.where(QDate::currentDate());
    }

    // The plan's lines for a Jet statement on a connection of the test's own.
    static QStringList plan(const QString& file, const QString& jet)
    {
        const QString name = QStringLiteral("plans-") + file;
        QStringList lines;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
            db.setDatabaseName(file);
            if (!db.open())
                return {"open failed"};
            QSqlQuery q(db);
            q.exec("CREATE TEMP TABLE " + ReportCondition::ReportedRowsTable +
                   " (AutoIndex INTEGER PRIMARY KEY)");
            const auto sqlite = JetDialect::toSqlite(jet);
            if (!sqlite || !q.exec("EXPLAIN QUERY PLAN " + *sqlite))
                lines.append("failed: " + q.lastError().text());
            while (q.next())
                lines.append(q.value(3).toString());
        }
        QSqlDatabase::removeDatabase(name);
        return lines;
    }

private slots:
    void initTestCase()
    {
        for (AuditTestDb* db : {&plain, &analyzed}) {
            QVERIFY2(db->isValid(), qPrintable(db->errorString()));
            // Forty days of entries, most of them status messages.
            QVERIFY(db->exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                             "WHERE i < 20000) INSERT INTO Audit (Level, [When], Description) "
                             "SELECT CASE WHEN i % 10 < 7 THEN 0 ELSE i % 4 END, "
                             "datetime('now', '-' || (40 - i / 500) || ' days'), 'entry ' || i "
                             "FROM n"));
        }
        // Sampled statistics, as the program keeps them.
        QVERIFY(analyzed.exec("PRAGMA analysis_limit=1000"));
        QVERIFY(analyzed.exec("ANALYZE"));
        ViewSortBy1 = "AutoIndex";
        ViewSortDirection = "DESC";
    }

    void boundedPlans_data()
    {
        QTest::addColumn<QString>("jet");
        QTest::addColumn<QString>("bound"); // what the plan must search by
        const QDate today = QDate::currentDate();
        const struct
        {
            const char* name;
            QString jet;
            const char* bound;
        } rows[] = {
            {"start-up purge", *DeleteOldEntriesStatement("30", 3, today), "When<"},
            {"purge dialog, status messages", *DeleteOldEntriesStatement("7", 0, today), "When<"},
            {"view, new entries", viewText("SWEF", "NEW"), "When>"},
            {"view, 7 days", viewText("SWEF", "7"), "When>"},
            {"view, 30 days, two levels", viewText("SE", "30"), "When>"},
            {"report, newer than", ReportCondition::selectText(reportWhere(2), "", "", ""),
             "When>"},
            {"report, older than, errors",
             ReportCondition::selectText(reportWhere(1, "", true), "", "", ""), "When<"},
            {"report, span", ReportCondition::selectText(reportWhere(3), "", "", ""), "When>"},
            {"report, newest by key",
             ReportCondition::selectText(reportWhere(0, "AutoIndex > 19000"), "", "", ""),
             "rowid>"},
            {"report, key range and age",
             ReportCondition::selectText(reportWhere(2, "[AutoIndex] BETWEEN 10 AND 20"), "When",
                                         "", ""),
             "rowid>"},
            {"report then delete", ReportCondition::deleteText(reportWhere(1), 20000), "rowid="},
        };
        for (const auto& row : rows)
            for (const char* file : {"plain", "analyzed"})
                QTest::addRow("%s, %s", row.name, file) << row.jet << QString(row.bound);
    }

    void boundedPlans()
    {
        QFETCH(QString, jet);
        QFETCH(QString, bound);
        const bool stats = QByteArray(QTest::currentDataTag()).endsWith("analyzed");
        const QStringList lines = plan((stats ? analyzed : plain).path(), jet);
        const QString text = lines.join(" | ");
        QVERIFY2(!text.contains("SCAN Audit") && !text.contains("failed"), qPrintable(text));
        QVERIFY2(text.contains(bound), qPrintable(text));
    }
};

QTEST_GUILESS_MAIN(tst_QueryPlans)
#include "tst_queryplans.moc"
