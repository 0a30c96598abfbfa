#pragma once

#include "RunOptions.h"

#include <QString>
#include <QStringList>

// The program's entry routine: start-up, then an unattended report or the viewer.
int RunAuditLog(int argc, char* argv[]);

// The steps of start-up, in the order RunAuditLog runs them.

// Steps 1 to 3: the run defaults and the three size thresholds from the
// settings, the installation root from the program's folder, and the command
// line made from the arguments. False for an invalid command line; the caller
// then reports it (ReportInvalidCommandLine) and touches nothing else.
bool PrepareRun(const QStringList& arguments, const QString& programFolder);

// The command-line text PrepareRun parsed.
QString StartupCommandLine();

// The message of an invalid command line (one line on standard error when
// unattended); returns the exit status 2.
int ReportInvalidCommandLine();

// Steps 4 to 10: help file, database path, the connection, the viewer's data
// and the automatic purge, the sort names, then the report routine or the
// viewer. Returns the exit status of a run that is over, or -1 when the viewer
// is shown and the event loop owns the rest of the run.
int StartRun();

// The parent of the program's folder with a trailing "/", or "../".
QString InstallRootFromFolder(const QString& programFolder);

// Replaces each sort name that equals a grid heading by the field bound to
// that column (nothing happens when all three are empty).
void TranslateSortNames(RunOptions& options);
