#pragma once

#include "ReportLayout.h"

// The four report layouts of the program, each returned fresh (a report
// routine creates one, binds it, renders it and drops it).
namespace ReportLayouts {

// Tabular, one boxed line per entry.
ReportLayout dataReportSummary();
// One labelled block per entry.
ReportLayout dataReportSummaryDetail();
// Tabular, three lines per entry (with details and path).
ReportLayout datareportAudit();
// One labelled block per entry, with every column.
ReportLayout datareportAuditDetail();

// The layout of that name; an empty layout (no bands) for an unknown name.
ReportLayout byName(const QString& name);

} // namespace ReportLayouts
