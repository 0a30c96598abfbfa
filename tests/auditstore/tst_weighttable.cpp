#include "AppState.h"
#include "AuditDatabase.h"
#include "AuditTestDb.h"
#include "TestEnvironment.h"
#include "WeightTableRoutines.h"

#include <QFile>
#include <QtTest>

// Rows are written as "error|application|weight", in table order.
namespace {

struct WeightDb
{
    WeightDb(const QStringList& rows)
    {
        AuditConnectionString = AuditDatabase::connectionStringFor(db.path());
        for (const QString& row : rows) {
            const QStringList f = row.split('|');
            QVERIFY2(db.exec(QStringLiteral("INSERT INTO weight VALUES (%1, '%2', %3)")
                                 .arg(f[0], QString(f[1]).replace("'", "''"), f[2])),
                     qPrintable(db.errorString()));
        }
    }
    QStringList rows() const
    {
        QStringList list;
        for (const QVariant& v : AuditTestDb::values(
                 db.path(), "SELECT error || '|' || application || '|' || weight FROM weight "
                            "ORDER BY rowid"))
            list.append(v.toString());
        return list;
    }
    TestEnvironment env;
    AuditTestDb db;
};

WeightRecord record(const QString& row)
{
    const QStringList f = row.split('|');
    return {f[0].toInt(), f[1], f[2].toInt()};
}

const QStringList TwoRows = {"10|*|2", "10|APP1|3"};

} // namespace

class tst_WeightTable : public QObject
{
    Q_OBJECT

private slots:
    void readers_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("errors");
        QTest::addColumn<QStringList>("applications");
        QTest::newRow("empty table") << QStringList() << QStringList{""} << QStringList{""};
        QTest::newRow("two rows, one error")
            << TwoRows << QStringList{"10", ""} << QStringList{"*", "APP1", ""};
        QTest::newRow("blanks trimmed")
            << QStringList{"7|  App2 |0", "7|APP2|1", "8|O'Neil|1"} << QStringList{"7", "8", ""}
            << QStringList{"App2", "APP2", "O'Neil", ""};
    }

    void readers()
    {
        QFETCH(QStringList, rows);
        WeightDb w(rows);
        QStringList list = {"stale"};
        GetWeightErrors(list);
        QTEST(list, "errors");
        GetWeightApplications(list);
        QTEST(list, "applications");
        QList<WeightRecord> table = {record("1|x|1")};
        GetWeightTable(table);
        QCOMPARE(table.size(), rows.size() + 1);
        QCOMPARE(table.last(), WeightRecord());
        for (int i = 0; i < rows.size(); ++i)
            QCOMPARE(table[i].error, record(rows[i]).error);
        QVERIFY(!WeightRecordset()); // nothing left open
    }

    void changes_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("operation"); // save or delete
        QTest::addColumn<QString>("record");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QString>("application"); // the record's application afterwards
        auto row = [](const char* name, const QStringList& rows, const QString& operation,
                      const QString& record, const QStringList& after, const QString& application) {
            QTest::newRow(name) << rows << operation << record << after << application;
        };
        row("save replaces the pair", TwoRows, "save", "10|APP1|1", {"10|*|2", "10|APP1|1"},
            "APP1");
        row("save adds a new pair", TwoRows, "save", "11|APP1|0",
            TwoRows + QStringList{"11|APP1|0"}, "APP1");
        row("pair matched without regard to case", TwoRows, "save", "10|app1|0",
            {"10|*|2", "10|app1|0"}, "app1");
        row("delete takes the first of two rows of one pair", {"5|A|1", "5|A|2", "6|A|3"}, "delete",
            "5|A|0", {"5|A|2", "6|A|3"}, "A");
        row("delete of a missing pair changes nothing", TwoRows, "delete", "11|*|2", TwoRows, "*");
        row("quote saved", TwoRows, "save", "12|O'Neil's app|1",
            TwoRows + QStringList{"12|O'Neil's app|1"}, "O'Neil's app");
        row("quote deleted", {"12|O'Neil|1", "12|Neil|1"}, "delete", "12|O'Neil|0", {"12|Neil|1"},
            "O'Neil");
        row("percent signs saved as typed", {}, "save", "1|%3 %1|2", {"1|%3 %1|2"}, "%3 %1");
        row("quote is not an injection", TwoRows, "delete", "10|x' or '1'='1|0", TwoRows,
            "x' or '1'='1");
    }

    void changes()
    {
        QFETCH(QStringList, rows);
        QFETCH(QString, operation);
        QFETCH(QString, record);
        QFETCH(QStringList, after);
        WeightDb w(rows);
        WeightRecord rec = ::record(record);
        AuditError error;
        QVERIFY(operation == "save" ? SaveWeight(rec, &error) : DeleteWeight(rec, &error));
        QCOMPARE(error.number, 0);
        QCOMPARE(w.rows(), after);
        QTEST(rec.application, "application");
        const bool left = std::any_of(after.begin(), after.end(), [&rec](const QString& row) {
            const WeightRecord r = ::record(row);
            return r.error == rec.error && r.application == rec.application;
        });
        QCOMPARE(WeightExists(rec), left);
        QVERIFY(!WeightRecordset());
    }

    // A database that went away: the change is refused with a reason and the
    // readers give their empty element.
    void missingDatabase()
    {
        WeightDb w(TwoRows);
        QVERIFY(w.db.isServer() ? w.db.exec("DROP TABLE weight")
                                : QFile::rename(w.db.path(), w.db.path() + ".gone"));
        WeightRecord rec = record("10|APP1|1");
        AuditError error;
        QVERIFY(!SaveWeight(rec, &error));
        QVERIFY(error.isError());
        QVERIFY(!DeleteWeight(rec, &error));
        QStringList errors;
        GetWeightErrors(errors);
        QCOMPARE(errors, QStringList{""});
    }
};

QTEST_GUILESS_MAIN(tst_WeightTable)
#include "tst_weighttable.moc"
