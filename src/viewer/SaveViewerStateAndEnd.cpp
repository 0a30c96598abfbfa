#include "SaveViewerStateAndEnd.h"

#include "Settings.h"
#include "Twips.h"
#include "UiHooks.h"
#include "frmView.h"

#include <QDate>
#include <QWidget>

void SaveViewerStateAndEnd()
{
    SaveViewerStateAndEnd(frmView::existingInstance());
}

void SaveViewerStateAndEnd(const QWidget* viewer)
{
    if (viewer) {
        const Qt::WindowStates state = viewer->windowState();
        if (!state.testFlag(Qt::WindowMinimized)) {
            const bool maximized =
                state.testFlag(Qt::WindowMaximized) || state.testFlag(Qt::WindowFullScreen);
            SaveSettingValue(SettingKey::WindowState,
                             maximized ? QStringLiteral("2") : QStringLiteral("0"));
            SaveSettingValue(SettingKey::LastRun,
                             QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
            if (!maximized) {
                const Twips twips(viewer);
                SaveSettingValue(SettingKey::Top, twips.text(twips.fromPixelsY(viewer->y())));
                SaveSettingValue(SettingKey::Left, twips.text(twips.fromPixelsX(viewer->x())));
                SaveSettingValue(SettingKey::Height,
                                 twips.text(twips.fromPixelsY(viewer->height())));
                SaveSettingValue(SettingKey::Width, twips.text(twips.fromPixelsX(viewer->width())));
            }
        }
    }
    EndProgram(0);
}
