#pragma once

#include "WidgetHooks.h"

#include <QWidget>

// Shows a modeless window of the viewer, kept above it: the one already open
// comes to the front, otherwise make() creates it as the viewer's child; it
// is deleted when it closes.
template <typename Window, typename Make> Window* ShowModelessWindow(QWidget* viewer, Make make)
{
    auto* window = viewer->findChild<Window*>(QString(), Qt::FindDirectChildrenOnly);
    if (!window) {
        window = make();
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    MakeTopmost(window);
    window->raise();
    window->activateWindow();
    return window;
}
