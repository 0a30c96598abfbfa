#include "AppState.h"

QString InstallRoot;
QString DatabasePath;
QString HelpFile;
bool DebugMode = false;
bool UnattendedMode = false;
bool HtmlOutput = false;
RunOptions Options;
QString ViewSortBy1;
QString ViewSortBy2;
QString ViewSortBy3;
QString ViewSortDirection;
bool FilterWindowOpen = false;
QString AuditConnectionString;
QString MailToAddress;

void ResetAppState()
{
    InstallRoot.clear();
    DatabasePath.clear();
    HelpFile.clear();
    DebugMode = false;
    UnattendedMode = false;
    HtmlOutput = false;
    Options = RunOptions();
    ViewSortBy1.clear();
    ViewSortBy2.clear();
    ViewSortBy3.clear();
    ViewSortDirection.clear();
    FilterWindowOpen = false;
    AuditConnectionString.clear();
    MailToAddress.clear();
}
