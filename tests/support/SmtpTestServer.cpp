#include "SmtpTestServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int StartTimeoutMs = 20000;

// aiosmtpd is a Debian package of the system Python; a python3 earlier on PATH
// (pyenv, venv) may not see it.
QString pythonProgram()
{
    const QString chosen = qEnvironmentVariable("AUDITLOG_TEST_PYTHON");
    if (!chosen.isEmpty())
        return chosen;
    if (QFileInfo::exists(QStringLiteral("/usr/bin/python3")))
        return QStringLiteral("/usr/bin/python3");
    return QStringLiteral("python3");
}

QString scriptPath()
{
    return QStringLiteral(AUDITLOG_TEST_DIR "/support/smtp_test_server.py");
}

QStringList toStringList(const QJsonValue& value)
{
    QStringList list;
    for (const QJsonValue& item : value.toArray())
        list << item.toString();
    return list;
}

SmtpTestServer::Message parseMessage(const QJsonObject& json, const QByteArray& raw)
{
    SmtpTestServer::Message message;
    message.envelopeFrom = json.value("mail_from").toString();
    message.envelopeTo = toStringList(json.value("rcpt_tos"));
    message.from = json.value("from").toString();
    message.to = json.value("to").toString();
    message.subject = json.value("subject").toString();
    message.date = json.value("date").toString();
    message.messageId = json.value("message_id").toString();
    message.mimeVersion = json.value("mime_version").toString();
    message.contentType = json.value("content_type").toString();
    message.body = json.value("body").toString();
    message.bodyType = json.value("body_type").toString();
    message.bodyCharset = json.value("body_charset").toString();
    message.bodyTransferEncoding = json.value("body_encoding").toString();
    message.defects = toStringList(json.value("defects"));
    for (const QJsonValue& item : json.value("attachments").toArray()) {
        const QJsonObject object = item.toObject();
        SmtpTestServer::Attachment attachment;
        attachment.fileName = object.value("filename").toString();
        attachment.contentType = object.value("content_type").toString();
        attachment.transferEncoding = object.value("encoding").toString();
        attachment.data = QByteArray::fromBase64(object.value("data").toString().toLatin1());
        message.attachments << attachment;
    }
    message.raw = raw;
    return message;
}

} // namespace

SmtpTestServer::SmtpTestServer() : SmtpTestServer(Options()) {}

SmtpTestServer::SmtpTestServer(const Options& options)
{
    if (!start(options) && m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

SmtpTestServer::~SmtpTestServer()
{
    if (m_installed) {
        if (m_hadPreviousUrl)
            qputenv("ZLK_SMTP_URL", m_previousUrl);
        else
            qunsetenv("ZLK_SMTP_URL");
    }
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
}

bool SmtpTestServer::start(const Options& options)
{
    if (!m_folder.isValid()) {
        m_error = QStringLiteral("cannot create a temporary folder: ") + m_folder.errorString();
        return false;
    }
    QStringList arguments{scriptPath(), m_folder.path()};
    for (const QString& recipient : options.rejectRecipients)
        arguments << QStringLiteral("--reject") << recipient;
    if (!options.user.isEmpty())
        arguments << QStringLiteral("--auth") << options.user + ':' + options.password;
    if (options.silent)
        arguments << QStringLiteral("--silent");
    if (options.tls != Options::Tls::None) {
        m_implicitTls = options.tls == Options::Tls::Implicit;
        arguments << (m_implicitTls ? QStringLiteral("--tls") : QStringLiteral("--starttls"));
        if (!makeCertificate(arguments))
            return false;
    }

    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(pythonProgram(), arguments);
    if (!m_process.waitForStarted()) {
        m_error = QStringLiteral("cannot start the SMTP server: ") + m_process.errorString();
        return false;
    }

    // The script prints "LISTENING <port>" once its socket listens.
    const QDeadlineTimer deadline(StartTimeoutMs);
    while (!m_process.canReadLine()) {
        if (m_process.state() == QProcess::NotRunning || deadline.hasExpired()) {
            m_error = QStringLiteral("the SMTP server did not start: ") +
                      QString::fromLocal8Bit(m_process.readAllStandardError());
            return false;
        }
        m_process.waitForReadyRead(int(deadline.remainingTime()));
    }
    const QByteArray line = m_process.readLine().trimmed();
    if (!line.startsWith("LISTENING ")) {
        m_error = QStringLiteral("unexpected output of the SMTP server: ") + QString(line);
        return false;
    }
    m_port = line.mid(10).toUShort();
    if (m_port == 0 || !acceptsConnections()) {
        m_error =
            QStringLiteral("the SMTP server does not accept connections on port %1").arg(m_port);
        return false;
    }
    return true;
}

bool SmtpTestServer::makeCertificate(QStringList& arguments)
{
    // Beside the messages, not among them: clearMessages() removes files only.
    const QDir folder(m_folder.path());
    folder.mkdir(QStringLiteral("tls"));
    const QString certificate = folder.filePath(QStringLiteral("tls/cert.pem"));
    const QString key = folder.filePath(QStringLiteral("tls/key.pem"));
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                   "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", key,
                   "-out", certificate});
    if (!openssl.waitForFinished(60000) || openssl.exitStatus() != QProcess::NormalExit ||
        openssl.exitCode() != 0) {
        m_error = QStringLiteral("cannot make a certificate with openssl: ") +
                  openssl.errorString() + ' ' +
                  QString::fromLocal8Bit(openssl.readAllStandardError());
        return false;
    }
    arguments << certificate << key;
    return true;
}

bool SmtpTestServer::acceptsConnections() const
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(m_port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

bool SmtpTestServer::isRunning() const
{
    return m_port != 0 && m_process.state() == QProcess::Running;
}

QString SmtpTestServer::errorString() const
{
    return m_error;
}

quint16 SmtpTestServer::port() const
{
    return m_port;
}

QString SmtpTestServer::url() const
{
    return QStringLiteral("%1://127.0.0.1:%2")
        .arg(m_implicitTls ? QStringLiteral("smtps") : QStringLiteral("smtp"))
        .arg(m_port);
}

void SmtpTestServer::installAsMailServer()
{
    if (!m_installed) {
        m_hadPreviousUrl = qEnvironmentVariableIsSet("ZLK_SMTP_URL");
        m_previousUrl = qgetenv("ZLK_SMTP_URL");
        m_installed = true;
    }
    qputenv("ZLK_SMTP_URL", url().toUtf8());
}

QList<SmtpTestServer::Message> SmtpTestServer::messages() const
{
    QList<Message> result;
    const QDir folder(m_folder.path());
    const QStringList names = folder.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        QFile json(folder.filePath(name));
        QFile raw(folder.filePath(QFileInfo(name).completeBaseName() + QStringLiteral(".eml")));
        if (!json.open(QIODevice::ReadOnly) || !raw.open(QIODevice::ReadOnly))
            continue;
        result << parseMessage(QJsonDocument::fromJson(json.readAll()).object(), raw.readAll());
    }
    return result;
}

void SmtpTestServer::clearMessages()
{
    QDir folder(m_folder.path());
    const QStringList names = folder.entryList(QDir::Files);
    for (const QString& name : names)
        folder.remove(name);
}
