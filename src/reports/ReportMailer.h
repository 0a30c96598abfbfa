#pragma once

#include <QString>
#include <cstdint>

class OutputPatches;
class PatchedReader;
class QIODevice;

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
        WriteFailed,     // the report could not be put into its file: nothing mailed
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

    // Mails a finished render with its patches made on the way: zipped while
    // it is sent where zipsWhileSending allows, or else put into reportFile
    // and sent as send() sends it.
    Outcome send(QIODevice& rendered, OutputPatches& patches, const QString& reportFile,
                 const QString& archiveFile, bool html);

    // Whether a report of length bytes goes out zipped while it is read
    // (sendZipped), never put into a file: it is to be zipped, and no archive
    // of it can exceed the abort size. HTML always goes through send(), which
    // reads its file to tell whether it holds rows.
    bool zipsWhileSending(qint64 length, const QString& reportFile, bool html) const;
    // Mails the report reader gives, as reportFile's text, in the archive
    // archiveFile, made while it is sent. A failure to read it ends the
    // transfer before the message is complete: ZipFailed, nothing delivered.
    Outcome sendZipped(PatchedReader& reader, const QString& reportFile,
                       const QString& archiveFile);

    // After a failure: the text to show or record ("Zip failed returning: ...",
    // the read error, the server's reason). Empty when there is nothing to say.
    QString failureText() const { return m_failureText; }

private:
    Outcome mail(const QString& reportFile, const QString& archiveFile, bool html);
    Outcome submit(const QString& body, const QString& attachment);
    Outcome sendFailed(const QString& error);

    QString m_address;
    QString m_subject;
    int32_t m_attachAtSize;
    int32_t m_zipAtSize;
    int32_t m_abortAttachAtSize;
    QString m_failureText;
};
