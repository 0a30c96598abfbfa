#include "OutputPatches.h"
#include "ProgramRun.h"
#include "ReportMailer.h"
#include "SmtpTestServer.h"
#include "TestEnvironment.h"
#include "ZlkApi.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QtTest>

namespace {

// One replacement: the render's [at, at + length) becomes bytes.
class OnePatch : public OutputPatches
{
public:
    OnePatch(qint64 at, qint64 length, const QByteArray& bytes)
        : m_at(at), m_length(length), m_bytes(bytes)
    {
    }
    bool nextPatch(qint64* offset, qint64* length, QByteArray* bytes) override
    {
        if (m_given)
            return false;
        m_given = true;
        *offset = m_at;
        *length = m_length;
        *bytes = m_bytes;
        return true;
    }
    AuditError patchError() const override { return {}; }
    bool rewindPatches() override
    {
        m_given = false;
        return true;
    }

private:
    qint64 m_at, m_length;
    QByteArray m_bytes;
    bool m_given = false;
};

// A render whose reading fails from failAt on, after its length was taken.
class FailingRender : public QBuffer
{
public:
    FailingRender(const QByteArray& bytes, qint64 failAt) : m_failAt(failAt)
    {
        setData(bytes);
        open(QIODevice::ReadOnly);
    }

protected:
    qint64 readData(char* data, qint64 size) override
    {
        return pos() >= m_failAt ? -1 : QBuffer::readData(data, std::min(size, m_failAt - pos()));
    }

private:
    qint64 m_failAt;
};

} // namespace

// The mail branch against a real SMTP server: which way a report of a given
// size travels, exactly at the thresholds, from a file and from a finished
// render. (Its failures are tested with whole report runs in tst_enginerun.)
class tst_EngineMail : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(m_server.isRunning(), qPrintable(m_server.errorString()));
        m_server.installAsMailServer();
    }
    void thresholds_data();
    void thresholds();
    void readFailureWhileZipping();

private:
    SmtpTestServer m_server;
};

void tst_EngineMail::thresholds_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("attachAt");
    QTest::addColumn<int>("zipAt");
    QTest::addColumn<int>("abortAt"); // -1: exactly the archive's size
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("fromRender");
    auto row = [](const char* name, int size, int attachAt, int zipAt, int abortAt,
                  const QString& expected) {
        for (const bool fromRender : {false, true})
            QTest::addRow("%s, from %s", name, fromRender ? "a render" : "a file")
                << size << attachAt << zipAt << abortAt << expected << fromRender;
    };
    row("999 bytes inline", 999, 1000, 100000, 500000, "inline");
    row("1000 bytes attached", 1000, 1000, 100000, 500000, "attached");
    row("99999 bytes attached", 99999, 1000, 100000, 500000, "attached");
    row("100000 bytes zipped", 100000, 1000, 100000, 500000, "zipped");
    row("attachment of exactly the abort size", 5000, 1000, 100000, 5000, "attached");
    row("attachment one byte over", 5001, 1000, 100000, 5000, "aborted");
    row("archive of exactly the abort size", 200000, 1000, 100000, -1, "zipped");
    row("archive over the abort size", 200000, 1000, 100000, 100, "aborted");
    row("zip threshold below attach threshold", 300, 1000, 300, 500000, "zipped");
}

void tst_EngineMail::thresholds()
{
    QFETCH(int, size);
    QFETCH(int, attachAt);
    QFETCH(int, zipAt);
    QFETCH(int, abortAt);
    QFETCH(QString, expected);
    QFETCH(bool, fromRender);
    m_server.clearMessages();
    TestEnvironment env;
    Zlk::setSystemFolder(env.path());

    // Numbered lines of exactly size bytes, with no blank at either end.
    QByteArray content;
    for (int line = 1; content.size() < size; ++line)
        content += "Audit entry " + QByteArray::number(line) + " - Warning 1201 in Translator\n";
    content.truncate(size);
    content.back() = 'x';
    const QString report = env.filePath(QStringLiteral("AuditRpt.txt"));
    const QString archive = env.filePath(QStringLiteral("AuditRpt.zip"));
    QVERIFY(ProgramRun::writeFile(report, content));
    if (abortAt < 0) { // the size of the archive the library makes of it
        QString error;
        QVERIFY(QDir(env.path()).mkdir("probe") && QFile::copy(report, env.filePath("probe/AuditRpt.txt")));
        QVERIFY(Zlk::zipFile(env.filePath("probe/AuditRpt.txt"), env.filePath("probe.zip"), error));
        abortAt = int(QFileInfo(env.filePath("probe.zip")).size());
    }

    // From a render: a stand-in of one byte that the patch makes five again.
    // Zipped on the way where no archive can exceed the abort size.
    QByteArray rendered = content;
    rendered.replace(10, 5, "#");
    QBuffer render(&rendered);
    QVERIFY(render.open(QIODevice::ReadOnly));
    OnePatch patch(10, 1, content.mid(10, 5));
    ReportMailer mailer(QStringLiteral("ops@example.org"), QStringLiteral("Velmora Audit Report"),
                        attachAt, zipAt, abortAt);
    QCOMPARE(mailer.zipsWhileSending(size, report, false),
             expected == "zipped" && abortAt == 500000);
    QCOMPARE(fromRender ? mailer.send(render, patch, report, archive, false)
                        : mailer.send(report, archive, false),
             ReportMailer::Outcome::Sent);
    QVERIFY(!QFile::exists(report));
    QVERIFY(!QFile::exists(archive));

    QCOMPARE(m_server.messages().size(), 1);
    const SmtpTestServer::Message m = m_server.messages().first();
    QVERIFY2(m.from.startsWith(QStringLiteral("Velmora Audit Log <")), qPrintable(m.from));
    QCOMPARE(m.envelopeTo, QStringList{QStringLiteral("ops@example.org")});
    QCOMPARE(m.subject, QStringLiteral("Velmora Audit Report"));
    QCOMPARE(m.body.trimmed(), expected == "inline"    ? QString::fromUtf8(content)
                               : expected == "aborted" ? "Attachment aborted as it exceeded size limit"
                                                       : QString());
    QCOMPARE(m.attachments.size(), expected == "attached" || expected == "zipped" ? 1 : 0);
    if (expected == "attached") {
        QCOMPARE(m.attachments.first().fileName, QStringLiteral("AuditRpt.txt"));
        QCOMPARE(m.attachments.first().data, content);
    } else if (expected == "zipped") {
        // The archive that arrived is sound and holds the report unchanged.
        QCOMPARE(m.attachments.first().fileName, QStringLiteral("AuditRpt.zip"));
        QVERIFY(m.attachments.first().data.size() <= abortAt);
        const QString received = env.filePath(QStringLiteral("received.zip"));
        QVERIFY(ProgramRun::writeFile(received, m.attachments.first().data));
        const ProgramRun unzip = ProgramRun::of({"unzip", "-p", received, "AuditRpt.txt"},
                                                QProcessEnvironment::systemEnvironment(), env.path());
        QCOMPARE(unzip.status, 0);
        QCOMPARE(unzip.out, content);
    }
}

// A render that cannot be read to its end while its archive is on its way:
// the transfer ends before the message is complete, and nothing arrives.
void tst_EngineMail::readFailureWhileZipping()
{
    m_server.clearMessages();
    TestEnvironment env;
    Zlk::setSystemFolder(env.path());
    QByteArray content;
    for (int line = 1; content.size() < 6000000; ++line)
        content += "Audit entry " + QByteArray::number(line) + " - Error 1026 in Translator\n";
    FailingRender render(content, 5000000);
    OnePatch none(0, 0, {});
    const QString report = env.filePath(QStringLiteral("AuditRpt.txt"));
    ReportMailer mailer(QStringLiteral("ops@example.org"), QStringLiteral("s"), 1000, 100000,
                        500000000);
    QCOMPARE(mailer.send(render, none, report, env.filePath(QStringLiteral("AuditRpt.zip")), false),
             ReportMailer::Outcome::ZipFailed);
    QVERIFY2(mailer.failureText().startsWith(QStringLiteral("Zip failed returning: ")),
             qPrintable(mailer.failureText()));
    QVERIFY(!QFile::exists(report));
    // A message sent after it is the only one the server has.
    QVERIFY(Zlk::sendEmail(QStringLiteral("x"), QStringLiteral("ops@example.org"),
                           QStringLiteral("after"), QStringLiteral("b"), QString()));
    QCOMPARE(m_server.messages().size(), 1);
    QCOMPARE(m_server.messages().first().subject, QStringLiteral("after"));
}

QTEST_GUILESS_MAIN(tst_EngineMail)
#include "tst_enginemail.moc"
