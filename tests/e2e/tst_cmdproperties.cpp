#include "CommandLine.h"
#include "ProgramRun.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

// Random command lines, built from the keyword table, run through the built
// program on a real database: every run ends with status 0, 1 or 2, an invalid
// line (2) leaves the database folder byte for byte as it was, and an
// unattended run ends by itself (a window or a hang would not). The seed is
// printed; AUDITLOG_PROPERTY_SEED repeats a run.
class tst_CmdProperties : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void randomLines();

private:
    QStringList randomArguments();
    QString pick(const QStringList& from) { return from.at(int(m_random.bounded(from.size()))); }
    QMap<QString, QByteArray> systemFolder() const;

    QTemporaryDir m_folder;
    QString m_root;
    QString m_work;
    QString m_template;
    QRandomGenerator m_random;
};

namespace {

// Wall time of the whole property run (AUDITLOG_PROPERTY_SECONDS for a longer
// one); the number of lines is what fits.
const int PropertyMs = qEnvironmentVariableIsSet("AUDITLOG_PROPERTY_SECONDS")
                           ? 1000 * qEnvironmentVariableIntValue("AUDITLOG_PROPERTY_SECONDS")
                           : 20000;

const QStringList Numbers = {"0",      "1",      "-1",         "7",          "32767",
                             "32768",  "-32768", "-32769",     "2147483647", "2147483648",
                             "-2147483649", "1e3", " 5 ",      "0x10",       "abc"};
const QStringList Dates = {"1/1/2026", "1\\31\\2026_08:00", "31/12/2025", "2026-02-29",
                           "13/13/2013", "x"};
const QStringList Texts = {"Level", "When", "AutoIndex", "Bob's report", "a \"quoted\" b",
                           "[Error] > 1", "1=1) OR (1=0", "x; DROP TABLE Audit", "Level --"};
const QStringList Addresses = {"ops@example.com", "a@b", "x"};

} // namespace

void tst_CmdProperties::initTestCase()
{
    QVERIFY(m_folder.isValid());
    const QByteArray seed = qgetenv("AUDITLOG_PROPERTY_SEED");
    const quint32 s = seed.isEmpty() ? QRandomGenerator::global()->generate() : seed.toUInt();
    m_random.seed(s);
    qInfo("seed %u", s);

    m_root = m_folder.filePath("root dir");
    m_work = m_folder.filePath("work");
    m_template = m_folder.filePath("template.mdb");
    QVERIFY(QDir().mkpath(m_root + "/SYSTEM") && QDir().mkpath(m_work + "/sub dir"));
    QCOMPARE(ProgramRun::makeDemo({"--seed", "1", m_template, "2000"}), 0);
}

QStringList tst_CmdProperties::randomArguments()
{
    QStringList arguments;
    const int count = int(m_random.bounded(1, 8));
    for (int i = 0; i < count; ++i) {
        QString keyword = pick(CommandLineKeywords());
        if (keyword == "DEBUG" || keyword == "PRINT")
            continue; // another root; the printer
        QString value;
        if (keyword == "UNDER" || keyword == "OVER" || keyword.endsWith("_OVER"))
            value = pick(Numbers);
        else if (keyword.startsWith("SPAN_"))
            value = pick(Dates);
        else if (keyword == "EMAIL")
            value = pick(Addresses);
        else if (keyword == "FILE")
            value = pick({m_work + "/out.txt", m_work + "/sub dir/r.txt", "rel.txt"});
        else if (keyword == "SYSTEM")
            value = pick({m_root, m_work});
        else if (keyword == "@FILE") {
            value = m_work + "/args.txt";
            ProgramRun::writeFile(value, QStringLiteral("/%1 /FILE \"%2/from-args.txt\"")
                                             .arg(pick({"STATUS", "ERROR", "OVER 3", "SORTBY1"}), m_work)
                                             .toUtf8());
        } else if (KeywordTakesValue(keyword))
            value = pick(Texts);

        if (m_random.bounded(2))
            keyword = keyword.toLower();
        // /FILE and /@FILE always get their value: a lone one would take the
        // next keyword as a file name at the root of the file system.
        const bool mayLack = !keyword.toUpper().endsWith("FILE");
        const int form = !KeywordTakesValue(keyword.toUpper()) ? 0
                         : mayLack                             ? int(m_random.bounded(4))
                                                               : 2 * int(m_random.bounded(2));
        if (form == 0 || form == 1) // a value as a separate argument, or none at all
            arguments << "/" + keyword << (form == 0 && !value.isEmpty() ? QStringList{value} : QStringList{});
        else if (form == 2) // one argument, the value quoted
            arguments << QStringLiteral("/%1 \"%2\"").arg(keyword, value);
        else
            arguments << QStringLiteral("/%1 %2").arg(keyword, value);
    }
    arguments.removeAll(QString());
    return arguments;
}

QMap<QString, QByteArray> tst_CmdProperties::systemFolder() const
{
    QMap<QString, QByteArray> files;
    QDirIterator it(m_root + "/SYSTEM", QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.insert(it.next(), QCryptographicHash::hash(ProgramRun::readFile(it.filePath()),
                                                         QCryptographicHash::Sha256));
    return files;
}

void tst_CmdProperties::randomLines()
{
    // Nothing listens on port 9: mail fails at once.
    const QProcessEnvironment env =
        ProgramRun::environment(m_folder.filePath("config"), {"ZLK_SMTP_URL=smtp://127.0.0.1:9"});
    const QString db = m_root + "/SYSTEM/Audit.mdb";
    QVERIFY(QFile::copy(m_template, db));
    QMap<QString, QByteArray> pristine = systemFolder();
    QMap<int, int> statuses;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < PropertyMs) {
        if (systemFolder() != pristine) {
            QDir(m_root + "/SYSTEM").removeRecursively();
            QDir().mkpath(m_root + "/SYSTEM");
            QVERIFY(QFile::copy(m_template, db));
            pristine = systemFolder();
        }
        const QStringList arguments =
            QStringList{"/UNATTENDED", "/SYSTEM", m_root} + randomArguments();
        const QString shown = "auditlog '" + arguments.join("' '") + "'";
        const int status = ProgramRun::of(QStringList{AUDITLOG_EXE} + arguments, env, m_work).status;
        // -1: it crashed, or did not end.
        QVERIFY2(status >= 0 && status <= 2, qPrintable(QString::number(status) + ": " + shown));
        if (status == 2)
            QVERIFY2(systemFolder() == pristine, qPrintable("invalid line touched the database: " + shown));
        ++statuses[status];
    }
    qInfo("%d lines: %d ended 0, %d ended 1, %d ended 2",
          statuses[0] + statuses[1] + statuses[2], statuses[0], statuses[1], statuses[2]);
}

QTEST_GUILESS_MAIN(tst_CmdProperties)
#include "tst_cmdproperties.moc"
