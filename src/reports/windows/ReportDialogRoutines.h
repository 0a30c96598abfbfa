#pragma once

#include "ReportRoutines.h"

#include <functional>

// The report routine that the report dialog runs for each report type:
// 0 ReportAudit, 1 ReportAuditDetail, 2 ReportSummary, 3 ReportSummaryDetail.
// Tests replace a routine to see what the dialog asks for without printing.
using ReportRoutine = std::function<void(AUDITLOG_REPORT_PARAMETERS)>;

constexpr int ReportTypeCount = 4;

// The routine of a report type (0 to 3); an empty function for any other value.
ReportRoutine DialogReportRoutine(int reportType);

// Replaces the routine of a report type and returns the one it replaces; an
// empty function puts the real routine back.
ReportRoutine SetDialogReportRoutine(int reportType, ReportRoutine routine);
