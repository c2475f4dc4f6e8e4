#include "mainwindow/smartmenu.h"

#include "chart/settingsstore.h"

#include <QCursor>
#include <QHBoxLayout>
#include <QIcon>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QTabWidget>
#include <QToolBar>

namespace {

QString menuModeKey()
{
    return QStringLiteral("application/tracer/menu_mode");
}

bool isKnownMode(int mode)
{
    return mode >= SmartMenu::Tabs && mode <= SmartMenu::MenusAndToolbars;
}

} // namespace

SmartMenu::SmartMenu(QMainWindow *mainWindow, QWidget *parent)
    : QWidget(parent)
    , m_mainWindow(mainWindow)
    , m_layout(new QHBoxLayout(this))
{
    setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::Fixed);
    m_layout->setSpacing(0);
    m_layout->setContentsMargins(0, 0, 0, 0);

    {
        const QSettings store = openSettingsStore();
        m_mode = MenuMode(store.value(menuModeKey(), 0).toInt());
    }

    // An unknown stored mode hides nothing: menu bar and tab row both stay
    // until the user picks a mode.
    switch (m_mode) {
    case Tabs:
        setMenuBarVisible(false);
        break;
    case Toolbars:
        setMenuBarVisible(false);
        hide();
        break;
    case Menus:
    case MenusAndToolbars:
        hide();
        break;
    }
}

SmartMenu::~SmartMenu()
{
    QSettings store = openSettingsStore();
    store.setValue(menuModeKey(), int(m_mode));
}

void SmartMenu::addGroup(int index, const QIcon &icon, const QString &title)
{
    removeGroup(index);

    MenuGroup group;
    group.toolbar = new QToolBar(this);
    group.tabToolBar = new QToolBar(this);
    group.tabWidget = new QTabWidget(this);
    group.menu = new QMenu(title, this);

    // The title names the toolbar in the main window's toolbar context menu.
    group.toolbar->setWindowTitle(title);
    group.toolbar->setIconSize(QSize(16, 16));
    group.toolbar->setVisible(showsToolbars(m_mode));
    group.tabToolBar->setIconSize(QSize(24, 24));
    group.tabWidget->addTab(group.tabToolBar, icon, title);

    // Row, toolbar area and menu bar keep the groups in index order whatever
    // order they are added in.
    const auto next = m_groups.upperBound(index);
    const bool last = next == m_groups.end();
    m_layout->insertWidget(last ? -1 : m_layout->indexOf(next->tabWidget), group.tabWidget);
    if (m_mainWindow) {
        QMenuBar *menuBar = m_mainWindow->menuBar();
        if (last) {
            m_mainWindow->addToolBar(group.toolbar);
            menuBar->addMenu(group.menu);
        } else {
            m_mainWindow->insertToolBar(next->toolbar, group.toolbar);
            menuBar->insertMenu(next->menu->menuAction(), group.menu);
        }
    }

    m_groups.insert(index, group);
    relayoutTabs();
}

void SmartMenu::addGroupAction(int index, QAction *action)
{
    const auto it = m_groups.constFind(index);
    if (it == m_groups.cend())
        return;
    it->toolbar->addAction(action);
    it->tabToolBar->addAction(action);
    it->menu->addAction(action);
}

void SmartMenu::addGroupSeparator(int index)
{
    const auto it = m_groups.constFind(index);
    if (it == m_groups.cend())
        return;
    it->toolbar->addSeparator();
    it->tabToolBar->addSeparator();
    it->menu->addSeparator();
}

void SmartMenu::setGroupEnabled(int index, bool enabled)
{
    const auto it = m_groups.constFind(index);
    if (it == m_groups.cend())
        return;
    it->tabWidget->setVisible(enabled);
    if (showsToolbars(m_mode))
        it->toolbar->setVisible(enabled);
    // A disabled menu greys its title in the menu bar.
    it->menu->setEnabled(enabled);
    relayoutTabs();
}

void SmartMenu::setMode(int mode)
{
    // An unknown mode would leave the presentation matching none of the four
    // and later switches unable to tell which toolbars are showing.
    if (mode == m_mode || !isKnownMode(mode))
        return;

    // Toolbars are hidden in every mode but two, an unknown stored one included.
    const bool toolbarsWereShown = showsToolbars(m_mode);
    const bool toolbarsShown = showsToolbars(mode);
    if (toolbarsWereShown != toolbarsShown) {
        for (const MenuGroup &group : std::as_const(m_groups))
            group.toolbar->setVisible(toolbarsShown && isGroupEnabled(group));
    }
    setMenuBarVisible(mode == Menus || mode == MenusAndToolbars);
    setVisible(mode == Tabs);
    m_mode = MenuMode(mode);
}

QToolBar *SmartMenu::groupToolBar(int index) const
{
    const auto it = m_groups.constFind(index);
    if (it == m_groups.cend())
        return nullptr;
    // Callers place popups at the returned toolbar's buttons, so it is the one
    // that shows: the tab row also shows while the stored mode is unknown.
    return isKnownMode(m_mode) && m_mode != Tabs ? it->toolbar : it->tabToolBar;
}

void SmartMenu::popupGroupMenu(int index, QAction *action) const
{
    QMenu *menu = action->menu();
    if (!menu)
        return;
    const QToolBar *toolBar = groupToolBar(index);
    const QWidget *button = toolBar ? toolBar->widgetForAction(action) : nullptr;
    if (!button || !m_mainWindow) {
        // No button to hang the menu from: open it where the user is.
        menu->popup(QCursor::pos());
        return;
    }
    const QRect moved = button->geometry().translated(popupOffset(index, button->height()));
    menu->popup(m_mainWindow->mapToGlobal(moved.bottomLeft()));
}

// A button's geometry is in its toolbar's coordinates: the offset moves it
// right past the toolbars of the groups before this one and down below the
// button (pixels).
QPoint SmartMenu::popupOffset(int index, int buttonHeight) const
{
    // The frames that the tabs of the groups before this one add (groups 0 to 2 carry submenus).
    constexpr int tabFrames[] = {0, 10, 12};
    int dx = m_mode == Tabs ? tabFrames[qMin(index, 2)] : 0;
    for (auto it = m_groups.cbegin(); it != m_groups.cend() && it.key() < index; ++it)
        dx += groupToolBar(it.key())->width();
    // In the toolbar mode the menu covers the button's lower 20 pixels.
    const int dy = m_mode == Toolbars ? buttonHeight - 20 : buttonHeight + (index == 0 ? 0 : 2);
    return {dx, dy};
}

void SmartMenu::relayoutTabs()
{
    bool spareWidthTaken = false;
    for (auto it = m_groups.cend(); it != m_groups.cbegin();) {
        --it;
        if (!isGroupEnabled(*it))
            continue;
        it->tabWidget->setSizePolicy(spareWidthTaken ? QSizePolicy::Minimum : QSizePolicy::MinimumExpanding,
                                     QSizePolicy::Fixed);
        spareWidthTaken = true;
    }
}

bool SmartMenu::isGroupEnabled(const MenuGroup &group) const
{
    // The group's own state, not one inherited from a disabled SmartMenu.
    return group.menu->isEnabledTo(this);
}

void SmartMenu::setMenuBarVisible(bool visible)
{
    if (m_mainWindow)
        m_mainWindow->menuBar()->setVisible(visible);
}

void SmartMenu::removeGroup(int index)
{
    const auto it = m_groups.find(index);
    if (it == m_groups.end())
        return;
    if (m_mainWindow)
        m_mainWindow->removeToolBar(it->toolbar);
    delete it->toolbar;
    delete it->tabToolBar;
    delete it->tabWidget;
    delete it->menu;
    m_groups.erase(it);
}
