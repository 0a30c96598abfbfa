#include "ViewerActions.h"

#include "AuditLevels.h"
#include "LevelIcons.h"

#include <QAction>
#include <QKeySequence>
#include <QList>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

namespace {

// One control of a menu: a command, the check item of a level, or a separator
// (named too, so that every control of the menus can be found by name).
struct MenuItem
{
    enum Kind
    {
        Command,
        Level,
        Separator
    };
    Kind kind;
    const char* name;
    const char* caption = nullptr; // commands; a level item shows its level's caption
    QKeySequence shortcut = {};
    int level = -1;
};

MenuItem command(const char* name, const char* caption, const QKeySequence& shortcut = {})
{
    return {MenuItem::Command, name, caption, shortcut};
}

MenuItem level(const char* name, int value)
{
    return {MenuItem::Level, name, nullptr, {}, value};
}

MenuItem separator(const char* name)
{
    return {MenuItem::Separator, name};
}

struct Menu
{
    const char* name;
    const char* caption;
    QList<MenuItem> items;
};

const QList<Menu>& menuBarMenus()
{
    static const QList<Menu> menus = {
        {"mFile",
         "&File",
         {command("mFilePrint", "&Print...", QKeySequence::Print), separator("mFileSep1"),
          command("mFileDelete", "&Delete..."),
          command("mFileFind", "&Find...", QKeySequence::Find), separator("mFileSep2"),
          command("mFileExit", "E&xit", QKeySequence(Qt::CTRL | Qt::Key_Q))}},
        {"mView",
         "&View",
         {level("mViewStatus", 0), level("mViewWarnings", 1), level("mViewErrors", 2),
          level("mViewFatal", 3), separator("mViewSep1"), command("mViewDetails", "&Details..."),
          command("mViewRefresh", "&Refresh", QKeySequence::Refresh), separator("mViewSep2"),
          command("mViewFilter", "F&ilter Fields..."), separator("mViewSep3"),
          command("mViewPreferences", "&Preferences..."),
          command("mViewEmailNotificationPreferences", "Email &Notification Preferences...")}},
        {"mHelp",
         "&Help",
         {command("mHelpTopics", "&Help Topics", QKeySequence::HelpContents),
          command("mHelpAbout", "&About Audit Log Viewer...")}},
    };
    return menus;
}

// Not on the menu bar: the grid's right-click menu.
const Menu& popupMenu()
{
    static const Menu popup = {"mPopup",
                               "popup",
                               {command("mPopupDetails", "&Details..."), separator("mPopupSep1"),
                                command("mPopupDelete", "Delete")}};
    return popup;
}

// Toolbar buttons in order, by key and tip; an empty key stands for a
// separator. A level button has its level's tip.
struct ToolbarButton
{
    const char* key;
    const char* tip;
};

constexpr std::array<ToolbarButton, 12> toolbarButtons = {{
    {"PRINT", "Print Report"},
    {"FIND", "Find"},
    {"REFRESH", "Refresh"},
    {"DETAILS", "View Details"},
    {"DELETE", "Delete"},
    {"", nullptr},
    {"STATUS", nullptr},
    {"WARNING", nullptr},
    {"ERROR", nullptr},
    {"FATAL", nullptr},
    {"", nullptr},
    {"HELP", "Help"},
}};

} // namespace

ViewerActions::ViewerActions(QMainWindow* window) : m_window(window)
{
    buildMenus();
    buildToolbar();
}

QAction* ViewerActions::item(const QString& name) const
{
    return m_items.value(name);
}

QAction* ViewerActions::toolbarButton(const QString& key) const
{
    for (QAction* action : m_toolbar->actions())
        if (action->objectName() == key)
            return action;
    return nullptr;
}

void ViewerActions::setToolbarIcons() const
{
    for (const ToolbarButton& entry : toolbarButtons)
        if (QAction* button = *entry.key ? toolbarButton(QLatin1String(entry.key)) : nullptr)
            button->setIcon(LevelIcons::forKey(button->objectName()));
}

void ViewerActions::buildMenus()
{
    auto fill = [this](QMenu* menu, const Menu& table) {
        menu->setObjectName(QLatin1String(table.name));
        for (const MenuItem& entry : table.items) {
            const QString name = QLatin1String(entry.name);
            if (entry.kind == MenuItem::Separator) {
                menu->addSeparator()->setObjectName(name);
                continue;
            }
            const bool isLevel = entry.kind == MenuItem::Level;
            const QString caption =
                isLevel ? AuditLevels()[static_cast<size_t>(entry.level)].viewMenuCaption
                        : QString::fromLatin1(entry.caption);
            auto* action = new QAction(caption, m_window);
            action->setObjectName(name);
            action->setShortcut(entry.shortcut);
            if (isLevel) {
                // No icon: a menu item with one shows its check state only as a
                // faint frame round the icon; the toolbar carries the level icons.
                action->setCheckable(true);
                m_levelItems[static_cast<size_t>(entry.level)] = action;
            }
            menu->addAction(action);
            m_items.insert(name, action);
        }
    };
    for (const Menu& table : menuBarMenus())
        fill(m_window->menuBar()->addMenu(QString::fromLatin1(table.caption)), table);
    m_popup = new QMenu(QString::fromLatin1(popupMenu().caption), m_window);
    fill(m_popup, popupMenu());
}

void ViewerActions::buildToolbar()
{
    m_toolbar = m_window->addToolBar(QStringLiteral("Toolbar"));
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    m_toolbar->setIconSize(QSize(22, 22));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);

    for (const ToolbarButton& entry : toolbarButtons) {
        const QString key = QLatin1String(entry.key);
        if (key.isEmpty()) {
            m_toolbar->addSeparator();
            continue;
        }
        const auto level = AuditLevelByKeyword(key);
        const QString tip = level ? level->toolbarTip : QString::fromLatin1(entry.tip);
        auto* button = new QAction(tip, m_window);
        button->setObjectName(key);
        button->setToolTip(tip);
        if (level) {
            button->setCheckable(true);
            m_levelButtons[static_cast<size_t>(level->value)] = button;
        }
        m_toolbar->addAction(button);
        // The button widget answers to the key too, so it can be found and clicked.
        if (QWidget* widget = m_toolbar->widgetForAction(button))
            widget->setObjectName(key);
    }
}
