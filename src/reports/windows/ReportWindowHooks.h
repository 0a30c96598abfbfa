#pragma once

// Gives the report routines their windows: the printer (QPrinter, no dialog),
// the preview (QPrintPreviewDialog, maximised and modal) and the e-mail address
// dialog. Start-up calls this once the application object exists, in
// interactive and unattended runs alike.
//
// Printing goes to the system's default printer (the report engine itself
// writes a PDF instead when AUDITLOG_PRINT_TO_PDF=<file> is set).
void InstallReportWindowHooks();
