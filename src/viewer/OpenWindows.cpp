#include "OpenWindows.h"

#include "UiHooks.h"

#include <QString>

void ShowNotAvailableYet(const QString& window)
{
    ShowMessage(QStringLiteral("The %1 is not available yet in this version.").arg(window),
                MsgButtons::Ok, MsgIcon::Information);
}

void OpenReportDialog(QWidget*)
{
    ShowNotAvailableYet(QStringLiteral("report dialog"));
}

void OpenFindWindow(QWidget*)
{
    ShowNotAvailableYet(QStringLiteral("find window"));
}

void OpenFilterWindow(QWidget*)
{
    ShowNotAvailableYet(QStringLiteral("filter window"));
}

void OpenOptionsWindow(QWidget*)
{
    ShowNotAvailableYet(QStringLiteral("options window"));
}

void OpenNotificationList(QWidget*)
{
    ShowNotAvailableYet(QStringLiteral("e-mail notification list"));
}

void OpenAboutBox(QWidget*)
{
    ShowNotAvailableYet(QStringLiteral("about box"));
}
