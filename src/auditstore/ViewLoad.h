#pragma once

#include "AuditError.h"

// The data part of the viewer's load, without any window: the connection
// string kept in AuditConnectionString, the viewer's sort from the settings
// (ReportSortBy..3, viewer defaults "AutoIndex", "", "") in descending order,
// and the first view query. Unattended start-up calls it in place of loading
// the viewer window, and then the view gets its record source but is not run
// (the start-up purge then waits for no view); the viewer's load calls it too.
//
// When the audit connection is not open the error goes to HandleViewLoadError
// and the result is false; a failing view query has ended the program through
// "Create View Query" and the result is false as well.
bool LoadViewData();

// The viewer load's error handler: a missing database (3024) shows "Unable to
// open Audit database.  " captioned "Load View" (one line on standard error
// naming the file when unattended) and ends the program with status 1; any
// other error goes to ReportErrorAndEnd("Load View").
void HandleViewLoadError(const AuditError& error);
