#include "mainwindow/tracerwindow.h"

#include "app/helpviewer.h"
#include "app/tracefilereceiver.h"
#include "app/tracer.h"
#include "mainwindow/chartstatusbar.h"
#include "mainwindow/interfaceicon.h"
#include "mainwindow/itemtree.h"
#include "mainwindow/recentlist.h"
#include "mainwindow/smartmenu.h"
#include "mainwindow/viewmanager.h"
#include "mainwindow/windowgeometry.h"
#include "settings/settingswindow.h"
#include "views/bookmarkpanel.h"
#include "views/taskstatchart.h"

#include <QActionGroup>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollArea>
#include <QShortcut>
#include <QSplitter>
#include <QTableWidget>
#include <QTreeWidgetItem>
#include <QVBoxLayout>

using namespace ActionTable;

namespace {

struct GroupLook
{
    const char *icon; // file of the interface resources
    const char *title;
};

// The SmartMenu groups in index order (TracerWindow::Group).
constexpr GroupLook groupTable[] = {
    {"node_16.png", "File"},         {"tracer_16.png", "Tracer"},  {"views_16.png", "Views"},
    {"node_area_16.png", "Project"}, {"node_view_16.png", "Node"}, {"view_16.png", "View"},
    {"navigate_16.png", "Navigate"}, {"manual_24.png", "Help"},
};

} // namespace

// Every action but those of the Views, View and Navigate groups, which are the ViewManager's.
const Row<TracerWindow> TracerWindow::actionTable[] = {
    {{"action_OpenNode", "Open Node Tracefile", "folder_24.png", "Ctrl+N", FILE_GROUP},
     &TracerWindow::on_action_OpenNode_triggered},
    {separator(FILE_GROUP)},
    {{"action_RecentNodes", "Recent Node Tracefiles", "node_recent_24.png", nullptr, FILE_GROUP, Popup,
      "menu_RecentNodes"},
     nullptr,
     nullptr,
     &TracerWindow::m_actionRecentNodes},
    {{"action_RecentProjects", "Recent Projects", "node_area_recent_24.png", nullptr, FILE_GROUP, Popup,
      "menu_RecentProjects"},
     nullptr,
     nullptr,
     &TracerWindow::m_actionRecentProjects},

    {{"action_ToggleItemTree", "Toggle Node Tree", "items_24.png", "F5", TRACER_GROUP, Checked},
     nullptr,
     &TracerWindow::on_action_ToggleItemTree_toggled},
    {{"action_TogglePropBrowser", "Toggle Property Browser", "prop_browser_24.png", "F6", TRACER_GROUP,
      Checked},
     nullptr,
     &TracerWindow::on_action_TogglePropBrowser_toggled},
    {{"action_ToggleTaskStats", "Toggle Task Stats", "stats_24.png", "F7", TRACER_GROUP, Checked},
     nullptr,
     &TracerWindow::on_action_ToggleTaskStats_toggled},
    {separator(TRACER_GROUP)},
    {{"action_MenuMode", "Menu Mode", "menu_modes.png", nullptr, TRACER_GROUP, Popup, "menuModeMenu"},
     nullptr,
     nullptr,
     &TracerWindow::m_actionMenuMode},
    // In SmartMenu::MenuMode order: an entry's index is its mode.
    {{"action_ModeTabs", "Tabs", nullptr, nullptr, InSubmenu, Checkable}},
    {{"action_ModeToolbars", "Toolbars", nullptr, nullptr, InSubmenu, Checkable}},
    {{"action_ModeMenus", "Menus", nullptr, nullptr, InSubmenu, Checkable}},
    {{"action_ModeMenusAndToolbars", "Menus + Toolbars", nullptr, nullptr, InSubmenu, Checkable}},
    {separator(TRACER_GROUP)},
    {{"action_Settings", "Settings...", "settings_24.png", nullptr, TRACER_GROUP},
     &TracerWindow::on_action_Settings_triggered},

    {{"action_ViewNodes", "View All Project Nodes (Enter)", "nodes_view_24.png", nullptr, PROJECT_GROUP},
     &TracerWindow::on_action_ViewNodes_triggered},
    {separator(PROJECT_GROUP)},
    {{"action_CloseProject", "Close Project", "node_area_close_24.png", "Shift+F4", PROJECT_GROUP},
     &TracerWindow::on_action_CloseProject_triggered},

    {{"action_ViewNode", "View Node", "node_view_24.png", "Enter", NODE_GROUP, TreeKey},
     &TracerWindow::on_action_ViewNode_triggered},
    {{"action_ViewNodeApart", "View Node Apart", "node_view_apart_24.png", "Ctrl+Enter", NODE_GROUP, TreeKey},
     &TracerWindow::on_action_ViewNodeApart_triggered},
    {separator(NODE_GROUP)},
    {{"action_CloseNode", "Close Node", "node_close_24.png", "Ctrl+F4", NODE_GROUP},
     &TracerWindow::on_action_CloseNode_triggered},

    {{"action_Manual", "Help Contents", "manual_24.png", "F1", HELP_GROUP},
     &TracerWindow::on_action_Manual_triggered},
};

TracerWindow::TracerWindow(QWidget *parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags)
{
    setWindowTitle(QStringLiteral("Kestrelview") + QLatin1Char(' ') + QStringLiteral("3.5.3.2"));
    setWindowFlags(Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    QIcon icon;
    icon.addPixmap(QPixmap(interfaceIconPath("sarvek_kvt_32.png")), QIcon::Normal, QIcon::Off);
    setWindowIcon(icon);
    restoreWindowGeometry(this);

    m_smartMenu = new SmartMenu(this, this);
    createGroups();
    createActions();
    createCentralWidget();
    m_views = std::make_unique<ViewManager>(this, m_mdiArea, m_smartMenu);
    m_chartStatus = new ChartStatusBar(statusBar(), m_mdiArea);
    m_smartMenu->setGroupEnabled(PROJECT_GROUP, false);
    m_smartMenu->setGroupEnabled(NODE_GROUP, false);
    connectSignals();
}

TracerWindow::~TracerWindow()
{
    // Nothing may reach this window or the views' manager once it is half
    // destroyed: the tree reselects as its entries go, views announce their closing.
    if (theTracer)
        disconnect(theTracer, nullptr, this, nullptr);
    m_itemTree->disconnect(this);
    m_itemTree->blockSignals(true);
    m_views.reset();

    storeWindowGeometry(*this);
    m_recentNodes->save();
    m_recentProjects->save();

    // The project entries belong to their projects, not to the root entry.
    if (m_rootEntry) {
        const QList<QTreeWidgetItem *> projectEntries = m_rootEntry->takeChildren();
        Q_UNUSED(projectEntries)
    }
    m_rootEntry.reset();
}

void TracerWindow::createGroups()
{
    for (int index = 0; index < int(std::size(groupTable)); ++index) {
        const GroupLook &group = groupTable[index];
        m_smartMenu->addGroup(index, interfaceIcon(group.icon), QString::fromLatin1(group.title));
    }
}

void TracerWindow::createActions()
{
    const QVector<QAction *> actions = ActionTable::createActions(actionTable, this, this, m_smartMenu);
    // They share the actions of their groups, which stay enabled when a group is
    // disabled, so the menus offer them whatever the state of the groups.
    m_projectContextMenu = createContextMenu("projectContextMenu", PROJECT_GROUP, actions);
    m_nodeContextMenu = createContextMenu("nodeContextMenu", NODE_GROUP, actions);
    createStatisticsEntry();
    createMenuModes();
    createRecentLists();
    createCommonKeys();
}

void TracerWindow::createCommonKeys()
{
    // The keys most programs open files and quit with, beside the table's own:
    // the Open action's text and tooltip keep naming Ctrl+N alone.
    if (auto *open = findChild<QAction *>(QStringLiteral("action_OpenNode")))
        open->setShortcuts({open->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O)});
    // The window's own, in no group: it closes the window as its close box
    // does, which ends the program and writes the settings.
    auto *quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    connect(quit, &QShortcut::activated, this, &QWidget::close);
}

void TracerWindow::createStatisticsEntry()
{
    // The tree's own entry, in no group: the Navigate group's acts on the
    // current view, this one on the node the menu was opened on.
    m_nodeContextMenu->addSeparator();
    QAction *statistics =
        m_nodeContextMenu->addAction(interfaceIcon("statistics.png"), QStringLiteral("Statistics..."));
    statistics->setObjectName(QStringLiteral("action_NodeStatistics"));
    connect(statistics, &QAction::triggered, this, &TracerWindow::on_action_NodeStatistics_triggered);
}

QMenu *TracerWindow::createContextMenu(const char *name, int group, const QVector<QAction *> &actions)
{
    auto *menu = new QMenu(this);
    menu->setObjectName(QLatin1String(name));
    for (int row = 0; row < actions.size(); ++row) {
        if (actionTable[row].look.placement != group)
            continue;
        if (actions.at(row))
            menu->addAction(actions.at(row));
        else
            menu->addSeparator();
    }
    return menu;
}

void TracerWindow::createMenuModes()
{
    m_menuModesGroup = new QActionGroup(this);
    m_menuModesGroup->setExclusive(true);
    const QList<QAction *> modes = m_actionMenuMode->menu()->actions();
    for (QAction *mode : modes)
        m_menuModesGroup->addAction(mode);
    // A stored mode outside the four leaves every mode unchecked.
    const int mode = m_smartMenu->mode();
    if (mode >= 0 && mode < int(modes.size()))
        modes.at(mode)->setChecked(true);
}

void TracerWindow::createCentralWidget()
{
    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(2, 2, 2, 2);

    m_mainSplitter = new QSplitter(Qt::Horizontal);
    m_leftSplitter = new QSplitter(Qt::Vertical);

    m_itemTree = new ItemTree;
    m_itemTree->setHeaderLabel(QStringLiteral("Node Tree"));
    m_rootEntry.reset(new QTreeWidgetItem(0));
    m_rootEntry->setText(0, QStringLiteral("Kestrelview"));
    m_rootEntry->setIcon(0, interfaceIcon("node_view_16.png"));
    m_rootEntry->setData(0, CategoryRole, int(TracerItem::NONE));
    m_rootEntry->setData(0, ItemRole, TracerItem::itemData(nullptr));
    m_itemTree->addTopLevelItem(m_rootEntry.data());

    m_propertyTable = new QTableWidget(0, 2);
    m_propertyTable->setFocusPolicy(Qt::NoFocus);
    m_propertyTable->setHorizontalHeaderLabels({QStringLiteral("Property"), QStringLiteral("Value")});
    m_propertyTable->horizontalHeader()->setStretchLastSection(true);
    m_propertyTable->verticalHeader()->hide();

    m_taskStatsArea = new QScrollArea;
    m_taskStatChart = new TaskStatChart;
    m_taskStatsArea->setWidget(m_taskStatChart);
    m_taskStatsArea->setWidgetResizable(true);
    m_taskStatsArea->resize(100, 100);

    m_mdiArea = new QMdiArea;
    m_mdiArea->setViewMode(QMdiArea::TabbedView);

    m_leftSplitter->addWidget(m_itemTree);
    m_leftSplitter->addWidget(m_propertyTable);
    m_leftSplitter->addWidget(m_taskStatsArea);
    m_mainSplitter->addWidget(m_leftSplitter);
    m_mainSplitter->addWidget(m_mdiArea);
    m_mainSplitter->setStretchFactor(0, 0);
    m_mainSplitter->setStretchFactor(1, 1);

    layout->addWidget(m_smartMenu, 0);
    layout->addWidget(m_mainSplitter, 0);
    setCentralWidget(central);

    m_bookmarkPanel = new BookmarkPanel(this);
    addDockWidget(Qt::RightDockWidgetArea, m_bookmarkPanel);
    m_bookmarkPanel->hide();
}

void TracerWindow::connectSignals()
{
    if (theTracer) {
        connect(theTracer, &Tracer::settingsUpdatingNotify, this, &TracerWindow::on_settingsUpdatingNotify);
        connect(theTracer, &Tracer::curTracerItem_Changed, this, &TracerWindow::on_curTracerItem_Changed);
        connect(m_views.get(), &ViewManager::curNode_Changed, theTracer, &Tracer::on_curNode_Changed);
        if (TraceFileReceiver *receiver = theTracer->receiver())
            connect(receiver, &TraceFileReceiver::addNodeFromReceiver, this,
                    &TracerWindow::on_addNodeFromReceiver);
    }
    connect(m_menuModesGroup, &QActionGroup::triggered, this,
            &TracerWindow::on_action_MenuModesGroup_Select_triggered);
    connect(m_recentNodes->menu(), &QMenu::triggered, this, &TracerWindow::on_menu_RecentNodes_triggered);
    connect(m_recentProjects->menu(), &QMenu::triggered, this,
            &TracerWindow::on_menu_RecentProjects_triggered);
    connect(m_itemTree, &QTreeWidget::currentItemChanged, this,
            &TracerWindow::on_itemTree_currentItemChanged);
    connect(m_itemTree, &ItemTree::itemTree_contextMenu, this, &TracerWindow::on_itemTree_contextMenu);
    connect(m_itemTree, &ItemTree::itemTree_doubleClicked, this, &TracerWindow::on_itemTree_doubleClicked);
    connect(m_itemTree, &ItemTree::itemTree_keyPressed, this, &TracerWindow::on_itemTree_keyPressed);
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow *window) {
        if (NodeViewWindow *view = ViewManager::nodeView(window))
            m_bookmarkPanel->setChart(view->chart());
    });
    QAction *panel = findChild<QAction *>(QStringLiteral("action_Navigate_Bookmarks"));
    connect(panel, &QAction::toggled, m_bookmarkPanel, &QWidget::setVisible);
    connect(m_bookmarkPanel->toggleViewAction(), &QAction::toggled, panel, &QAction::setChecked);
}

void TracerWindow::viewNode(Node *node, bool apart)
{
    m_views->viewNode(node, apart);
}

// ---------------------------------------------------------------- Tracer and Help groups

void TracerWindow::togglePanel(QWidget *panel, bool checked, const QWidget *other1, const QWidget *other2)
{
    panel->setVisible(checked);
    if (checked)
        m_leftSplitter->show();
    else if (!other1->isVisibleTo(this) && !other2->isVisibleTo(this))
        m_leftSplitter->hide();
}

void TracerWindow::on_action_ToggleItemTree_toggled(bool checked)
{
    togglePanel(m_itemTree, checked, m_propertyTable, m_taskStatsArea);
}

void TracerWindow::on_action_TogglePropBrowser_toggled(bool checked)
{
    togglePanel(m_propertyTable, checked, m_itemTree, m_taskStatsArea);
}

void TracerWindow::on_action_ToggleTaskStats_toggled(bool checked)
{
    togglePanel(m_taskStatsArea, checked, m_propertyTable, m_itemTree);
}

void TracerWindow::on_action_MenuModesGroup_Select_triggered(QAction *action)
{
    m_smartMenu->setMode(int(m_menuModesGroup->actions().indexOf(action)));
}

SettingsWindow *TracerWindow::settingsWindow() const
{
    return m_settingsWindow.data();
}

void TracerWindow::on_action_Settings_triggered()
{
    // OK and Cancel only hide the dialog, so a former one may still be
    // around: it goes now rather than with the window.
    delete m_settingsWindow.data();
    auto *dialog = new SettingsWindow(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_settingsWindow = dialog;
    dialog->show();
}

void TracerWindow::on_action_Manual_triggered()
{
    if (theTracer)
        theTracer->sendHelpCommand(HelpViewer::manualStartCommand());
}
