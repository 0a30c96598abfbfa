#include "AuditTestDb.h"
#include "ProgramRun.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// The demo-data tool: what it writes, and that it never destroys a file unasked.
class tst_MakeDemo : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_path = m_dir->filePath(QStringLiteral("Audit.mdb"));
    }

    void existingFile_data()
    {
        QTest::addColumn<QStringList>("flags");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("rows"); // -1: the rows are unchanged
        QTest::newRow("refused") << QStringList{} << 2 << -1;
        QTest::newRow("force replaces") << QStringList{"--force"} << 0 << 50;
        QTest::newRow("append adds") << QStringList{"--append"} << 0 << 150;
    }

    // A second run on the same file: the same seed gives the same rows; an
    // appended entry is never older than the newest one already there.
    void existingFile()
    {
        QFETCH(QStringList, flags);
        QFETCH(int, rows);
        const QStringList first = {m_path, "100", "--seed", "1", "--now", "2026-03-15T12:00:00"};
        const QString dump = "SELECT group_concat(AutoIndex || Level || Error || Description || "
                             "[When] || User || Details, '|') FROM Audit";
        QCOMPARE(ProgramRun::makeDemo(first), 0);
        // The only maker of audit files makes them in WAL mode, so that other
        // programs can append while the viewer reads.
        QCOMPARE(value("PRAGMA journal_mode").toString(), QStringLiteral("wal"));
        // The last 30 calendar days up to --now: the suites expect no purge at start.
        QVERIFY(value("SELECT MIN([When]) FROM Audit").toString() >= "2026-02-14 00:00:00");
        QVERIFY(value("SELECT MAX([When]) FROM Audit").toString() <= "2026-03-15 12:00:00");
        const QString rowsBefore = value(dump).toString();
        QCOMPARE(ProgramRun::makeDemo(first + QStringList{"--force"}), 0);
        QCOMPARE(value(dump).toString(), rowsBefore);
        // The new file was made under a name of its own and renamed into place.
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{"Audit.mdb"});

        QTEST(ProgramRun::makeDemo(
                  QStringList{m_path, "50", "--seed", "2", "--now", "2026-03-20T12:00:00"} + flags),
              "status");
        QCOMPARE(value(dump).toString() == rowsBefore, rows < 0);
        QCOMPARE(value("SELECT COUNT(*) FROM Audit").toInt(), rows < 0 ? 100 : rows);
        QCOMPARE(value(OutOfOrder).toInt(), 0);
    }

    void badArguments_data()
    {
        QTest::addColumn<QStringList>("arguments"); // %DB: the database path
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        QTest::newRow("no path") << QStringList{} << 2 << "usage: makedemo {PATH";
        QTest::newRow("force and append") << QStringList{"%DB", "--force", "--append"} << 2
                                          << "--append";
        QTest::newRow("folder missing") << QStringList{"%DB/none/Audit.mdb"} << 1
                                        << "/none does not exist";
        QTest::newRow("no days") << QStringList{"%DB", "--days", "0"} << 2 << "days";
    }

    void badArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, says);
        const ProgramRun run =
            ProgramRun::of(QStringList{QStringLiteral(MAKEDEMO_EXE)} +
                               arguments.replaceInStrings("%DB", m_path),
                           QProcessEnvironment::systemEnvironment(), m_dir->path());
        QTEST(run.status, "status");
        QVERIFY2(run.errLines.join('\n').contains(says), qPrintable(run.errLines.join('\n')));
        QVERIFY(!QFile::exists(m_path));
    }

private:
    static constexpr const char* OutOfOrder =
        "SELECT COUNT(*) FROM Audit a JOIN Audit b ON b.AutoIndex = a.AutoIndex + 1 "
        "WHERE b.[When] < a.[When]";

    QVariant value(const QString& sql) const { return AuditTestDb::values(m_path, sql).value(0); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

QTEST_GUILESS_MAIN(tst_MakeDemo)
#include "tst_makedemo.moc"
