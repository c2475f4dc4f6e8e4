#include "mainwindow/actiontable.h"

#include "mainwindow/interfaceicon.h"
#include "mainwindow/smartmenu.h"

#include <QKeySequence>
#include <QMenu>

namespace {

QMenu *attachSubmenu(QAction *action, const ActionTable::Look &look, QWidget *owner, SmartMenu *smartMenu)
{
    auto *menu = new QMenu(owner);
    menu->setObjectName(QLatin1String(look.submenu));
    action->setMenu(menu);
    if (look.flags & ActionTable::Popup) {
        const int group = look.placement;
        QObject::connect(action, &QAction::triggered, smartMenu,
                         [smartMenu, group, action] { smartMenu->popupGroupMenu(group, action); });
    }
    return menu;
}

} // namespace

QAction *ActionTable::createAction(const Look &look, QWidget *owner, SmartMenu *smartMenu, QMenu *&submenu)
{
    if (!look.name) {
        smartMenu->addGroupSeparator(look.placement);
        return nullptr;
    }
    auto *action = new QAction(QString::fromLatin1(look.text), owner);
    action->setObjectName(QLatin1String(look.name));
    if (look.icon)
        action->setIcon(interfaceIcon(look.icon));
    if (look.key) {
        const QString key = QString::fromLatin1(look.key);
        action->setToolTip(action->text() + QStringLiteral(" (") + key + QLatin1Char(')'));
        if (!(look.flags & TreeKey))
            action->setShortcut(QKeySequence(key));
    }
    if (look.flags & Checkable) {
        action->setCheckable(true);
        action->setChecked((look.flags & Checked) == Checked);
    }
    if (look.submenu)
        submenu = attachSubmenu(action, look, owner, smartMenu);
    if (look.placement == InSubmenu)
        submenu->addAction(action);
    else
        smartMenu->addGroupAction(look.placement, action);
    return action;
}
