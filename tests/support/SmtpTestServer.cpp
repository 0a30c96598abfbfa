#include "SmtpTestServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

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
    message.contentType = json.value("content_type").toString();
    message.body = json.value("body").toString();
    message.bodyType = json.value("body_type").toString();
    message.bodyCharset = json.value("body_charset").toString();
    message.defects = toStringList(json.value("defects"));
    for (const QJsonValue& item : json.value("attachments").toArray()) {
        const QJsonObject object = item.toObject();
        message.attachments.append(
            {object.value("filename").toString(), object.value("content_type").toString(),
             QByteArray::fromBase64(object.value("data").toString().toLatin1())});
    }
    message.raw = raw;
    return message;
}

} // namespace

SmtpTestServer::SmtpTestServer(const QStringList& rejectRecipients)
{
    if (!start(rejectRecipients) && m_process.state() != QProcess::NotRunning) {
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

bool SmtpTestServer::start(const QStringList& rejectRecipients)
{
    QStringList arguments{QStringLiteral(AUDITLOG_TEST_DIR "/support/smtp_test_server.py"),
                          m_folder.path()};
    for (const QString& recipient : rejectRecipients)
        arguments << QStringLiteral("--reject") << recipient;
    // aiosmtpd is a package of the system Python; a python3 earlier on PATH
    // (pyenv, venv) may not see it.
    const QString python = QFileInfo::exists(QStringLiteral("/usr/bin/python3"))
                               ? QStringLiteral("/usr/bin/python3")
                               : QStringLiteral("python3");
    m_process.start(python, arguments);
    if (!m_process.waitForStarted()) {
        m_error = QStringLiteral("cannot start the SMTP server: ") + m_process.errorString();
        return false;
    }
    // The script prints "LISTENING <port>" once its socket listens.
    const QDeadlineTimer deadline(20000);
    while (!m_process.canReadLine()) {
        if (m_process.state() == QProcess::NotRunning || deadline.hasExpired()) {
            m_error = QStringLiteral("the SMTP server did not start: ") +
                      QString::fromLocal8Bit(m_process.readAllStandardError());
            return false;
        }
        m_process.waitForReadyRead(int(deadline.remainingTime()));
    }
    const QByteArray line = m_process.readLine().trimmed();
    if (line.startsWith("LISTENING "))
        m_port = line.mid(10).toUShort();
    if (m_port == 0)
        m_error = QStringLiteral("unexpected output of the SMTP server: ") + QString(line);
    return m_port != 0;
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
    for (const QString& name :
         folder.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        QFile json(folder.filePath(name));
        QFile raw(folder.filePath(QFileInfo(name).completeBaseName() + QStringLiteral(".eml")));
        if (json.open(QIODevice::ReadOnly) && raw.open(QIODevice::ReadOnly))
            result << parseMessage(QJsonDocument::fromJson(json.readAll()).object(), raw.readAll());
    }
    return result;
}

void SmtpTestServer::clearMessages()
{
    QDir folder(m_folder.path());
    for (const QString& name : folder.entryList(QDir::Files))
        folder.remove(name);
}
