#include "ReportRoutines.h"

#include "ReportEngine.h"

namespace {

void runReport(const ReportEngine::Kind& kind, AUDITLOG_REPORT_PARAMETERS)
{
    ReportEngine::Request request;
    request.Destination = Destination;
    request.condition.Status = Status;
    request.condition.Warning = Warning;
    request.condition.Error = Error;
    request.condition.Fatal = Fatal;
    request.condition.AgeMode = AgeMode;
    request.condition.Days = Days;
    request.condition.SpanStart = SpanStart;
    request.condition.SpanEnd = SpanEnd;
    request.condition.Query = Query;
    request.Delete = Delete;
    request.Address = Address;
    request.Subject = Subject;
    request.AttachAtSize = AttachAtSize;
    request.ZipAtSize = ZipAtSize;
    request.AbortAttachAtSize = AbortAttachAtSize;
    request.SortBy1 = SortBy1;
    request.SortBy2 = SortBy2;
    request.SortBy3 = SortBy3;
    ReportEngine(kind, request).run();
}

} // namespace

#define AUDITLOG_REPORT_ARGUMENTS                                                                  \
    Destination, Status, Warning, Error, Fatal, AgeMode, Days, SpanStart, SpanEnd, Delete,         \
        Address, Subject, AttachAtSize, ZipAtSize, AbortAttachAtSize, SortBy1, SortBy2, SortBy3,   \
        Query

void ReportSummary(AUDITLOG_REPORT_PARAMETERS)
{
    runReport(ReportEngine::Summary, AUDITLOG_REPORT_ARGUMENTS);
}

void ReportSummaryDetail(AUDITLOG_REPORT_PARAMETERS)
{
    runReport(ReportEngine::SummaryDetail, AUDITLOG_REPORT_ARGUMENTS);
}

void ReportAudit(AUDITLOG_REPORT_PARAMETERS)
{
    runReport(ReportEngine::Audit, AUDITLOG_REPORT_ARGUMENTS);
}

void ReportAuditDetail(AUDITLOG_REPORT_PARAMETERS)
{
    runReport(ReportEngine::AuditDetail, AUDITLOG_REPORT_ARGUMENTS);
}
