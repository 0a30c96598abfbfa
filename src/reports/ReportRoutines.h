#pragma once

#include <QString>

#include <cstdint>

// The four report routines: one algorithm with four sets of constants. Each
// selects the wanted entries, renders its layout to the destination and can
// then delete exactly the entries it reported. None reports failure to its
// caller: an unattended run's failure is recorded with NoteRunFailure.
//
// Destination: 0 print, 2 mail, 3 text file, -1 none (delete only), other: preview.
// AgeMode: 1 older than Days, 2 newer than Days, 3 between SpanStart and SpanEnd.
#define AUDITLOG_REPORT_PARAMETERS                                                                 \
    int16_t Destination, bool Status, bool Warning, bool Error, bool Fatal, int16_t AgeMode,       \
        int16_t Days, const QString &SpanStart, const QString &SpanEnd, bool Delete,              \
        const QString &Address, const QString &Subject, int32_t AttachAtSize, int32_t ZipAtSize,  \
        int32_t AbortAttachAtSize, QString &SortBy1, QString &SortBy2, QString &SortBy3,          \
        QString &Query

void ReportSummary(AUDITLOG_REPORT_PARAMETERS);
void ReportSummaryDetail(AUDITLOG_REPORT_PARAMETERS);
void ReportAudit(AUDITLOG_REPORT_PARAMETERS);
void ReportAuditDetail(AUDITLOG_REPORT_PARAMETERS);
