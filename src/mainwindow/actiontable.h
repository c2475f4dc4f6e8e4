#pragma once

#include <QAction>
#include <QVector>

#include <cstddef>

class QMenu;
class QWidget;
class SmartMenu;

// A window's actions as a constant table: one row per action, in the order in
// which the actions appear in their groups and submenus. A row says how its
// action looks, where it goes and which member function it reaches.
namespace ActionTable {

// The placement of an entry of the submenu that the nearest row above carries.
constexpr int InSubmenu = -1;

enum Flag : int {
    Checkable = 0x1,
    Checked = 0x2 | Checkable, // checkable, and checked at start
    // The key is the item tree's (Enter, Ctrl+Enter): the tooltip names it, no shortcut takes it.
    TreeKey = 0x4,
    // A click on the toolbar button pops up the submenu that the action carries.
    Popup = 0x8,
};

struct Look
{
    const char *name; // object name; null makes the row a separator in its group
    const char *text;
    const char *icon; // file of the interface resources; null for none
    const char *key;  // shortcut, named in the tooltip "text (key)"; null for none
    int placement;    // SmartMenu group index, or InSubmenu
    int flags = 0;
    const char *submenu = nullptr; // object name of the submenu the action carries; null for none
};

constexpr Look separator(int group)
{
    return {nullptr, nullptr, nullptr, nullptr, group};
}

template<class Receiver> struct Row
{
    Look look;
    void (Receiver::*triggered)() = nullptr;
    // Reached by every change of a checkable action's state, the program's own included.
    void (Receiver::*toggled)(bool) = nullptr;
    QAction *Receiver::*keep = nullptr; // where the receiver keeps the action
};

// Creates the action of one row, parented by `owner`, and puts it into its
// group of `smartMenu` or into `submenu`; a carrier makes its own submenu the
// next `submenu`. Null for a separator, which goes into its group.
QAction *createAction(const Look &look, QWidget *owner, SmartMenu *smartMenu, QMenu *&submenu);

// Creates the actions of all rows in order, hands them to `receiver` and
// connects them. The result holds each row's action, null for separators.
template<class Receiver, std::size_t Count>
QVector<QAction *> createActions(const Row<Receiver> (&rows)[Count], Receiver *receiver, QWidget *owner,
                                 SmartMenu *smartMenu)
{
    QVector<QAction *> actions;
    QMenu *submenu = nullptr;
    for (const Row<Receiver> &row : rows) {
        QAction *action = createAction(row.look, owner, smartMenu, submenu);
        actions.append(action);
        if (!action)
            continue;
        if (row.keep)
            receiver->*row.keep = action;
        if (row.triggered)
            QObject::connect(action, &QAction::triggered, receiver, row.triggered);
        if (row.toggled)
            QObject::connect(action, &QAction::toggled, receiver, row.toggled);
    }
    return actions;
}

} // namespace ActionTable
