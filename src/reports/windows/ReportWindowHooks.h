#pragma once

// Gives the report routines their windows: the printer (ReportPrinter, no
// dialog), the preview (ReportPreview, maximised and modal), the e-mail address
// dialog and the progress window (ReportProgressDialog, which the engine asks
// for only in interactive runs). Start-up calls this once the application
// object exists, in interactive and unattended runs alike.
//
// Printing goes to the system's default printer (the report engine itself
// writes a PDF instead when AUDITLOG_PRINT_TO_PDF=<file> is set).
void InstallReportWindowHooks();
