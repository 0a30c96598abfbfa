#include "AppState.h"
#include "AuditBackend.h"
#include "AuditDatabase.h"
#include "AuditTestDb.h"
#include "PgTestCluster.h"
#include "Purge.h"
#include "ReportCondition.h"
#include "Settings.h"
#include "TestEnvironment.h"
#include "ViewQuery.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

// Every statement that bounds the entries it touches (by age, span or key)
// finds them through that bound: on a file with and without statistics, and on
// a server whose statistics are current (its own autovacuum keeps them).
class tst_QueryPlans : public QObject
{
    Q_OBJECT

    static constexpr int Rows = 100000;
    static constexpr int Days = 400;

    TestEnvironment env;
    AuditTestDb plain;
    AuditTestDb analyzed;
    // The date of the newest entries.
    const QDate today = QDate::currentDate();

    QString viewText(const QString& levels, const QString& age)
    {
        env.setLevels(levels);
        env.setSetting(SettingKey::MessageAge, age);
        return ViewQueryText(today);
    }

    // A report condition counted back from a day (the cut-off of "older than"
    // just after the first entries, so that it bounds few of them).
    static QString reportWhere(int ageMode, const QDate& day, const QString& query = QString(),
                               bool errorsOnly = false)
    {
        ReportCondition c{!errorsOnly, !errorsOnly, true,        true, int16_t(ageMode),
                          7,           "11/1/2026", "11/2/2026", query};
        return c.where(day);
    }

    // The plan's lines for a Jet statement on a connection of the test's own,
    // with the keys of a report's last thousand entries stored as the program
    // stores them for its report-then-delete.
    static QStringList plan(const QString& location, const QString& jet)
    {
        const QString name = QStringLiteral("plans");
        const QString connection = AuditDatabase::connectionStringFor(location);
        const AuditBackend& backend = AuditBackend::forConnectionString(connection);
        QStringList lines;
        {
            AuditError error;
            QSqlDatabase db = backend.open(connection, name, &error, nullptr);
            QList<qint64> keys;
            for (qint64 key = Rows - 999; key <= Rows; ++key)
                keys.append(key);
            const auto text = backend.translate(jet, &error);
            QSqlQuery q(db);
            if (!db.isOpen() || !text ||
                !backend.storeKeys(db, ReportCondition::ReportedRowsTable, keys, &error))
                return {"failed: " + error.description};
            if (!q.exec((backend.name() == "pgsql" ? "EXPLAIN " : "EXPLAIN QUERY PLAN ") + *text))
                lines.append("failed: " + q.lastError().text());
            while (q.next())
                lines.append(q.value(backend.name() == "pgsql" ? 0 : 3).toString());
        }
        QSqlDatabase::removeDatabase(name);
        return lines;
    }

private slots:
    void initTestCase()
    {
        // Entries over the last Days days, most of them status messages.
        const QString noon = QDateTime(today, QTime(12, 0)).toString("yyyy-MM-dd HH:mm:ss");
        const QString age = QString("%1 - i / %2").arg(Days).arg(Rows / Days);
        const QString fill =
            plain.isServer()
                ? "INSERT INTO audit (level, \"when\", description) SELECT CASE WHEN i % 10 < 7 "
                  "THEN 0 ELSE i % 4 END, TIMESTAMP '" + noon + "' - (" + age + ") * INTERVAL "
                  "'1 day', 'entry ' || i FROM generate_series(1, " + QString::number(Rows) +
                  ") AS i"
                : "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                  QString::number(Rows) + ") INSERT INTO Audit (Level, [When], Description) "
                  "SELECT CASE WHEN i % 10 < 7 THEN 0 ELSE i % 4 END, datetime('" + noon +
                  "', '-' || (" + age + ") || ' days'), 'entry ' || i FROM n";
        for (AuditTestDb* db : {&plain, &analyzed}) {
            QVERIFY2(db->isValid(), qPrintable(db->errorString()));
            if (db == &plain && db->isServer())
                continue; // the server's autovacuum keeps statistics: one database
            const QString name = "fill";
            {
                const QString connection = AuditDatabase::connectionStringFor(db->path());
                QSqlDatabase sql = AuditBackend::forConnectionString(connection)
                                       .open(connection, name, nullptr, nullptr);
                QSqlQuery q(sql);
                QVERIFY2(q.exec(fill), qPrintable(q.lastError().text()));
                // Sampled statistics, as the program keeps them on a file.
                if (db == &analyzed)
                    QVERIFY(q.exec(db->isServer() ? "ANALYZE audit"
                                                  : "PRAGMA analysis_limit=1000") &&
                            (db->isServer() || q.exec("ANALYZE")));
            }
            QSqlDatabase::removeDatabase(name);
        }
        ViewSortBy1 = "AutoIndex";
        ViewSortDirection = "DESC";
    }

    void boundedPlans_data()
    {
        QTest::addColumn<QString>("jet");
        QTest::addColumn<QString>("bound"); // what the file's plan must search by
        // Days whose "older than" cut-offs fall just after the first entries.
        const QDate first = today.addDays(-Days);
        const struct
        {
            const char* name;
            QString jet;
            const char* bound;
        } rows[] = {
            {"start-up purge", *DeleteOldEntriesStatement("30", 3, first.addDays(29)), "When<"},
            {"purge dialog, status messages", *DeleteOldEntriesStatement("7", 0, first.addDays(6)),
             "When<"},
            {"view, new entries", viewText("SWEF", "NEW"), "When>"},
            {"view, 30 days, two levels", viewText("SE", "30"), "When>"},
            {"report, newer than", ReportCondition::selectText(reportWhere(2, today), "", "", ""),
             "When>"},
            {"report, older than, errors",
             ReportCondition::selectText(reportWhere(1, first.addDays(9), "", true), "", "", ""),
             "When<"},
            {"report, span", ReportCondition::selectText(reportWhere(3, today), "", "", ""),
             "When>"},
            {"report, newest by key",
             ReportCondition::selectText(
                 reportWhere(0, today, QString("AutoIndex > %1").arg(Rows - 1000)), "", "", ""),
             "rowid>"},
            {"report, key range and age",
             ReportCondition::selectText(reportWhere(2, today, "[AutoIndex] BETWEEN 10 AND 20"),
                                         "When", "", ""),
             "rowid>"},
            {"report then delete",
             ReportCondition::deleteText(reportWhere(1, first.addDays(9)), Rows - 999, Rows),
             "rowid="},
            {"report then delete, any age",
             ReportCondition::deleteText(reportWhere(0, today), Rows - 999, Rows), "rowid="},
        };
        for (const auto& row : rows)
            for (const char* file : {"plain", "analyzed"})
                if (!PgTestCluster::enabled() || file == QLatin1String("analyzed"))
                    QTest::addRow("%s, %s", row.name, file) << row.jet << QString(row.bound);
    }

    void boundedPlans()
    {
        QFETCH(QString, jet);
        QFETCH(QString, bound);
        const bool stats = QByteArray(QTest::currentDataTag()).endsWith("analyzed");
        const QStringList lines = plan((stats ? analyzed : plain).path(), jet);
        const QString text = lines.join(" | ");
        QVERIFY2(!text.contains("failed"), qPrintable(text));
        if (!analyzed.isServer()) {
            QVERIFY2(!text.contains("SCAN Audit"), qPrintable(text));
            QVERIFY2(text.contains(bound), qPrintable(text));
            return;
        }
        // The server searches an index by the bounded column.
        const QString column = bound.startsWith("When") ? "\"when\"" : "autoindex";
        QVERIFY2(!text.contains(QRegularExpression("Seq Scan on audit\\b")), qPrintable(text));
        QVERIFY2(text.contains(QRegularExpression("Index Cond: [^|]*" +
                                                  QRegularExpression::escape(column))),
                 qPrintable(text));
    }

    // A report of any age on a file without statistics: of every level, the
    // rows come in order from the When index (only entries of the same time
    // sorted) or from the table itself; of fewer levels, the (Level, When)
    // index finds them.
    void anyAgePlans_data()
    {
        QTest::addColumn<bool>("everyLevel");
        QTest::addColumn<QString>("sortBy");
        QTest::addColumn<QString>("expected");
        QTest::newRow("every level, by time")
            << true << "When"
            << "SCAN Audit USING INDEX Audit_When | USE TEMP B-TREE FOR RIGHT PART OF ORDER BY";
        QTest::newRow("every level, by key") << true << "" << "SCAN Audit";
        QTest::newRow("two levels, by time") << false << "When" << "Audit_Level_When";
    }

    void anyAgePlans()
    {
        if (analyzed.isServer())
            QSKIP("the server plans from its own statistics");
        QFETCH(bool, everyLevel);
        QFETCH(QString, sortBy);
        QFETCH(QString, expected);
        ReportCondition c{everyLevel, everyLevel, true, true, 0, 7, "", "", ""};
        const QString text =
            plan(plain.path(), ReportCondition::selectText(c.where(today), sortBy,
                                                          sortBy.isEmpty() ? "" : "User", ""))
                .join(" | ");
        QVERIFY2(text.contains(expected) && (!everyLevel || !text.contains("TEMP B-TREE FOR ORDER")),
                 qPrintable(text));
    }
};

QTEST_GUILESS_MAIN(tst_QueryPlans)
#include "tst_queryplans.moc"
