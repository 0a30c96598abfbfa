#include "ViewLoad.h"

#include "AppState.h"
#include "AuditDatabase.h"
#include "AuditView.h"
#include "Settings.h"
#include "UiHooks.h"
#include "ViewQuery.h"

bool LoadViewData()
{
    AuditDatabase& database = AuditDatabase::instance();
    if (!database.isOpen()) {
        AuditError error = database.openError();
        if (!error.isError())
            error = {ErrorDatabaseNotFound, QStringLiteral("The audit database is not open.")};
        HandleViewLoadError(error);
        return false;
    }
    AuditConnectionString = database.connectionString();
    ViewSortBy1 = GetSettingValue(SettingKey::ReportSortBy, SettingDefault::ViewerSortBy);
    ViewSortBy2 = GetSettingValue(SettingKey::ReportSortBy2, SettingDefault::ViewerSortBy2);
    ViewSortBy3 = GetSettingValue(SettingKey::ReportSortBy3, SettingDefault::ViewerSortBy3);
    ViewSortDirection = QStringLiteral("DESC");
    // An unattended run shows no rows: the view keeps its record source and is
    // not run, so no key of it is read (on ten million entries a first slice
    // alone costs a sort of every entry the age filter keeps).
    if (UnattendedMode) {
        AuditView::instance().setRecordSource(ViewQueryText());
        return true;
    }
    return BuildViewQuery();
}

void HandleViewLoadError(const AuditError& error)
{
    const QString operation = QStringLiteral("Load View");
    if (error.number != ErrorDatabaseNotFound) {
        ReportErrorAndEnd(operation, error);
        return;
    }
    if (UnattendedMode) {
        QString path = DatabasePath;
        if (path.isEmpty())
            path = AuditDatabase::instance().databasePath();
        // The description of a missing file names it already.
        QString line = QStringLiteral("Unable to open Audit database");
        if (!path.isEmpty() && !error.description.contains(path))
            line += QLatin1Char(' ') + path;
        NoteRunFailure(line + QStringLiteral(": ") + error.description);
    } else {
        ShowMessage(QStringLiteral("Unable to open Audit database.  "), MsgButtons::Ok,
                    MsgIcon::Exclamation, operation);
    }
    EndProgram(1);
}
