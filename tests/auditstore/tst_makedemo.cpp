#include "AuditDatabase.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>

// The demo-data tool: what it writes, and that it never destroys a file unasked.
class tst_MakeDemo : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void realisticEntries();
    void sameSeedSameRows();
    void existingFile_data();
    void existingFile();
    void badArguments_data();
    void badArguments();

private:
    int makedemo(const QStringList& arguments);
    QVariant value(const QString& sql) const;
    QString dump() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

namespace {
const QString Now = QStringLiteral("2026-03-15T12:00:00");

QByteArray fileHash(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1);
}
} // namespace

void tst_MakeDemo::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_path = m_dir->filePath(QStringLiteral("Audit.mdb"));
}

int tst_MakeDemo::makedemo(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral(MAKEDEMO_EXE), arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

QVariant tst_MakeDemo::value(const QString& sql) const
{
    QVariant result;
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(m_path);
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(sql) && query.next())
                result = query.value(0);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

QString tst_MakeDemo::dump() const
{
    return value(QStringLiteral(
                     "SELECT group_concat(AutoIndex || '|' || Level || '|' || Error || '|' || "
                     "Description || '|' || Application || '|' || [When] || '|' || User || '|' || "
                     "Details || '|' || Path || '|' || Unattended || '|' || Response || '|' || "
                     "TaskList, char(10)) FROM Audit"))
        .toString();
}

void tst_MakeDemo::realisticEntries()
{
    QCOMPARE(makedemo({m_path, "10000", "--seed", "5", "--now", Now}), 0);
    QCOMPARE(value("SELECT COUNT(*) FROM Audit").toInt(), 10000);

    // The program opens it as it is.
    AuditError error;
    QSqlDatabase db = AuditDatabase::openConnection(AuditDatabase::connectionStringFor(m_path),
                                                    QStringLiteral("check"), &error);
    QVERIFY2(db.isOpen(), qPrintable(error.description));
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("check"));

    // Every level, and a few of the unknown level 4.
    for (int level = 0; level <= 3; ++level)
        QVERIFY(value(QStringLiteral("SELECT COUNT(*) FROM Audit WHERE Level = %1").arg(level))
                    .toInt() > 10);
    const int unknown = value("SELECT COUNT(*) FROM Audit WHERE Level = 4").toInt();
    QVERIFY(unknown > 0 && unknown < 100);
    QCOMPARE(value("SELECT COUNT(*) FROM Audit WHERE Level = 0 AND Error <> 0").toInt(), 0);
    QCOMPARE(value("SELECT COUNT(*) FROM Audit WHERE Level > 0 AND Error = 0").toInt(), 0);

    // The last 120 days, in insertion order.
    QVERIFY(value("SELECT MIN([When]) FROM Audit").toString() >=
            QStringLiteral("2025-11-15 12:00:00"));
    QVERIFY(value("SELECT MAX([When]) FROM Audit").toString() <=
            QStringLiteral("2026-03-15 12:00:00"));
    QVERIFY(value("SELECT MAX([When]) FROM Audit").toString() >= QStringLiteral("2026-03-14"));
    QCOMPARE(value("SELECT COUNT(*) FROM Audit a JOIN Audit b ON b.AutoIndex = a.AutoIndex + 1 "
                   "WHERE b.[When] < a.[When]")
                 .toInt(),
             0);

    // Several programs and users, the optional texts sometimes filled.
    QVERIFY(value("SELECT COUNT(DISTINCT Application) FROM Audit").toInt() >= 5);
    QVERIFY(value("SELECT COUNT(DISTINCT User) FROM Audit").toInt() >= 5);
    QVERIFY(value("SELECT COUNT(*) FROM Audit WHERE instr(Details, char(10)) > 0").toInt() ==
            10000);
    QVERIFY(value("SELECT COUNT(*) FROM Audit WHERE instr(Description, char(10)) > 0").toInt() ==
            0);
    QVERIFY(value("SELECT COUNT(*) FROM Audit WHERE Path LIKE '/srv/edi/%'").toInt() == 10000);
    const int unattended = value("SELECT SUM(Unattended) FROM Audit").toInt();
    QVERIFY(unattended > 1000 && unattended < 9000);
    QVERIFY(value("SELECT COUNT(*) FROM Audit WHERE Response <> ''").toInt() > 100);
    QVERIFY(value("SELECT COUNT(*) FROM Audit WHERE TaskList <> ''").toInt() > 100);
    QVERIFY(value("SELECT COUNT(*) FROM weight").toInt() > 0);
    QCOMPARE(value("PRAGMA journal_mode").toString(), QStringLiteral("wal"));
}

void tst_MakeDemo::sameSeedSameRows()
{
    QCOMPARE(makedemo({m_path, "300", "--seed", "42", "--now", Now}), 0);
    const QString first = dump();
    QCOMPARE(makedemo({m_path, "300", "--seed", "42", "--now", Now, "--force"}), 0);
    QCOMPARE(dump(), first);
    QCOMPARE(makedemo({m_path, "300", "--seed", "43", "--now", Now, "--force"}), 0);
    QVERIFY(dump() != first);
}

void tst_MakeDemo::existingFile_data()
{
    QTest::addColumn<QStringList>("flags");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("rows"); // -1: the file is unchanged

    QTest::newRow("refused") << QStringList{} << 2 << -1;
    QTest::newRow("force replaces") << QStringList{"--force"} << 0 << 50;
    QTest::newRow("append adds") << QStringList{"--append"} << 0 << 150;
}

void tst_MakeDemo::existingFile()
{
    QFETCH(QStringList, flags);
    QFETCH(int, status);
    QFETCH(int, rows);

    QCOMPARE(makedemo({m_path, "100", "--seed", "1", "--now", Now}), 0);
    const QByteArray before = fileHash(m_path);
    const QString newest = value("SELECT MAX([When]) FROM Audit").toString();

    QCOMPARE(
        makedemo(QStringList{m_path, "50", "--seed", "2", "--now", "2026-03-20T12:00:00"} + flags),
        status);
    if (rows < 0) {
        QCOMPARE(fileHash(m_path), before);
        return;
    }
    QCOMPARE(value("SELECT COUNT(*) FROM Audit").toInt(), rows);
    QCOMPARE(value("SELECT COUNT(*) FROM Audit a JOIN Audit b ON b.AutoIndex = a.AutoIndex + 1 "
                   "WHERE b.[When] < a.[When]")
                 .toInt(),
             0);
    if (flags.contains(QStringLiteral("--append"))) {
        // The appended entries come after the newest one already there.
        QCOMPARE(
            value("SELECT COUNT(*) FROM Audit WHERE AutoIndex > 100 AND [When] < '" + newest + "'")
                .toInt(),
            0);
    }
}

void tst_MakeDemo::badArguments_data()
{
    QTest::addColumn<QStringList>("arguments"); // %DB: the database path
    QTest::addColumn<int>("status");

    QTest::newRow("no path") << QStringList{} << 2;
    QTest::newRow("rows not a number") << QStringList{"%DB", "12x"} << 2;
    QTest::newRow("negative rows") << QStringList{"%DB", "-5"} << 2;
    QTest::newRow("force and append") << QStringList{"%DB", "--force", "--append"} << 2;
    QTest::newRow("bad time") << QStringList{"%DB", "--now", "yesterday"} << 2;
    QTest::newRow("folder missing") << QStringList{"%DB/none/Audit.mdb"} << 1;
}

void tst_MakeDemo::badArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);

    arguments.replaceInStrings(QStringLiteral("%DB"), m_path);
    QCOMPARE(makedemo(arguments), status);
    QVERIFY(!QFile::exists(m_path));
}

QTEST_GUILESS_MAIN(tst_MakeDemo)
#include "tst_makedemo.moc"
