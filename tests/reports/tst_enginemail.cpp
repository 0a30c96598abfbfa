#include "AppState.h"
#include "ReportMailer.h"
#include "SmtpTestServer.h"
#include "TestEnvironment.h"
#include "ZlkApi.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

// The mail branch against a real SMTP server: which way a report file of a
// given size travels, exactly at the thresholds. (Its failures are tested
// with whole report runs in tst_enginerun.)
class tst_EngineMail : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void thresholds_data();
    void thresholds();
    void emptyHtmlReport();

private:
    QString writeReport(const QString& name, qint64 size);
    qint64 archiveSizeOf(const QString& file);

    std::unique_ptr<SmtpTestServer> m_server;
    std::unique_ptr<TestEnvironment> m_env;
};

void tst_EngineMail::initTestCase()
{
    m_server = std::make_unique<SmtpTestServer>();
    QVERIFY2(m_server->isRunning(), qPrintable(m_server->errorString()));
    m_server->installAsMailServer();
}

void tst_EngineMail::init()
{
    m_env = std::make_unique<TestEnvironment>();
    QVERIFY(m_env->isValid());
    Zlk::setSystemFolder(m_env->path());
}

// A text file of exactly size bytes: numbered lines, no blanks at either end.
QString tst_EngineMail::writeReport(const QString& name, qint64 size)
{
    QByteArray data;
    for (int line = 1; data.size() < size; ++line)
        data += "Audit entry " + QByteArray::number(line) + " - Warning 1201 in Translator\n";
    data.truncate(size);
    if (data.endsWith('\n'))
        data[data.size() - 1] = 'x';
    const QString path = m_env->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != size)
        return QString();
    return path;
}

// The size of the archive the library makes of a file of that name and content.
qint64 tst_EngineMail::archiveSizeOf(const QString& file)
{
    QDir(m_env->path()).mkpath(QStringLiteral("probe"));
    const QString copy = m_env->filePath(QStringLiteral("probe/") + QFileInfo(file).fileName());
    QFile::copy(file, copy);
    QString error;
    const QString archive = m_env->filePath(QStringLiteral("probe/probe.zip"));
    if (!Zlk::zipFile(copy, archive, error))
        return -1;
    return QFileInfo(archive).size();
}

void tst_EngineMail::thresholds_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("attachAt");
    QTest::addColumn<int>("zipAt");
    QTest::addColumn<int>("abortAt"); // -1: exactly the archive's size
    QTest::addColumn<QString>("expected");

    QTest::newRow("999 bytes inline") << qint64(999) << 1000 << 100000 << 500000 << "inline";
    QTest::newRow("1000 bytes attached") << qint64(1000) << 1000 << 100000 << 500000 << "attached";
    QTest::newRow("99999 bytes attached")
        << qint64(99999) << 1000 << 100000 << 500000 << "attached";
    QTest::newRow("100000 bytes zipped") << qint64(100000) << 1000 << 100000 << 500000 << "zipped";
    QTest::newRow("attachment of exactly the abort size")
        << qint64(5000) << 1000 << 100000 << 5000 << "attached";
    QTest::newRow("attachment one byte over")
        << qint64(5001) << 1000 << 100000 << 5000 << "aborted";
    QTest::newRow("archive of exactly the abort size")
        << qint64(200000) << 1000 << 100000 << -1 << "zipped";
    QTest::newRow("archive over the abort size")
        << qint64(200000) << 1000 << 100000 << 100 << "aborted";
    QTest::newRow("zip threshold below attach threshold")
        << qint64(300) << 1000 << 300 << 500000 << "zipped";
}

void tst_EngineMail::thresholds()
{
    QFETCH(qint64, size);
    QFETCH(int, attachAt);
    QFETCH(int, zipAt);
    QFETCH(int, abortAt);
    QFETCH(QString, expected);

    const QString report = writeReport(QStringLiteral("AuditRpt.txt"), size);
    QVERIFY(!report.isEmpty());
    QFile file(report);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    file.close();
    if (abortAt < 0)
        abortAt = int(archiveSizeOf(report));
    QVERIFY(abortAt > 0);

    const QString archive = m_env->filePath(QStringLiteral("AuditRpt.zip"));
    const int before = m_server->messages().size();
    ReportMailer mailer(QStringLiteral("ops@example.org"), QStringLiteral("Velmora Audit Report"),
                        attachAt, zipAt, abortAt);
    QCOMPARE(mailer.send(report, archive, false), ReportMailer::Outcome::Sent);
    QVERIFY(!QFile::exists(report));
    QVERIFY(!QFile::exists(archive));

    const auto messages = m_server->messages();
    QCOMPARE(messages.size(), before + 1);
    const SmtpTestServer::Message& m = messages.last();
    QVERIFY2(m.from.startsWith(QStringLiteral("Velmora Audit Log <")), qPrintable(m.from));
    QCOMPARE(m.envelopeTo, QStringList{QStringLiteral("ops@example.org")});
    QCOMPARE(m.subject, QStringLiteral("Velmora Audit Report"));

    if (expected == QLatin1String("inline")) {
        QVERIFY(m.attachments.isEmpty());
        QCOMPARE(m.body.trimmed().replace("\r\n", "\n"), QString::fromUtf8(content));
    } else if (expected == QLatin1String("aborted")) {
        QVERIFY(m.attachments.isEmpty());
        QCOMPARE(m.body.trimmed(), QStringLiteral("Attachment aborted as it exceeded size limit"));
    } else if (expected == QLatin1String("attached")) {
        QCOMPARE(m.attachments.size(), 1);
        QVERIFY(m.body.trimmed().isEmpty());
        QCOMPARE(m.attachments.first().fileName, QStringLiteral("AuditRpt.txt"));
        QCOMPARE(m.attachments.first().data, content);
    } else {
        QCOMPARE(m.attachments.size(), 1);
        QVERIFY(m.body.trimmed().isEmpty());
        const SmtpTestServer::Attachment& zip = m.attachments.first();
        QCOMPARE(zip.fileName, QStringLiteral("AuditRpt.zip"));
        QVERIFY(zip.data.size() <= abortAt);
        // The archive that arrived is sound and holds the report unchanged.
        const QString received = m_env->filePath(QStringLiteral("received.zip"));
        QFile out(received);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(zip.data);
        out.close();
        QProcess unzip;
        unzip.start(QStringLiteral("unzip"), {QStringLiteral("-t"), received});
        QVERIFY(unzip.waitForFinished());
        QCOMPARE(unzip.exitCode(), 0);
        unzip.start(QStringLiteral("unzip"),
                    {QStringLiteral("-p"), received, QStringLiteral("AuditRpt.txt")});
        QVERIFY(unzip.waitForFinished());
        QCOMPARE(unzip.readAllStandardOutput(), content);
    }
}

void tst_EngineMail::emptyHtmlReport()
{
    // A rendered report without rows is not an empty file, yet nothing is sent.
    const QString report = m_env->filePath(QStringLiteral("AuditRpt.html"));
    QFile file(report);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<!DOCTYPE html><html><body><h1>Audit Report</h1><table></table></body></html>\n");
    file.close();

    const int before = m_server->messages().size();
    ReportMailer mailer(QStringLiteral("ops@example.org"), QStringLiteral("s"), 1000, 100000,
                        500000);
    QCOMPARE(mailer.send(report, m_env->filePath(QStringLiteral("AuditRpt.zip")), true),
             ReportMailer::Outcome::NothingToReport);
    QCOMPARE(m_server->messages().size(), before);
    QVERIFY(!QFile::exists(report));

    // An empty text file is nothing to report either.
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QCOMPARE(mailer.send(report, m_env->filePath(QStringLiteral("AuditRpt.zip")), false),
             ReportMailer::Outcome::NothingToReport);
    QCOMPARE(m_server->messages().size(), before);
}

QTEST_GUILESS_MAIN(tst_EngineMail)
#include "tst_enginemail.moc"
