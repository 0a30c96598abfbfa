#ifndef SMTPTESTSERVER_H
#define SMTPTESTSERVER_H

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A real SMTP server (aiosmtpd) on loopback for tests that mail. The
// constructor starts it on a free port and returns once it accepts
// connections; the destructor stops it. Messages the server accepted are
// available at once, parsed by Python's email package:
//
//     SmtpTestServer server;
//     QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
//     server.installAsMailServer(); // ZLK_SMTP_URL = server.url()
//     ... mail something ...
//     QCOMPARE(server.messages().value(0).subject, "Velmora Audit Report");
class SmtpTestServer
{
public:
    struct Attachment
    {
        QString fileName;
        QString contentType;
        QByteArray data; // decoded bytes
    };

    struct Message
    {
        QString envelopeFrom;
        QStringList envelopeTo;
        QString from; // headers, RFC 2047 decoded
        QString to;
        QString subject;
        QString date;
        QString messageId;
        QString contentType; // of the whole message, e.g. "multipart/mixed"
        QString body;        // first text part that is not an attachment, decoded
        QString bodyType;    // "text/plain" or "text/html"
        QString bodyCharset;
        QList<Attachment> attachments;
        QStringList defects; // what the parser found wrong with the MIME structure
        QByteArray raw;      // the message as it arrived
    };

    // Recipients it refuses with 550 at RCPT.
    explicit SmtpTestServer(const QStringList& rejectRecipients = {});
    ~SmtpTestServer();
    SmtpTestServer(const SmtpTestServer&) = delete;
    SmtpTestServer& operator=(const SmtpTestServer&) = delete;

    bool isRunning() const { return m_port != 0 && m_process.state() == QProcess::Running; }
    QString errorString() const { return m_error; }
    quint16 port() const { return m_port; }
    QString url() const { return QStringLiteral("smtp://127.0.0.1:%1").arg(m_port); }

    // Sets ZLK_SMTP_URL to url() until this server is destroyed.
    void installAsMailServer();

    // Every message accepted so far, in arrival order.
    QList<Message> messages() const;
    // Forgets the messages received so far (one server can serve many tests).
    void clearMessages();

private:
    bool start(const QStringList& rejectRecipients);

    QTemporaryDir m_folder;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
    bool m_installed = false;
    QByteArray m_previousUrl;
    bool m_hadPreviousUrl = false;
};

#endif // SMTPTESTSERVER_H
