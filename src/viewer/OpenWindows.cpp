#include "OpenWindows.h"

#include "WidgetHooks.h"
#include "frmAbout.h"
#include "frmEmailNotificationProperties.h"
#include "frmFilter.h"
#include "frmFind.h"
#include "frmOptions.h"
#include "frmReport.h"

void OpenReportDialog(QWidget* viewer)
{
    frmReport dialog(viewer);
    ShowModal(&dialog);
}

void OpenFindWindow(QWidget* viewer)
{
    frmFind::showFor(viewer);
}

void OpenFilterWindow(QWidget* viewer)
{
    frmFilter::showFor(viewer);
}

void OpenOptionsWindow(QWidget* viewer)
{
    frmOptions options(viewer);
    ShowModal(&options);
}

void OpenNotificationList(QWidget* viewer)
{
    frmEmailNotificationProperties window(viewer);
    ShowModal(&window);
}

void OpenAboutBox(QWidget* viewer)
{
    frmAbout about(viewer);
    ShowModal(&about);
}
