#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A real SMTP server (aiosmtpd) on loopback for tests that mail. The
// constructor returns once it accepts connections on a free port; accepted
// messages are available at once, parsed by Python's email package.
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

    QList<Message> messages() const; // in arrival order
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
