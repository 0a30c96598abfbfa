#include "ReportMailer.h"

#include "OutputFile.h"
#include "PatchedReader.h"
#include "ZlkApi.h"

#include <QDateTime>
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

ReportMailer::Outcome ReportMailer::send(QIODevice& rendered, OutputPatches& patches,
                                         const QString& reportFile, const QString& archiveFile,
                                         bool html)
{
    m_failureText.clear();
    AuditError error;
    // The length with the page count filled in decides; only a text report
    // can be zipped on the way.
    const qint64 length = html ? 0 : PatchedReader::patchedLength(rendered, patches, &error);
    if (length > 0 && zipsWhileSending(length, reportFile, html)) {
        PatchedReader reader(rendered, &patches);
        const Outcome outcome = sendZipped(reader, reportFile, archiveFile);
        QFile::remove(reportFile);
        QFile::remove(archiveFile);
        return outcome;
    }
    if (length < 0 || !OutputFile::copyInto(rendered, reportFile, error, &patches, false, true)) {
        QFile::remove(reportFile);
        m_failureText = QStringLiteral("Error %1 - %2").arg(error.number).arg(error.description);
        return Outcome::WriteFailed;
    }
    return send(reportFile, archiveFile, html);
}

bool ReportMailer::zipsWhileSending(qint64 length, const QString& reportFile, bool html) const
{
    return !html && length > 0 && length >= m_zipAtSize &&
           Zlk::zipSizeBound(length, QFileInfo(reportFile).fileName()) <= m_abortAttachAtSize;
}

ReportMailer::Outcome ReportMailer::sendZipped(PatchedReader& reader, const QString& reportFile,
                                               const QString& archiveFile)
{
    m_failureText.clear();
    QString error;
    if (Zlk::sendZipped(
            SenderName, m_address, m_subject, QFileInfo(archiveFile).fileName(),
            QFileInfo(reportFile).fileName(), QDateTime::currentDateTime(),
            [&reader](char* data, qint64 size) { return reader.read(data, size); }, &error))
        return Outcome::Sent;
    if (reader.error().isError()) {
        m_failureText = QStringLiteral("Zip failed returning: ") + reader.error().description +
                        QStringLiteral(", terminating send");
        return Outcome::ZipFailed;
    }
    return sendFailed(error);
}

ReportMailer::Outcome ReportMailer::sendFailed(const QString& error)
{
    m_failureText = QStringLiteral("The report could not be mailed to %1: %2")
                        .arg(m_address, error.isEmpty() ? QStringLiteral("unknown reason") : error);
    return Outcome::SendFailed;
}

ReportMailer::Outcome ReportMailer::submit(const QString& body, const QString& attachment)
{
    QString error;
    if (Zlk::sendEmail(SenderName, m_address, m_subject, body, attachment, &error))
        return Outcome::Sent;
    return sendFailed(error);
}
