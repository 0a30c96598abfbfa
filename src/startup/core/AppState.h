#pragma once

#include "RunOptions.h"

#include <QString>

// Process-wide state shared by start-up, the viewer, the reports and the
// notification windows. Owned by the main module for the life of the process.

inline const QString AppTitle = QStringLiteral("Audit Log Viewer");
inline const QString ProductName = QStringLiteral("Velmora");

// Installation root with a trailing "/"; after start-up its SYSTEM/ folder.
extern QString InstallRoot;
// The audit database as messages name it: the file (InstallRoot + "Audit.mdb"
// by default) or the server's URI.
extern QString DatabasePath;
// The program's help file (InstallRoot + "HELP/QXAM32.HLP").
extern QString HelpFile;
extern bool DebugMode;
extern bool UnattendedMode;
extern bool HtmlOutput;

extern RunOptions Options;

// The viewer's sort (first three ORDER BY keys and the direction of the last).
extern QString ViewSortBy1;
extern QString ViewSortBy2;
extern QString ViewSortBy3;
extern QString ViewSortDirection;

extern bool FilterWindowOpen;
extern QString AuditConnectionString;
// The address the e-mail address dialog left behind ("" after Cancel).
extern QString MailToAddress;

// Puts every value above back to its start-of-process state (tests use it).
void ResetAppState();
