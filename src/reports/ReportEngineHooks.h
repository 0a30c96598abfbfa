#pragma once

#include <QString>
#include <functional>
#include <memory>

class ReportLayout;
class ReportProgress;

// What the report routines need from windows: the printer, the preview, the
// e-mail address prompt and a progress window. The report library has no widgets; the windows
// library installs these (InstallReportWindowHooks), and tests may install
// their own.
struct ReportEngineHooks
{
    // Prints the bound layout without a dialog; false with a reason when it
    // could not.
    std::function<bool(ReportLayout& layout, QString* error)> print;
    // Shows the bound layout in a modal, maximised preview.
    std::function<void(ReportLayout& layout)> preview;
    // Shows the e-mail address dialog modally; the address it leaves is in
    // MailToAddress afterwards.
    std::function<void()> askMailAddress;
    // Makes the progress of one interactive run (titled with the report's
    // title); the run reports to it while it renders and stops when it is
    // cancelled. Not asked in unattended runs.
    std::function<std::unique_ptr<ReportProgress>(const QString& title)> progress;

    static const ReportEngineHooks& current();
    // Installs hooks and returns the previous ones.
    static ReportEngineHooks install(ReportEngineHooks hooks);
};
