#pragma once

#include <QHash>
#include <QString>
#include <array>

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;

// The viewer's menu bar, its grid's popup menu and its toolbar, built from
// tables of object names, captions, shortcuts and tips. Every action is owned
// by the window and carries the object name of its control, so that it can be
// found by name; the window connects the handlers.
class ViewerActions
{
public:
    explicit ViewerActions(QMainWindow* window);

    // A menu item or popup item by object name ("mFileFind"); null if there is none.
    QAction* item(const QString& name) const;
    // The View menu item and the toolbar button of level 0 to 3.
    QAction* levelItem(int level) const { return m_levelItems[static_cast<size_t>(level)]; }
    QAction* levelButton(int level) const { return m_levelButtons[static_cast<size_t>(level)]; }
    // A toolbar button by key ("PRINT", "DELETE", ...); null if there is none.
    QAction* toolbarButton(const QString& key) const;
    QToolBar* toolbar() const { return m_toolbar; }
    QMenu* popup() const { return m_popup; }

    // Gives every toolbar button the image of its key.
    void setToolbarIcons() const;

private:
    void buildMenus();
    void buildToolbar();

    QMainWindow* m_window;
    QHash<QString, QAction*> m_items;
    QToolBar* m_toolbar = nullptr;
    QMenu* m_popup = nullptr;
    std::array<QAction*, 4> m_levelItems{};
    std::array<QAction*, 4> m_levelButtons{};
};
