#include "ReportRoutines.h"

#include "UiHooks.h"

// Placeholder until the report engine lands: says so and records a failure.
namespace {
void notBuilt(const char* name)
{
    const QString text = QStringLiteral("%1 is not available in this build.").arg(QLatin1String(name));
    NoteRunFailure(text);
    ShowMessage(text);
}
} // namespace

void ReportSummary(AUDITLOG_REPORT_PARAMETERS) { notBuilt("ReportSummary"); }
void ReportSummaryDetail(AUDITLOG_REPORT_PARAMETERS) { notBuilt("ReportSummaryDetail"); }
void ReportAudit(AUDITLOG_REPORT_PARAMETERS) { notBuilt("ReportAudit"); }
void ReportAuditDetail(AUDITLOG_REPORT_PARAMETERS) { notBuilt("ReportAuditDetail"); }
