#pragma once

class QWidget;

// The windows that the viewer opens from its menus and toolbar, besides its
// own Delete and Details dialogs. Each function opens its window the way the
// viewer needs it: modal, or modeless and topmost over the viewer.

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
