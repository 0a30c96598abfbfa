#pragma once

#include "ReportCondition.h"
#include "ReportRenderer.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <cstdint>

class ReportLayout;

// One run of a report routine: selects the entries, renders the routine's
// layout to the destination (printer, preview, text file, mail or none) and
// then, when asked, deletes exactly the entries it reported. The four report
// routines are this one algorithm with four sets of constants (Kind).
//
// Failures never reach the caller as errors: they are shown with ShowMessage,
// or, in an unattended run, recorded with NoteRunFailure (status 1 and one
// line on standard error). After any failure nothing is deleted.
//
// An interactive run reports its progress to the progress hook and can be
// cancelled while it renders: then nothing is done (no output file, no mail,
// no deletion, the temporary files removed) and the only word is the quiet
// status "Report cancelled.". Unattended runs have no progress and never
// cancel.
//
// Printing: when the environment holds AUDITLOG_PRINT_TO_PDF=<file>, the
// report is written to that PDF file instead of going to the printer (for
// machines without a printer, and for tests); otherwise it goes to the
// system's default printer through the installed print hook.
class ReportEngine
{
public:
    struct Kind
    {
        QString title;
        QString layoutName;
        QString temporaryBaseName; // in the run's private folder, with .txt/.html/.zip
    };
    static const Kind Summary;
    static const Kind SummaryDetail;
    static const Kind Audit;
    static const Kind AuditDetail;

    // The values of one run, as the routines receive them.
    struct Request
    {
        int16_t Destination = -1; // 0 print, 2 mail, 3 text file, -1 none, other: preview
        ReportCondition condition;
        bool Delete = false;
        QString Address; // mail recipient or output file
        QString Subject;
        int32_t AttachAtSize = 1000;
        int32_t ZipAtSize = 100000;
        int32_t AbortAttachAtSize = 500000;
        QString SortBy1;
        QString SortBy2;
        QString SortBy3;
    };

    enum Destination : int16_t
    {
        Print = 0,
        Preview = 1,
        Mail = 2,
        TextFile = 3,
        None = -1
    };

    ReportEngine(const Kind& kind, const Request& request);

    // The day age conditions count from (today unless set).
    void setToday(const QDate& today) { m_today = today; }
    // The time the report prints in its page header (the render time unless set).
    void setPrintTime(const QDateTime& time) { m_printTime = time; }

    // Runs the report. True when everything asked for was done.
    bool run();
    // Whether the operator cancelled the last run.
    bool cancelled() const { return m_cancelled; }

    static inline const QString CancelledStatus = QStringLiteral("Report cancelled.");

    // The statements of the last run ("" when not reached).
    QString selectText() const { return m_select; }
    QString deleteText() const { return m_delete; }
    // Entries the last run deleted (-1 when it deleted nothing).
    int deletedCount() const { return m_deleted; }

    // The temporary report file with that extension, in the run's private
    // folder (PrivateTempFolder); "" when that folder cannot be made.
    QString temporaryFile(const QString& extension) const;

private:
    bool validate();
    bool readHighestIndex(qint64& highest);
    // sync: whether the file is synced to disk (needed only before a deletion).
    bool exportTo(ReportLayout& layout, const QString& formatKey, const QString& file, bool sync);
    bool exportTo(ReportLayout& layout, ReportFormat format,
                  const ReportRenderer::Delivery& deliver);
    bool exported(const ReportRenderer& renderer, bool written);
    // Whether file is the audit database (or one of its files); such a report
    // target is refused with the run's error.
    bool refusedAsTarget(const QString& file);
    bool print(ReportLayout& layout);
    bool preview(ReportLayout& layout);
    bool cancelledBy(const ReportLayout& layout);
    class WaitCursor;
    bool mail(ReportLayout& layout, WaitCursor& cursor);
    // The address to mail to: the run's, or the one the operator is asked for
    // ("" when none is given).
    QString mailAddress(WaitCursor& cursor);
    void deleteReported(const QString& where, qint64 highest, const QList<qint64>& keysRead);
    void fail(const QString& text);

    Kind m_kind;
    Request m_request;
    QDate m_today;
    QDateTime m_printTime;
    QString m_select;
    QString m_delete;
    int m_deleted = -1;
    bool m_failed = false;
    bool m_cancelled = false;
};
