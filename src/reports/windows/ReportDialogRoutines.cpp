#include "ReportDialogRoutines.h"

#include <array>

namespace {

ReportRoutine realRoutine(int reportType)
{
    switch (reportType) {
    case 0:
        return ReportAudit;
    case 1:
        return ReportAuditDetail;
    case 2:
        return ReportSummary;
    case 3:
        return ReportSummaryDetail;
    default:
        return {};
    }
}

std::array<ReportRoutine, ReportTypeCount>& routines()
{
    static std::array<ReportRoutine, ReportTypeCount> table = {realRoutine(0), realRoutine(1),
                                                               realRoutine(2), realRoutine(3)};
    return table;
}

bool validType(int reportType)
{
    return reportType >= 0 && reportType < ReportTypeCount;
}

} // namespace

ReportRoutine DialogReportRoutine(int reportType)
{
    return validType(reportType) ? routines()[reportType] : ReportRoutine();
}

ReportRoutine SetDialogReportRoutine(int reportType, ReportRoutine routine)
{
    if (!validType(reportType))
        return {};
    ReportRoutine previous = routines()[reportType];
    routines()[reportType] = routine ? std::move(routine) : realRoutine(reportType);
    return previous;
}
