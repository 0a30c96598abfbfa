#include "RestoreViewerPlacement.h"

#include "Settings.h"
#include "Twips.h"

#include <QScreen>
#include <QWidget>

namespace {
// Design size of the window, in pixels at the standard resolution.
constexpr int DesignWidth = 1280;
constexpr int DesignHeight = 680;
} // namespace

void RestoreViewerPlacement(QWidget* viewer)
{
    const QRect screen =
        viewer->screen() ? viewer->screen()->availableGeometry() : QRect(0, 0, 1280, 800);
    viewer->resize(qMin(DesignWidth, screen.width() * 9 / 10),
                   qMin(DesignHeight, screen.height() * 9 / 10));

    const QString state = GetSettingValue(SettingKey::WindowState, QStringLiteral("0")).trimmed();
    if (state == QLatin1String("2")) {
        viewer->setWindowState(Qt::WindowMaximized);
        return;
    }

    const Twips twips(viewer);
    auto read = [](const QString& key) { return Twips::read(GetSettingValue(key)); };
    const auto height = read(SettingKey::Height);
    const auto width = read(SettingKey::Width);
    const int h = height && *height > 0 ? twips.toPixelsY(*height) : viewer->height();
    const int w = width && *width > 0 ? twips.toPixelsX(*width) : viewer->width();
    viewer->resize(qMax(w, 320), qMax(h, 200));

    const auto top = read(SettingKey::Top);
    const auto left = read(SettingKey::Left);
    int y = top ? twips.toPixelsY(*top) : screen.y() + (screen.height() - viewer->height()) / 2;
    int x = left ? twips.toPixelsX(*left) : screen.x() + (screen.width() - viewer->width()) / 2;
    // A placement saved on a larger screen must not leave the window out of reach.
    if (QScreen* primary = viewer->screen()) {
        const QRect all = primary->virtualGeometry();
        if (!all.intersects(
                QRect(x, y, viewer->width(), viewer->height()).adjusted(40, 10, -40, -10))) {
            y = screen.y() + (screen.height() - viewer->height()) / 2;
            x = screen.x() + (screen.width() - viewer->width()) / 2;
        }
    }
    viewer->move(x, y);
}
