#pragma once

#include <QMap>
#include <QPointer>
#include <QWidget>

class QAction;
class QHBoxLayout;
class QIcon;
class QMainWindow;
class QMenu;
class QPoint;
class QTabWidget;
class QToolBar;

// Presents the main window's numbered action groups in one of four menu modes:
// a row of tabs inside the window (this widget), main-window toolbars, menus in
// the menu bar, or menus and toolbars together. The mode is read from the
// settings store when the widget is created and written back when it goes.
class SmartMenu : public QWidget
{
    Q_OBJECT
public:
    // Stored and passed as int. The fixed underlying type lets a value outside
    // the four read from the store live here too.
    enum MenuMode : int { Tabs = 0, Toolbars = 1, Menus = 2, MenusAndToolbars = 3 };

    // `mainWindow` lends its menu bar and toolbar area; it is not owned.
    SmartMenu(QMainWindow *mainWindow, QWidget *parent);
    ~SmartMenu() override;

    // Adding an index again replaces the group, widgets and all.
    void addGroup(int index, const QIcon &icon, const QString &title);
    // Appends to the group's toolbar, tab toolbar and menu; an unknown index does nothing.
    void addGroupAction(int index, QAction *action);
    void addGroupSeparator(int index);
    // A disabled group loses its tab and toolbar and has its menu greyed; its
    // actions stay enabled, so other menus that share them still offer them.
    void setGroupEnabled(int index, bool enabled);

    // Values outside the four modes are ignored.
    void setMode(int mode);
    MenuMode mode() const { return m_mode; }

    // The toolbar that shows the group in the current mode: the tab's in Tabs
    // mode and while an unknown stored mode shows the tab row, the main
    // window's otherwise; null for an unknown index.
    QToolBar *groupToolBar(int index) const;
    // Pops up the submenu that `action` carries below the action's button in
    // the group's toolbar; at the cursor when no button shows it.
    void popupGroupMenu(int index, QAction *action) const;

    // Lets the rightmost enabled group's tab take the spare width of the row.
    void relayoutTabs();

private:
    struct MenuGroup
    {
        QToolBar *toolbar = nullptr;    // main-window toolbar, 16 px icons
        QToolBar *tabToolBar = nullptr; // page of tabWidget, 24 px icons
        QTabWidget *tabWidget = nullptr;
        QMenu *menu = nullptr;
    };

    static bool showsToolbars(int mode) { return mode == Toolbars || mode == MenusAndToolbars; }
    QPoint popupOffset(int index, int buttonHeight) const;
    bool isGroupEnabled(const MenuGroup &group) const;
    void setMenuBarVisible(bool visible);
    void removeGroup(int index);

    MenuMode m_mode = Tabs;
    QPointer<QMainWindow> m_mainWindow;
    QHBoxLayout *m_layout = nullptr;
    QMap<int, MenuGroup> m_groups;
};
