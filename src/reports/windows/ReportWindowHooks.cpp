#include "ReportWindowHooks.h"

#include "ReportEngineHooks.h"
#include "ReportPreview.h"
#include "ReportPrinter.h"
#include "ReportProgressDialog.h"
#include "WidgetHooks.h"
#include "frmEmailAddress.h"

#include <QApplication>

namespace {

void askMailAddress()
{
    frmEmailAddress dialog;
    ShowModal(&dialog);
}

} // namespace

void InstallReportWindowHooks()
{
    ReportEngineHooks hooks;
    hooks.print = [](ReportLayout& layout, QString* error) {
        return ReportPrinter::print(layout, nullptr, error);
    };
    hooks.preview = [](ReportLayout& layout) {
        ReportPreview::show(layout, QApplication::activeModalWidget());
    };
    hooks.askMailAddress = askMailAddress;
    hooks.progress = [](const QString& title) -> std::unique_ptr<ReportProgress> {
        return std::make_unique<ReportProgressDialog>(title, QApplication::activeModalWidget());
    };
    ReportEngineHooks::install(hooks);
}
