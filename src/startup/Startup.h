#pragma once

// The program's entry routine: start-up, then an unattended report or the viewer.
int RunAuditLog(int argc, char* argv[]);
