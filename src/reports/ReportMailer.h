#pragma once

#include <QString>
#include <cstdint>

// The mail branch of a report run: mails a rendered report file inline, as an
// attachment or compressed, by its size, through the zlk library. The report
// file and the archive are deleted afterwards whatever happened.
//
// Sizes in bytes, boundaries included: a file of exactly zipAtSize bytes is
// compressed, one of exactly attachAtSize bytes attached, and an attachment of
// exactly abortAttachAtSize bytes still goes out.
class ReportMailer
{
public:
    enum class Outcome
    {
        Sent,            // the server accepted the message (maybe with the abort text)
        NothingToReport, // the report holds no rows: nothing mailed
        ZipFailed,       // the archive could not be made: nothing mailed
        ReadFailed,      // the file could not be read for an inline body: nothing mailed
        SendFailed,      // the server could not be reached or refused the message
    };

    static inline const QString SenderName = QStringLiteral("Velmora Audit Log");
    static inline const QString AbortedBody =
        QStringLiteral("Attachment aborted as it exceeded size limit");
    static inline const QString NothingToReportText =
        QStringLiteral("Nothing to report, Aborting the email session");

    ReportMailer(const QString& address, const QString& subject, int32_t attachAtSize,
                 int32_t zipAtSize, int32_t abortAttachAtSize);

    // Mails reportFile (HTML when html is set: then a report without rows is
    // not sent even though the file is not empty), compressing it into
    // archiveFile when it is large.
    Outcome send(const QString& reportFile, const QString& archiveFile, bool html);

    // After a failure: the text to show or record ("Zip failed returning: ...",
    // the read error, the server's reason). Empty when there is nothing to say.
    QString failureText() const { return m_failureText; }

private:
    Outcome mail(const QString& reportFile, const QString& archiveFile, bool html);
    Outcome submit(const QString& body, const QString& attachment);

    QString m_address;
    QString m_subject;
    int32_t m_attachAtSize;
    int32_t m_zipAtSize;
    int32_t m_abortAttachAtSize;
    QString m_failureText;
};
