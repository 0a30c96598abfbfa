#include "ReportEngineHooks.h"

namespace {
ReportEngineHooks installed;
} // namespace

const ReportEngineHooks& ReportEngineHooks::current()
{
    return installed;
}

ReportEngineHooks ReportEngineHooks::install(ReportEngineHooks hooks)
{
    std::swap(installed, hooks);
    return hooks;
}
