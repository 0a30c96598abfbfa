#include "ReportMailer.h"

#include "ZlkApi.h"

#include <QFile>
#include <QFileInfo>

ReportMailer::ReportMailer(const QString& address, const QString& subject, int32_t attachAtSize,
                           int32_t zipAtSize, int32_t abortAttachAtSize)
    : m_address(address), m_subject(subject), m_attachAtSize(attachAtSize), m_zipAtSize(zipAtSize),
      m_abortAttachAtSize(abortAttachAtSize)
{
}

ReportMailer::Outcome ReportMailer::send(const QString& reportFile, const QString& archiveFile,
                                         bool html)
{
    m_failureText.clear();
    const Outcome outcome = mail(reportFile, archiveFile, html);
    // A missing file is no error here.
    QFile::remove(reportFile);
    QFile::remove(archiveFile);
    return outcome;
}

ReportMailer::Outcome ReportMailer::mail(const QString& reportFile, const QString& archiveFile,
                                         bool html)
{
    const qint64 length = QFileInfo(reportFile).size();
    if ((html && Zlk::isHtmlEmpty(reportFile)) || length == 0)
        return Outcome::NothingToReport;

    if (length >= m_zipAtSize) {
        QString error;
        QFile::remove(archiveFile);
        if (!Zlk::zipFile(reportFile, archiveFile, error)) {
            m_failureText = QStringLiteral("Zip failed returning: ") + error +
                            QStringLiteral(", terminating send");
            return Outcome::ZipFailed;
        }
        if (QFileInfo(archiveFile).size() > m_abortAttachAtSize)
            return submit(AbortedBody, QString());
        return submit(QString(), archiveFile);
    }

    if (length >= m_attachAtSize) {
        if (length > m_abortAttachAtSize)
            return submit(AbortedBody, QString());
        return submit(QString(), reportFile);
    }

    // Inline: the body is the file's text, trimmed.
    QString body;
    QString error;
    if (Zlk::readFile(reportFile, int(length), body, error) == 0) {
        m_failureText =
            error.size() > 2
                ? error
                : QStringLiteral("The report file %1 could not be read.").arg(reportFile);
        return Outcome::ReadFailed;
    }
    return submit(body, QString());
}

ReportMailer::Outcome ReportMailer::submit(const QString& body, const QString& attachment)
{
    QString error;
    if (Zlk::sendEmail(SenderName, m_address, m_subject, body, attachment, &error))
        return Outcome::Sent;
    m_failureText = QStringLiteral("The report could not be mailed to %1: %2")
                        .arg(m_address, error.isEmpty() ? QStringLiteral("unknown reason") : error);
    return Outcome::SendFailed;
}
