#pragma once

class QString;
class QWidget;

// The windows that the viewer opens from its menus and toolbar and that live
// outside the viewer's own files. Each function opens its window the way the
// viewer needs it (modal, or modeless and topmost). A window that is not built
// yet tells the operator so instead of opening.

// File > Print: the report dialog, modal.
void OpenReportDialog(QWidget* viewer);
// File > Find: the find window, modeless and topmost, working on the grid.
void OpenFindWindow(QWidget* viewer);
// View > Filter Fields: the filter window, modeless and topmost; sets FilterWindowOpen.
void OpenFilterWindow(QWidget* viewer);
// View > Preferences: the options window, modal.
void OpenOptionsWindow(QWidget* viewer);
// View > Email Notification Preferences: the notification list, modal.
void OpenNotificationList(QWidget* viewer);
// Help > About: the about box, modal.
void OpenAboutBox(QWidget* viewer);

// Shows that a window is not available in this build.
void ShowNotAvailableYet(const QString& window);
