// Mail submission of zlk against a real SMTP server on loopback.
#include "SmtpTestServer.h"
#include "ZlkApi.h"
#include "zlk.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString Sender = QStringLiteral("Velmora Audit Log");
const QString Recipient = QStringLiteral("ops@example.com");

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Lines of the raw message longer than the 78 characters RFC 5322 asks for.
QList<QByteArray> longLines(const QByteArray& raw)
{
    QList<QByteArray> result;
    for (const QByteArray& line : raw.split('\n'))
        if (line.size() > 79) // with its CR
            result << line;
    return result;
}

} // namespace

class tst_ZlkMail : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void inlineText();
    void body_data();
    void body();
    void subject_data();
    void subject();
    void attachment_data();
    void attachment();
    void zippedReportArrivesIntact();
    void severalRecipients();
    void settingsFromIniFile();
    void authentication();
    void tls_data();
    void tls();
    void failures_data();
    void failures();
    void deadServerTimesOut();

private:
    QString filePath(const QString& name) const { return m_dir->filePath(name); }
    void setMail(const QString& key, const QString& value)
    {
        QVERIFY(Zlk::setNotificationString(QStringLiteral("Mail"), key, value));
    }

    std::unique_ptr<SmtpTestServer> m_server;
    QString m_closedUrl;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_ZlkMail::initTestCase()
{
    // One server for the tests that need no special behaviour.
    SmtpTestServer::Options options;
    options.rejectRecipients << "nobody@example.com";
    m_server = std::make_unique<SmtpTestServer>(options);
    QVERIFY2(m_server->isRunning(), qPrintable(m_server->errorString()));
    {
        SmtpTestServer stopped; // its port is free again once it is gone
        QVERIFY2(stopped.isRunning(), qPrintable(stopped.errorString()));
        m_closedUrl = stopped.url();
    }
}

void tst_ZlkMail::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    Zlk::setSystemFolder(m_dir->path());
    setMail(QStringLiteral("FromAddress"), QStringLiteral("auditlog@velmora.test"));
    m_server->clearMessages();
    qputenv("ZLK_SMTP_URL", m_server->url().toUtf8());
}

void tst_ZlkMail::cleanup()
{
    qunsetenv("ZLK_SMTP_URL");
}

void tst_ZlkMail::inlineText()
{

    QString error;
    QVERIFY2(Zlk::sendEmail(Sender, Recipient, "Velmora Audit Detail Report",
                            "Audit Detail Report\nrow 1\n", QString(), &error),
             qPrintable(error));
    QCOMPARE(error, QString());

    const auto messages = m_server->messages();
    QCOMPARE(messages.size(), 1);
    const SmtpTestServer::Message& m = messages.first();
    QCOMPARE(m.envelopeFrom, "auditlog@velmora.test");
    QCOMPARE(m.envelopeTo, QStringList{Recipient});
    QCOMPARE(m.from, "Velmora Audit Log <auditlog@velmora.test>");
    QCOMPARE(m.to, Recipient);
    QCOMPARE(m.subject, "Velmora Audit Detail Report");
    QCOMPARE(m.mimeVersion, "1.0");
    QVERIFY(!m.date.isEmpty());
    QVERIFY(m.messageId.endsWith("@velmora.test>"));
    QCOMPARE(m.contentType, "text/plain");
    QCOMPARE(m.body, "Audit Detail Report\nrow 1\n");
    QVERIFY(m.attachments.isEmpty());
    QCOMPARE(m.defects, QStringList());
}

void tst_ZlkMail::body_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("type");

    QTest::newRow("HTML report") << "<html><body><table><tr class=\"report-row\"><td>x</td></tr>"
                                    "</table></body></html>\n"
                                 << "text/html";
    QTest::newRow("HTML after blanks") << "\n  <p>x</p>"
                                       << "text/html";
    QTest::newRow("text that mentions <tags>") << "a <b>\n"
                                               << "text/plain";
    QTest::newRow("long line, = signs, trailing blanks")
        << QString("Details=").repeated(200) + "  \nnext line\t\n"
        << "text/plain";
    QTest::newRow("UTF-8 and CRLF") << "Größe: 5 ✓\r\nZeile 2\r\n"
                                    << "text/plain";
    QTest::newRow("dot lines") << ".\n..\n.x\n"
                               << "text/plain";
    QTest::newRow("empty") << ""
                           << "text/plain";
}

void tst_ZlkMail::body()
{
    QFETCH(QString, body);
    QFETCH(QString, type);

    QString error;
    QVERIFY2(Zlk::sendEmail(Sender, Recipient, "s", body, QString(), &error), qPrintable(error));
    const auto messages = m_server->messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].bodyType, type);
    QCOMPARE(messages[0].bodyCharset, "utf-8");
    QString expected = body;
    expected.replace("\r\n", "\n");
    QCOMPARE(messages[0].body, expected);
    QCOMPARE(longLines(messages[0].raw), QList<QByteArray>());
}

void tst_ZlkMail::subject_data()
{
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("expected");

    QTest::newRow("ASCII") << "Velmora Audit Log Summary"
                           << "Velmora Audit Log Summary";
    QTest::newRow("UTF-8") << "Prüfbericht – Fehler ✓"
                           << "Prüfbericht – Fehler ✓";
    QTest::newRow("long UTF-8") << QString("Überwachung ").repeated(20).trimmed()
                                << QString("Überwachung ").repeated(20).trimmed();
    QTest::newRow("looks encoded") << "=?UTF-8?B?eA==?="
                                   << "=?UTF-8?B?eA==?=";
    // A line break must not start a header of its own.
    QTest::newRow("header injection") << "Report\r\nBcc: thief@example.com"
                                      << "Report  Bcc: thief@example.com";
    QTest::newRow("empty") << ""
                           << "";
}

void tst_ZlkMail::subject()
{
    QFETCH(QString, subject);
    QFETCH(QString, expected);

    QString error;
    QVERIFY2(Zlk::sendEmail(Sender, Recipient, subject, "body", QString(), &error),
             qPrintable(error));
    const auto messages = m_server->messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].subject, expected);
    QCOMPARE(messages[0].envelopeTo, QStringList{Recipient});
    QVERIFY(!messages[0].raw.contains("\nBcc:"));
    QCOMPARE(longLines(messages[0].raw), QList<QByteArray>());
}

void tst_ZlkMail::attachment_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("contentType");

    QTest::newRow("text report, no body")
        << "AuditRpt.txt" << QByteArray("Audit Report\n").repeated(200) << ""
        << "text/plain";
    QTest::newRow("HTML report") << "AuditRpt.html" << QByteArray("<p class=\"report-row\">x</p>")
                                 << ""
                                 << "text/html";
    QTest::newRow("with a body") << "notes.log" << QByteArray("x") << "see attachment"
                                 << "text/plain";
    QTest::newRow("unknown type, UTF-8 name") << "Prüf.dat" << QByteArray("\x00\x01\x02", 3) << ""
                                              << "application/octet-stream";
    QTest::newRow("empty file") << "empty.txt" << QByteArray() << ""
                                << "text/plain";
}

void tst_ZlkMail::attachment()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, body);
    QFETCH(QString, contentType);
    writeFile(filePath(name), content);

    QString error;
    QVERIFY2(
        Zlk::sendEmail(Sender, Recipient, "Velmora Audit Report", body, filePath(name), &error),
        qPrintable(error));
    const auto messages = m_server->messages();
    QCOMPARE(messages.size(), 1);
    const SmtpTestServer::Message& m = messages.first();
    QCOMPARE(m.contentType, "multipart/mixed");
    QCOMPARE(m.body, body);
    QCOMPARE(m.attachments.size(), 1);
    QCOMPARE(m.attachments[0].fileName, name);
    QCOMPARE(m.attachments[0].contentType, contentType);
    QCOMPARE(m.attachments[0].transferEncoding, "base64");
    QCOMPARE(m.attachments[0].data, content);
    QCOMPARE(m.defects, QStringList());
}

void tst_ZlkMail::zippedReportArrivesIntact()
{
    // What the report engine mails for a large report: the compressed file.
    QByteArray report;
    QRandomGenerator generator(7);
    for (int i = 0; i < 20000; ++i)
        report += "row " + QByteArray::number(generator.generate()) + "\n";
    writeFile(filePath("AuditDetailRpt.txt"), report);
    QString error;
    QVERIFY2(Zlk::zipFile(filePath("AuditDetailRpt.txt"), filePath("AuditDetailRpt.zip"), error),
             qPrintable(error));
    QFile archive(filePath("AuditDetailRpt.zip"));
    QVERIFY(archive.open(QIODevice::ReadOnly));
    const QByteArray zipped = archive.readAll();

    QVERIFY2(Zlk::sendEmail(Sender, Recipient, "Velmora Audit Detail Report", QString(),
                            filePath("AuditDetailRpt.zip"), &error),
             qPrintable(error));
    const auto messages = m_server->messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].attachments.size(), 1);
    QCOMPARE(messages[0].attachments[0].fileName, "AuditDetailRpt.zip");
    QCOMPARE(messages[0].attachments[0].contentType, "application/zip");
    QCOMPARE(messages[0].attachments[0].data, zipped);
    QCOMPARE(longLines(messages[0].raw), QList<QByteArray>());
}

void tst_ZlkMail::severalRecipients()
{
    QString error;
    QVERIFY2(
        Zlk::sendEmail(Sender, " a@example.com; Ops <b@example.org>,", "s", "b", QString(), &error),
        qPrintable(error));
    const auto messages = m_server->messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].envelopeTo, (QStringList{"a@example.com", "b@example.org"}));
    QCOMPARE(messages[0].to, "a@example.com, b@example.org");
}

void tst_ZlkMail::settingsFromIniFile()
{
    qunsetenv("ZLK_SMTP_URL");
    setMail("Server", "127.0.0.1");
    setMail("Port", QString::number(m_server->port()));
    setMail("Security", "none");
    setMail("FromAddress", "reports@velmora.test");

    QString error;
    QVERIFY2(Zlk::sendEmail(Sender, Recipient, "s", "b", QString(), &error), qPrintable(error));
    const auto messages = m_server->messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].envelopeFrom, "reports@velmora.test");
}

void tst_ZlkMail::authentication()
{
    SmtpTestServer::Options options;
    options.user = "audit";
    options.password = "s3cret";
    SmtpTestServer server(options);
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    server.installAsMailServer();
    setMail("User", "audit");

    QString error;
    setMail("Password", "wrong");
    QVERIFY(!Zlk::sendEmail(Sender, Recipient, "s", "b", QString(), &error));
    QVERIFY2(error.contains("authentication failed"), qPrintable(error));
    QCOMPARE(server.messages().size(), 0);

    setMail("Password", "s3cret");
    QVERIFY2(Zlk::sendEmail(Sender, Recipient, "s", "b", QString(), &error), qPrintable(error));
    QCOMPARE(server.messages().size(), 1);
}

void tst_ZlkMail::tls_data()
{
    using Tls = SmtpTestServer::Options::Tls;
    QTest::addColumn<Tls>("serverTls");
    QTest::addColumn<QString>("security"); // [Mail] Security; "url": ZLK_SMTP_URL instead
    QTest::addColumn<QString>("verify");   // [Mail] VerifyCertificate
    QTest::addColumn<QString>("reason");   // empty: the message must arrive

    QTest::newRow("STARTTLS") << Tls::StartTls << "starttls"
                              << "no"
                              << "";
    QTest::newRow("implicit TLS by [Mail]") << Tls::Implicit << "tls"
                                            << "no"
                                            << "";
    QTest::newRow("implicit TLS by smtps:// URL") << Tls::Implicit << "url"
                                                  << "no"
                                                  << "";
    QTest::newRow("self-signed certificate refused") << Tls::StartTls << "starttls"
                                                     << "yes"
                                                     << "TLS";
    QTest::newRow("STARTTLS required, not offered") << Tls::None << "starttls"
                                                    << "no"
                                                    << "does not offer STARTTLS";
    QTest::newRow("server requires STARTTLS, none asked") << Tls::StartTls << "none"
                                                          << "no"
                                                          << "STARTTLS";
}

void tst_ZlkMail::tls()
{
    using Tls = SmtpTestServer::Options::Tls;
    QFETCH(Tls, serverTls);
    QFETCH(QString, security);
    QFETCH(QString, verify);
    QFETCH(QString, reason);
    SmtpTestServer::Options options;
    options.tls = serverTls;
    SmtpTestServer server(options);
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    if (security == "url") {
        server.installAsMailServer();
    } else {
        qunsetenv("ZLK_SMTP_URL");
        setMail("Server", "127.0.0.1");
        setMail("Port", QString::number(server.port()));
        setMail("Security", security);
    }
    setMail("VerifyCertificate", verify);

    QString error;
    const bool sent = Zlk::sendEmail(Sender, Recipient, "s", "over TLS", QString(), &error);
    if (reason.isEmpty()) {
        QVERIFY2(sent, qPrintable(error));
        QCOMPARE(server.messages().size(), 1);
        QCOMPARE(server.messages().at(0).body, "over TLS");
    } else {
        QVERIFY(!sent);
        QVERIFY2(error.contains(reason), qPrintable(error));
        QCOMPARE(server.messages().size(), 0);
    }
}

void tst_ZlkMail::failures_data()
{
    QTest::addColumn<QString>("recipient");
    QTest::addColumn<QString>("attachment");
    QTest::addColumn<QString>("serverUrl"); // "server": the test server, "closed": nobody listens
    QTest::addColumn<QString>("reason");

    QTest::newRow("no server listening") << Recipient << ""
                                         << "closed"
                                         << "Connection refused";
    QTest::newRow("recipient rejected") << "nobody@example.com"
                                        << ""
                                        << "server"
                                        << "recipient rejected";
    QTest::newRow("empty recipient") << ""
                                     << ""
                                     << "server"
                                     << "no recipient";
    QTest::newRow("blank recipient list") << " ; "
                                          << ""
                                          << "server"
                                          << "no recipient";
    QTest::newRow("invalid recipient") << "ops at example"
                                       << ""
                                       << "server"
                                       << "not a valid";
    QTest::newRow("missing attachment") << Recipient << "missing.zip"
                                        << "server"
                                        << "cannot read the attachment";
    QTest::newRow("no server configured") << Recipient << ""
                                          << ""
                                          << "no mail server";
    QTest::newRow("not an SMTP URL") << Recipient << ""
                                     << "http://127.0.0.1:1"
                                     << "ZLK_SMTP_URL";
}

void tst_ZlkMail::failures()
{
    QFETCH(QString, recipient);
    QFETCH(QString, attachment);
    QFETCH(QString, serverUrl);
    QFETCH(QString, reason);
    if (serverUrl == "closed")
        qputenv("ZLK_SMTP_URL", m_closedUrl.toUtf8());
    else if (serverUrl.isEmpty())
        qunsetenv("ZLK_SMTP_URL");
    else if (serverUrl != "server")
        qputenv("ZLK_SMTP_URL", serverUrl.toUtf8());

    QString error;
    QVERIFY(!Zlk::sendEmail(Sender, recipient, "s", "b",
                            attachment.isEmpty() ? QString() : filePath(attachment), &error));
    QVERIFY2(error.contains(reason), qPrintable(error));
    QCOMPARE(QString::fromUtf8(zlk_last_error()), error);
    QCOMPARE(m_server->messages().size(), 0);

    // The next success clears the reason.
    qputenv("ZLK_SMTP_URL", m_server->url().toUtf8());
    QVERIFY(Zlk::sendEmail(Sender, Recipient, "s", "b", QString()));
    QCOMPARE(Zlk::lastError(), QString());
}

void tst_ZlkMail::deadServerTimesOut()
{
    // A server that accepts the connection and never answers must not hang a
    // scheduled run: the send gives up after [Mail] Timeout seconds.
    SmtpTestServer::Options options;
    options.silent = true;
    SmtpTestServer server(options);
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    server.installAsMailServer();
    setMail("Timeout", "1");

    QString error;
    QVERIFY(!Zlk::sendEmail(Sender, Recipient, "s", "b", QString(), &error));
    QVERIFY2(error.contains("timed out"), qPrintable(error));
}

QTEST_GUILESS_MAIN(tst_ZlkMail)
#include "tst_zlkmail.moc"
