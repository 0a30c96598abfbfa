#pragma once

// Gives the report routines their windows: the printer (QPrinter, no dialog),
// the preview (QPrintPreviewDialog, maximised and modal) and the e-mail address
// dialog. Start-up calls this once the application object exists, in
// interactive and unattended runs alike.
//
// Printing goes to the system's default printer. When the environment holds
// AUDITLOG_PRINT_TO_PDF=<file>, it goes to that PDF file instead (for runs on
// machines without a printer, and for tests).
void InstallReportWindowHooks();
