#include "mainwindow/tracerwindow.h"

#include "app/helpviewer.h"
#include "app/tracefilereceiver.h"
#include "app/tracer.h"
#include "chart/settingsstore.h"
#include "mainwindow/itemtree.h"
#include "mainwindow/smartmenu.h"
#include "settings/settingswindow.h"
#include "trace/node.h"
#include "trace/project.h"
#include "views/taskstatchart.h"

#include <QAction>
#include <QActionGroup>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QScrollArea>
#include <QSettings>
#include <QSplitter>
#include <QTableWidget>
#include <QToolBar>
#include <QTreeWidgetItem>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The project an item of the item tree stands in, or null: an event-list
// selection (a range or one event) names no project.
Project *projectOf(TracerItem *item, TracerItem::TracerItemCategory category)
{
    switch (category) {
    case TracerItem::PROJECT:
        return qobject_cast<Project *>(item);
    case TracerItem::NODE:
    case TracerItem::TASKS:
    case TracerItem::HUBS: {
        auto *node = qobject_cast<Node *>(item);
        return node ? node->project() : nullptr;
    }
    case TracerItem::TASK:
    case TracerItem::HUB: {
        auto *part = qobject_cast<NodeItem *>(item);
        return part && part->node() ? part->node()->project() : nullptr;
    }
    default:
        return nullptr;
    }
}

QString resourceIcon(const QString &file)
{
    return QStringLiteral(":/interface/resources/") + file;
}

const QString widthKey = QStringLiteral("application/main_window/width");
const QString heightKey = QStringLiteral("application/main_window/height");
const QString leftKey = QStringLiteral("application/main_window/left");
const QString topKey = QStringLiteral("application/main_window/top");
const QString maximizedKey = QStringLiteral("application/main_window/maximized");
const QString recentNodesKey = QStringLiteral("application/recent_nodes");
const QString recentProjectsKey = QStringLiteral("application/recent_projects");
const QString recentNodeField = QStringLiteral("node");
const QString recentProjectField = QStringLiteral("project");

QIcon nodeIcon()
{
    return QIcon(resourceIcon(QStringLiteral("node_16.png")));
}

QIcon projectIcon()
{
    return QIcon(resourceIcon(QStringLiteral("node_area_16.png")));
}

// Empties a recent menu and deletes its entries: they belong to the window,
// so clearing the menu alone would keep them until the program ends.
void clearRecentMenu(QMenu *menu)
{
    const QList<QAction *> entries = menu->actions();
    menu->clear();
    qDeleteAll(entries);
}

// Appends at most `limit` stored entries, newest first, to `menu`.
void loadRecentList(QMenu *menu, QObject *owner, const QString &arrayKey, const QString &field, int limit,
                    const QIcon &icon)
{
    QSettings store = openSettingsStore();
    const int count = qMin(store.beginReadArray(arrayKey), limit);
    for (int i = 0; i < count; ++i) {
        store.setArrayIndex(i);
        const QString text = store.value(field, QVariant()).toString();
        // An entry without text would only ever open "nothing".
        if (!text.isEmpty())
            menu->addAction(new QAction(icon, text, owner));
    }
    store.endArray();
}

void saveRecentList(const QMenu *menu, const QString &arrayKey, const QString &field)
{
    QSettings store = openSettingsStore();
    store.beginWriteArray(arrayKey);
    const QList<QAction *> entries = menu->actions();
    for (int i = 0; i < entries.size(); ++i) {
        store.setArrayIndex(i);
        store.setValue(field, entries.at(i)->text());
    }
    store.endArray();
}

// Whether `entry` is `ancestor` or lies below it.
bool isWithin(const QTreeWidgetItem *entry, const QTreeWidgetItem *ancestor)
{
    for (; entry; entry = entry->parent()) {
        if (entry == ancestor)
            return true;
    }
    return false;
}

NodeViewWindow *nodeView(QMdiSubWindow *window)
{
    auto *view = qobject_cast<NodeViewWindow *>(window);
    return view && view->windowKind() == ViewWindow::NODE_VIEW ? view : nullptr;
}

} // namespace

TracerWindow::TracerWindow(QWidget *parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags)
{
    setWindowTitle(QStringLiteral("Kestrelview") + QLatin1Char(' ') + QStringLiteral("3.5.3.2"));
    setWindowFlags(Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    QIcon icon;
    icon.addPixmap(QPixmap(resourceIcon(QStringLiteral("sarvek_kvt_32.png"))), QIcon::Normal, QIcon::Off);
    setWindowIcon(icon);

    restoreGeometry();
    m_smartMenu = new SmartMenu(this, this);
    createActions();
    createGroups();
    setViewGroupsEnabled(false);
    m_smartMenu->setGroupEnabled(PROJECT_GROUP, false);
    m_smartMenu->setGroupEnabled(NODE_GROUP, false);
    createContextMenus();
    createCentralWidget();
    connectSignals();
}

TracerWindow::~TracerWindow()
{
    // Nothing may reach this window's slots once it is half destroyed: the
    // tree reselects as its entries go, views announce their closing.
    if (theTracer)
        disconnect(theTracer, nullptr, this, nullptr);
    m_itemTree->disconnect(this);
    m_itemTree->blockSignals(true);
    m_mdiArea->disconnect(this);
    const QList<QMdiSubWindow *> views = m_mdiArea->subWindowList();
    for (QMdiSubWindow *view : views)
        view->disconnect(this);

    saveGeometry();
    saveRecentNodes();
    saveRecentProjects();

    // The project entries belong to their projects, not to the root entry.
    if (m_rootEntry) {
        const QList<QTreeWidgetItem *> projectEntries = m_rootEntry->takeChildren();
        Q_UNUSED(projectEntries)
    }
    m_rootEntry.reset();
}

void TracerWindow::restoreGeometry()
{
    const QSettings store = openSettingsStore();
    resize(store.value(widthKey, 500).toInt(), store.value(heightKey, 400).toInt());
    move(store.value(leftKey, 0).toInt(), store.value(topKey, 0).toInt());
    if (store.value(maximizedKey, false).toBool())
        setWindowState(windowState() | Qt::WindowMaximized);
}

void TracerWindow::saveGeometry()
{
    QSettings store = openSettingsStore();
    const bool maximized = windowState().testFlag(Qt::WindowMaximized);
    store.setValue(maximizedKey, maximized);
    // A maximized window keeps the last normal geometry in the store.
    if (maximized)
        return;
    store.setValue(heightKey, QString::number(height(), 10));
    store.setValue(widthKey, QString::number(width(), 10));
    store.setValue(leftKey, QString::number(pos().x(), 10));
    store.setValue(topKey, QString::number(pos().y(), 10));
}

QAction *TracerWindow::makeAction(const char *name, const QString &text, const QString &icon)
{
    auto *action = new QAction(text, this);
    action->setObjectName(QLatin1String(name));
    if (!icon.isEmpty())
        action->setIcon(QIcon(resourceIcon(icon)));
    return action;
}

void TracerWindow::createActions()
{
    const auto withKey = [](QAction *action, const QString &tip, const QKeySequence &key) {
        action->setToolTip(tip);
        action->setShortcut(key);
    };
    const auto withMenu = [this](QAction *action, const char *name) {
        auto *menu = new QMenu(this);
        menu->setObjectName(QLatin1String(name));
        action->setMenu(menu);
        return menu;
    };

    m_actionOpenNode =
        makeAction("action_OpenNode", QStringLiteral("Open Node Tracefile"), QStringLiteral("folder_24.png"));
    withKey(m_actionOpenNode, QStringLiteral("Open Node Tracefile (Ctrl+N)"),
            QKeySequence(QStringLiteral("Ctrl+N")));
    m_actionRecentNodes = makeAction("action_RecentNodes", QStringLiteral("Recent Node Tracefiles"),
                                     QStringLiteral("node_recent_24.png"));
    m_menuRecentNodes = withMenu(m_actionRecentNodes, "menu_RecentNodes");
    loadRecentNodes();
    m_actionRecentProjects = makeAction("action_RecentProjects", QStringLiteral("Recent Projects"),
                                        QStringLiteral("node_area_recent_24.png"));
    m_menuRecentProjects = withMenu(m_actionRecentProjects, "menu_RecentProjects");
    loadRecentProjects();

    const auto toggle = [&](const char *name, const QString &text, const QString &tip, const char *key,
                            const QString &icon) {
        QAction *action = makeAction(name, text, icon);
        withKey(action, tip, QKeySequence(QLatin1String(key)));
        action->setCheckable(true);
        action->setChecked(true);
        return action;
    };
    m_actionToggleItemTree =
        toggle("action_ToggleItemTree", QStringLiteral("Toggle Node Tree"),
               QStringLiteral("Toggle Node Tree (F5)"), "F5", QStringLiteral("items_24.png"));
    m_actionTogglePropBrowser =
        toggle("action_TogglePropBrowser", QStringLiteral("Toggle Property Browser"),
               QStringLiteral("Toggle Property Browser (F6)"), "F6", QStringLiteral("prop_browser_24.png"));
    m_actionToggleTaskStats =
        toggle("action_ToggleTaskStats", QStringLiteral("Toggle Task Stats"),
               QStringLiteral("Toggle Task Stats (F7)"), "F7", QStringLiteral("stats_24.png"));

    m_actionMenuMode =
        makeAction("action_MenuMode", QStringLiteral("Menu Mode"), QStringLiteral("menu_modes.png"));
    m_menuModeMenu = withMenu(m_actionMenuMode, "menuModeMenu");
    m_menuModesGroup = new QActionGroup(this);
    m_menuModesGroup->setExclusive(true);
    m_actionModeTabs = makeAction("action_ModeTabs", QStringLiteral("Tabs"), QString());
    m_actionModeToolbars = makeAction("action_ModeToolbars", QStringLiteral("Toolbars"), QString());
    m_actionModeMenus = makeAction("action_ModeMenus", QStringLiteral("Menus"), QString());
    m_actionModeMenusAndToolbars =
        makeAction("action_ModeMenusAndToolbars", QStringLiteral("Menus + Toolbars"), QString());
    const QList<QAction *> modeActions{m_actionModeTabs, m_actionModeToolbars, m_actionModeMenus,
                                       m_actionModeMenusAndToolbars};
    for (QAction *action : modeActions) {
        action->setCheckable(true);
        m_menuModeMenu->addAction(action);
        m_menuModesGroup->addAction(action);
    }
    // A stored mode outside the four leaves every mode unchecked.
    const int mode = m_smartMenu->mode();
    if (mode >= 0 && mode < int(modeActions.size()))
        modeActions.at(mode)->setChecked(true);

    m_actionSettings =
        makeAction("action_Settings", QStringLiteral("Settings..."), QStringLiteral("settings_24.png"));

    m_actionViewList =
        makeAction("action_ViewList", QStringLiteral("View List"), QStringLiteral("views_24.png"));
    m_viewListMenu = withMenu(m_actionViewList, "viewListMenu");
    m_actionTileViews =
        makeAction("action_TileViews", QStringLiteral("Tile Views"), QStringLiteral("views_tiled_24.png"));
    m_actionTileViewsVertically =
        makeAction("action_TileViewsVertically", QStringLiteral("Tile Views Vertically"),
                   QStringLiteral("views_tiled_vertically_24.png"));
    m_actionCascadeViews = makeAction("action_CascadeViews", QStringLiteral("Cascade Views"),
                                      QStringLiteral("views_cascaded_24.png"));
    m_actionUnwrapViews =
        makeAction("action_UnwrapViews", QStringLiteral("Fit Views"), QStringLiteral("view_unwrap_24.png"));
    m_actionCloseView = makeAction("action_CloseView", QStringLiteral("Close Active View"),
                                   QStringLiteral("view_close_24.png"));
    m_actionCloseAllViews = makeAction("action_CloseAllViews", QStringLiteral("Close All Views"),
                                       QStringLiteral("views_close_24.png"));

    m_actionViewNodes = makeAction("action_ViewNodes", QStringLiteral("View All Project Nodes (Enter)"),
                                   QStringLiteral("nodes_view_24.png"));
    m_actionCloseProject = makeAction("action_CloseProject", QStringLiteral("Close Project"),
                                      QStringLiteral("node_area_close_24.png"));
    withKey(m_actionCloseProject, QStringLiteral("Close Project (Shift+F4)"),
            QKeySequence(QStringLiteral("Shift+F4")));

    // Enter and Ctrl+Enter are the item tree's keys, not shortcuts.
    m_actionViewNode =
        makeAction("action_ViewNode", QStringLiteral("View Node"), QStringLiteral("node_view_24.png"));
    m_actionViewNode->setToolTip(QStringLiteral("View Node (Enter)"));
    m_actionViewNodeApart = makeAction("action_ViewNodeApart", QStringLiteral("View Node Apart"),
                                       QStringLiteral("node_view_apart_24.png"));
    m_actionViewNodeApart->setToolTip(QStringLiteral("View Node Apart (Ctrl+Enter)"));
    m_actionCloseNode =
        makeAction("action_CloseNode", QStringLiteral("Close Node"), QStringLiteral("node_close_24.png"));
    withKey(m_actionCloseNode, QStringLiteral("Close Node (Ctrl+F4)"),
            QKeySequence(QStringLiteral("Ctrl+F4")));

    m_actionSynchro =
        toggle("action_EventChart_Synchro", QStringLiteral("Scroll Synchronization"),
               QStringLiteral("Scroll Synchronization (F8)"), "F8", QStringLiteral("synchro_24.png"));
    m_actionToggleMode = makeAction("action_EventChart_ToggleMode", QStringLiteral("Linear Mode"),
                                    QStringLiteral("mode_lin.png"));
    withKey(m_actionToggleMode, QStringLiteral("Linear Mode (F9)"), QKeySequence(QStringLiteral("F9")));
    m_chartModeMenu = withMenu(m_actionToggleMode, "chartModeMenu");
    m_actionLinMode = makeAction("action_EventChart_LinMode", QStringLiteral("Linear Mode"),
                                 QStringLiteral("mode_lin.png"));
    m_actionLogMode = makeAction("action_EventChart_LogMode", QStringLiteral("Logarithmic Mode"),
                                 QStringLiteral("mode_log.png"));
    m_chartModeMenu->addAction(m_actionLinMode);
    m_chartModeMenu->addAction(m_actionLogMode);
    m_actionToggleHeader = makeAction("action_EventChart_ToggleHeader", QStringLiteral("External Header"),
                                      QStringLiteral("external_header.png"));
    withKey(m_actionToggleHeader, QStringLiteral("External Header (F10)"),
            QKeySequence(QStringLiteral("F10")));
    m_headerMenu = withMenu(m_actionToggleHeader, "headerMenu");
    m_actionInternalHeader = makeAction("action_EventChart_InternalHeader", QStringLiteral("Internal Header"),
                                        QStringLiteral("internal_header.png"));
    m_actionExternalHeader = makeAction("action_EventChart_ExternalHeader", QStringLiteral("External Header"),
                                        QStringLiteral("external_header.png"));
    m_headerMenu->addAction(m_actionInternalHeader);
    m_headerMenu->addAction(m_actionExternalHeader);
    m_actionZoomIn =
        makeAction("action_EventChart_ZoomIn", QStringLiteral("Zoom In"), QStringLiteral("zoom_in_24.png"));
    withKey(m_actionZoomIn, QStringLiteral("Zoom In (+)"), QKeySequence(int(Qt::Key_Plus)));
    m_actionZoomIn->setAutoRepeat(true);
    m_actionZoomOut = makeAction("action_EventChart_ZoomOut", QStringLiteral("Zoom Out"),
                                 QStringLiteral("zoom_out_24.png"));
    withKey(m_actionZoomOut, QStringLiteral("Zoom Out (-)"), QKeySequence(int(Qt::Key_Minus)));
    m_actionZoomOut->setAutoRepeat(true);

    m_actionManual =
        makeAction("action_Manual", QStringLiteral("Help Contents"), QStringLiteral("manual_24.png"));
    withKey(m_actionManual, QStringLiteral("Help Contents (F1)"), QKeySequence(QStringLiteral("F1")));
}

void TracerWindow::createGroups()
{
    const auto group = [this](int index, const QString &icon, const QString &title,
                              std::initializer_list<QAction *> actions) {
        m_smartMenu->addGroup(index, QIcon(resourceIcon(icon)), title);
        // A null entry stands for a separator.
        for (QAction *action : actions) {
            if (action)
                m_smartMenu->addGroupAction(index, action);
            else
                m_smartMenu->addGroupSeparator(index);
        }
    };
    group(FILE_GROUP, QStringLiteral("node_16.png"), QStringLiteral("File"),
          {m_actionOpenNode, nullptr, m_actionRecentNodes, m_actionRecentProjects});
    group(TRACER_GROUP, QStringLiteral("tracer_16.png"), QStringLiteral("Tracer"),
          {m_actionToggleItemTree, m_actionTogglePropBrowser, m_actionToggleTaskStats, nullptr,
           m_actionMenuMode, nullptr, m_actionSettings});
    group(VIEWS_GROUP, QStringLiteral("views_16.png"), QStringLiteral("Views"),
          {m_actionViewList, nullptr, m_actionTileViews, m_actionTileViewsVertically, m_actionCascadeViews,
           m_actionUnwrapViews, nullptr, m_actionCloseView, m_actionCloseAllViews});
    group(PROJECT_GROUP, QStringLiteral("node_area_16.png"), QStringLiteral("Project"),
          {m_actionViewNodes, nullptr, m_actionCloseProject});
    group(NODE_GROUP, QStringLiteral("node_view_16.png"), QStringLiteral("Node"),
          {m_actionViewNode, m_actionViewNodeApart, nullptr, m_actionCloseNode});
    group(VIEW_GROUP, QStringLiteral("view_16.png"), QStringLiteral("View"),
          {m_actionSynchro, m_actionToggleMode, m_actionToggleHeader, nullptr, m_actionZoomIn,
           m_actionZoomOut});
    group(HELP_GROUP, QStringLiteral("manual_24.png"), QStringLiteral("Help"), {m_actionManual});
}

void TracerWindow::createContextMenus()
{
    m_projectContextMenu = new QMenu(this);
    m_projectContextMenu->setObjectName(QStringLiteral("projectContextMenu"));
    m_projectContextMenu->addAction(m_actionViewNodes);
    m_projectContextMenu->addSeparator();
    m_projectContextMenu->addAction(m_actionCloseProject);

    m_nodeContextMenu = new QMenu(this);
    m_nodeContextMenu->setObjectName(QStringLiteral("nodeContextMenu"));
    m_nodeContextMenu->addAction(m_actionViewNode);
    m_nodeContextMenu->addAction(m_actionViewNodeApart);
    m_nodeContextMenu->addSeparator();
    m_nodeContextMenu->addAction(m_actionCloseNode);
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
    m_rootEntry->setIcon(0, QIcon(resourceIcon(QStringLiteral("node_view_16.png"))));
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
}

void TracerWindow::connectSignals()
{
    if (theTracer)
        connect(theTracer, &Tracer::settingsUpdatingNotify, this, &TracerWindow::on_settingsUpdatingNotify);

    connect(m_actionOpenNode, &QAction::triggered, this, &TracerWindow::on_action_OpenNode_triggered);
    connect(m_actionRecentNodes, &QAction::triggered, this, &TracerWindow::on_action_ResentNodes_triggered);
    connect(m_actionRecentProjects, &QAction::triggered, this,
            &TracerWindow::on_action_ResentProjects_triggered);
    connect(m_actionToggleItemTree, &QAction::toggled, this, &TracerWindow::on_action_ToggleItemTree_toggled);
    connect(m_actionTogglePropBrowser, &QAction::toggled, this,
            &TracerWindow::on_action_TogglePropBrowser_toggled);
    connect(m_actionToggleTaskStats, &QAction::toggled, this,
            &TracerWindow::on_action_ToggleTaskStats_toggled);
    connect(m_actionMenuMode, &QAction::triggered, this, &TracerWindow::on_action_MenuMode_Select_triggered);
    connect(m_menuModesGroup, &QActionGroup::triggered, this,
            &TracerWindow::on_action_MenuModesGroup_Select_triggered);
    connect(m_actionSettings, &QAction::triggered, this, &TracerWindow::on_action_Settings_triggered);
    connect(m_actionViewList, &QAction::triggered, this, &TracerWindow::on_action_ViewList_triggered);
    connect(m_actionTileViews, &QAction::triggered, m_mdiArea, &QMdiArea::tileSubWindows);
    connect(m_actionTileViewsVertically, &QAction::triggered, this,
            &TracerWindow::on_action_TileViewsVertically);
    connect(m_actionCascadeViews, &QAction::triggered, m_mdiArea, &QMdiArea::cascadeSubWindows);
    connect(m_actionUnwrapViews, &QAction::triggered, this, &TracerWindow::on_action_UnwrapViews_triggered);
    connect(m_actionCloseView, &QAction::triggered, this, &TracerWindow::on_action_CloseView_triggered);
    connect(m_actionCloseAllViews, &QAction::triggered, this,
            &TracerWindow::on_action_CloseAllViews_triggered);
    connect(m_actionViewNodes, &QAction::triggered, this, &TracerWindow::on_action_ViewNodes_triggered);
    connect(m_actionCloseProject, &QAction::triggered, this, &TracerWindow::on_action_CloseProject_triggered);
    connect(m_actionViewNode, &QAction::triggered, this, &TracerWindow::on_action_ViewNode_triggered);
    connect(m_actionViewNodeApart, &QAction::triggered, this,
            &TracerWindow::on_action_ViewNodeApart_triggered);
    connect(m_actionCloseNode, &QAction::triggered, this, &TracerWindow::on_action_CloseNode_triggered);
    connect(m_actionSynchro, &QAction::toggled, this, &TracerWindow::on_action_EventChart_Synchro_toggled);
    connect(m_actionToggleMode, &QAction::triggered, this, &TracerWindow::on_action_EventChart_ToggleMode);
    connect(m_actionLinMode, &QAction::triggered, this, &TracerWindow::on_action_EventChart_LinMode);
    connect(m_actionLogMode, &QAction::triggered, this, &TracerWindow::on_action_EventChart_LogMode);
    connect(m_actionToggleHeader, &QAction::triggered, this,
            &TracerWindow::on_action_EventChart_ToggleHeader);
    connect(m_actionInternalHeader, &QAction::triggered, this,
            &TracerWindow::on_action_EventChart_InternalHeader);
    connect(m_actionExternalHeader, &QAction::triggered, this,
            &TracerWindow::on_action_EventChart_ExternalHeader);
    connect(m_actionZoomIn, &QAction::triggered, this, &TracerWindow::on_action_EventChart_ZoomIn);
    connect(m_actionZoomOut, &QAction::triggered, this, &TracerWindow::on_action_EventChart_ZoomOut);
    connect(m_actionManual, &QAction::triggered, this, &TracerWindow::on_action_Manual_triggered);

    connect(m_menuRecentNodes, &QMenu::triggered, this, &TracerWindow::on_menu_RecentNodes_triggered);
    connect(m_menuRecentProjects, &QMenu::triggered, this, &TracerWindow::on_menu_RecentProjects_triggered);
    connect(m_itemTree, &QTreeWidget::currentItemChanged, this,
            &TracerWindow::on_itemTree_currentItemChanged);
    if (theTracer) {
        connect(theTracer, &Tracer::curTracerItem_Changed, this, &TracerWindow::on_curTracerItem_Changed);
        if (TraceFileReceiver *receiver = theTracer->receiver())
            connect(receiver, &TraceFileReceiver::addNodeFromReceiver, this,
                    &TracerWindow::on_addNodeFromReceiver);
        connect(this, &TracerWindow::curNode_Changed, theTracer, &Tracer::on_curNode_Changed);
    }
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, &TracerWindow::on_subWindowActivated);
    connect(m_itemTree, &ItemTree::itemTree_contextMenu, this, &TracerWindow::on_itemTree_contextMenu);
    connect(m_itemTree, &ItemTree::itemTree_doubleClicked, this, &TracerWindow::on_itemTree_doubleClicked);
    connect(m_itemTree, &ItemTree::itemTree_keyPressed, this, &TracerWindow::on_itemTree_keyPressed);
}

// ---------------------------------------------------------------- opening files

void TracerWindow::openNode(const QString &path, int origin)
{
    if (!theTracer)
        return;
    if (m_loading) {
        TraceFileReceiver *receiver = origin == FROM_RECEIVER ? theTracer->receiver() : nullptr;
        m_pendingOpens.append({path, origin, receiver ? receiver->holdAnswer() : nullptr});
        return;
    }
    Node *node = loadWithProgress(path, origin);
    if (node) {
        addToRecentLists(path);
        m_itemTree->expandItem(m_rootEntry.data());
        if (Project *project = node->project())
            m_itemTree->expandItem(project->treeItem());
    }
    viewNode(node, false);

    while (!m_pendingOpens.isEmpty()) {
        const PendingOpen next = m_pendingOpens.takeFirst();
        openNode(next.path, next.origin);
    }
}

Node *TracerWindow::loadWithProgress(const QString &path, int origin)
{
    // The load stays synchronous; a window-modal dialog keeps the user's hands
    // off the window while the bar moves. It shows only once the load looks
    // like taking longer than the delay.
    constexpr int steps = 1000;
    QProgressDialog progress(QStringLiteral("Loading tracefile '%1'...").arg(QFileInfo(path).fileName()),
                             QString(), 0, steps, this);
    progress.setWindowTitle(QStringLiteral("Kestrelview"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(m_progressDelay);
    progress.setValue(0);

    m_loading = true;
    theTracer->setLoadProgress([&progress](qint64 bytesRead, qint64 fileSize) {
        if (fileSize > 0)
            progress.setValue(int(qBound(qint64(1), bytesRead * steps / fileSize, qint64(steps - 1))));
    });
    Node *const node = theTracer->createNode(path, m_rootEntry.data(), origin);
    theTracer->setLoadProgress({});
    m_loading = false;
    return node;
}

void TracerWindow::showOpenDialog(const QString &startPath)
{
    const QString caption = tr("Open Tracefiles");
    const QString filter = QStringLiteral("Tracefiles (*.trace *.trace2)");
    const QStringList paths = m_openFilesDialog
                                  ? m_openFilesDialog(this, caption, startPath, filter)
                                  : QFileDialog::getOpenFileNames(this, caption, startPath, filter);
    for (const QString &path : paths)
        openNode(path, FROM_TRACER);
}

void TracerWindow::on_action_OpenNode_triggered()
{
    const QList<QAction *> recent = m_menuRecentNodes->actions();
    showOpenDialog(recent.isEmpty() ? QCoreApplication::applicationDirPath() : recent.first()->text());
}

void TracerWindow::on_addNodeFromReceiver(QString traceFilePath)
{
    openNode(traceFilePath, FROM_RECEIVER);
}

void TracerWindow::on_menu_RecentNodes_triggered(QAction *action)
{
    if (action)
        openNode(action->text(), FROM_TRACER);
}

void TracerWindow::on_menu_RecentProjects_triggered(QAction *action)
{
    if (action)
        showOpenDialog(action->text());
}

void TracerWindow::on_settingsUpdatingNotify(QString key)
{
    if (key == QLatin1String("recent_nodes_max_count")) {
        saveRecentNodes();
        clearRecentMenu(m_menuRecentNodes);
        loadRecentNodes();
    } else if (key == QLatin1String("recent_projects_max_count")) {
        saveRecentProjects();
        clearRecentMenu(m_menuRecentProjects);
        loadRecentProjects();
    }
}

int TracerWindow::recentNodesLimit() const
{
    return theTracer ? theTracer->recentNodesMaxCount() : 5;
}

int TracerWindow::recentProjectsLimit() const
{
    return theTracer ? theTracer->recentProjectsMaxCount() : 5;
}

void TracerWindow::addToRecentLists(const QString &path)
{
    addRecentEntry(m_menuRecentNodes, path, recentNodesLimit(), nodeIcon());
    addRecentEntry(m_menuRecentProjects, QFileInfo(path).absolutePath(), recentProjectsLimit(),
                   projectIcon());
}

void TracerWindow::addRecentEntry(QMenu *menu, const QString &text, int limit, const QIcon &icon)
{
    if (!menu)
        return;
    const QList<QAction *> entries = menu->actions();
    for (QAction *entry : entries) {
        if (entry->text() != text)
            continue;
        if (entry != entries.first()) {
            menu->removeAction(entry);
            menu->insertAction(entries.first(), entry);
        }
        return;
    }
    if (limit <= 0)
        return;
    // A list read before the limit was lowered may hold more than it allows.
    QList<QAction *> kept = entries;
    while (kept.size() >= limit) {
        QAction *oldest = kept.takeLast();
        menu->removeAction(oldest);
        delete oldest;
    }
    auto *entry = new QAction(icon, text, this);
    menu->insertAction(kept.value(0, nullptr), entry);
}

void TracerWindow::loadRecentNodes()
{
    loadRecentList(m_menuRecentNodes, this, recentNodesKey, recentNodeField, recentNodesLimit(), nodeIcon());
}

void TracerWindow::loadRecentProjects()
{
    loadRecentList(m_menuRecentProjects, this, recentProjectsKey, recentProjectField, recentProjectsLimit(),
                   projectIcon());
}

void TracerWindow::saveRecentNodes() const
{
    saveRecentList(m_menuRecentNodes, recentNodesKey, recentNodeField);
}

void TracerWindow::saveRecentProjects() const
{
    saveRecentList(m_menuRecentProjects, recentProjectsKey, recentProjectField);
}

TracerItem *TracerWindow::selectedCurrentItem() const
{
    if (!theTracer || m_itemTree->selectedItems().isEmpty())
        return nullptr;
    return theTracer->curTracerItem();
}

void TracerWindow::on_action_CloseNode_triggered()
{
    TracerItem *item = selectedCurrentItem();
    if (!item)
        return;
    Node *node = nullptr;
    switch (theTracer->curCategory()) {
    case TracerItem::NODE:
    case TracerItem::TASKS:
    case TracerItem::HUBS:
        node = qobject_cast<Node *>(item);
        break;
    case TracerItem::TASK:
    case TracerItem::HUB:
        if (auto *part = qobject_cast<NodeItem *>(item))
            node = part->node();
        break;
    default:
        // Projects and event-list selections name no node to close.
        break;
    }
    Project *project = node ? node->project() : nullptr;
    if (!project)
        return;

    // The tree would otherwise pick a new current entry while the node is
    // half destroyed and describe it in the property browser.
    if (isWithin(m_itemTree->currentItem(), node->treeItem()))
        m_itemTree->setCurrentItem(nullptr);
    if (project->removeNode(node) == 0) {
        theTracer->removeProject(project);
        if (m_mdiArea->subWindowList().isEmpty())
            setViewGroupsEnabled(false);
    }
    if (m_itemTree->selectedItems().isEmpty())
        theTracer->setCurTracerItem(nullptr, TracerItem::NONE, 0, 0);
}

void TracerWindow::on_action_CloseProject_triggered()
{
    TracerItem *item = selectedCurrentItem();
    if (!item)
        return;
    Project *project = projectOf(item, theTracer->curCategory());
    if (project && isWithin(m_itemTree->currentItem(), project->treeItem()))
        m_itemTree->setCurrentItem(nullptr);
    theTracer->removeProject(project);
    if (m_mdiArea->subWindowList().isEmpty())
        setViewGroupsEnabled(false);
    if (m_itemTree->selectedItems().isEmpty())
        theTracer->setCurTracerItem(nullptr, TracerItem::NONE, 0, 0);
}

// ---------------------------------------------------------------- views

void TracerWindow::setViewGroupsEnabled(bool enabled)
{
    m_smartMenu->setGroupEnabled(VIEWS_GROUP, enabled);
    m_smartMenu->setGroupEnabled(VIEW_GROUP, enabled);
}

bool TracerWindow::hasViewsBesides(const QMdiSubWindow *leaving) const
{
    const QList<QMdiSubWindow *> windows = m_mdiArea->subWindowList();
    return std::any_of(windows.cbegin(), windows.cend(),
                       [leaving](const QMdiSubWindow *w) { return w != leaving; });
}

void TracerWindow::viewNode(Node *node, bool apart)
{
    if (!node)
        return;
    const QList<QMdiSubWindow *> windows = m_mdiArea->subWindowList(QMdiArea::CreationOrder);
    int number = 1;
    for (QMdiSubWindow *window : windows) {
        NodeViewWindow *view = nodeView(window);
        if (!view || view->projectPath() != node->directory())
            continue;
        if (!apart) {
            const QString problem = view->showNode(node);
            if (!problem.isEmpty()) {
                theTracer->showMessage(QMessageBox::Warning, problem);
                return;
            }
            setViewGroupsEnabled(true);
            m_mdiArea->setActiveSubWindow(view);
            return;
        }
        if (view->number() == 0) {
            view->setNumber(number);
            ++number;
            break;
        }
        ++number;
    }

    auto *view = new NodeViewWindow(node->project(), apart && number > 1 ? number : 0, this);
    view->setAttribute(Qt::WA_DeleteOnClose);
    m_mdiArea->addSubWindow(view, Qt::WindowFlags());
    const QString problem = view->showNode(node);
    if (!problem.isEmpty()) {
        // Not expected: views are picked by the node's own directory.
        m_mdiArea->removeSubWindow(view);
        delete view;
        theTracer->showMessage(QMessageBox::Warning, problem);
        return;
    }
    view->show();
    m_viewListMenu->addAction(view->viewAction());
    setViewGroupsEnabled(true);
    connect(view, &NodeViewWindow::viewClosing, this, &TracerWindow::on_viewClosing);
    connect(view, &NodeViewWindow::viewedNodesWasRecounted, this,
            &TracerWindow::on_view_viewedNodesWasRecounted);
    connect(view, &NodeViewWindow::viewStateChanged, this, &TracerWindow::on_viewStateChanged);
    connect(view, &NodeViewWindow::viewMustBeClosed, this, &TracerWindow::on_viewMustBeClosed);
}

void TracerWindow::on_action_ViewNode_triggered()
{
    if (!theTracer)
        return;
    TracerItem *item = theTracer->curTracerItem();
    if (item && item->category() == TracerItem::NODE)
        viewNode(qobject_cast<Node *>(item), false);
}

void TracerWindow::on_action_ViewNodeApart_triggered()
{
    if (!theTracer)
        return;
    TracerItem *item = theTracer->curTracerItem();
    if (item && item->category() == TracerItem::NODE)
        viewNode(qobject_cast<Node *>(item), true);
}

void TracerWindow::on_action_ViewNodes_triggered()
{
    if (!theTracer || !theTracer->curTracerItem())
        return;
    TracerItem *item = theTracer->curTracerItem();
    Project *project = projectOf(item, theTracer->curCategory());
    if (!project)
        return;
    const auto nodes = project->nodes();
    for (const QSharedPointer<Node> &node : nodes)
        viewNode(node.data(), false);
}

void TracerWindow::on_viewMustBeClosed(NodeViewWindow *view)
{
    if (!view)
        return;
    m_mdiArea->removeSubWindow(view);
    delete view;
}

void TracerWindow::on_viewClosing(NodeViewWindow *view)
{
    if (!view)
        return;
    // A view closed by its own button may still be listed while it goes.
    if (!hasViewsBesides(view)) {
        setViewGroupsEnabled(false);
        return;
    }
    if (view->number() == 0)
        return;
    NodeViewWindow *single = nullptr;
    int others = 0;
    const QList<QMdiSubWindow *> windows = m_mdiArea->subWindowList(QMdiArea::CreationOrder);
    for (QMdiSubWindow *window : windows) {
        NodeViewWindow *other = nodeView(window);
        if (!other || other->projectPath() != view->projectPath())
            continue;
        if (other->number() > view->number())
            other->setNumber(other->number() - 1);
        if (other != view) {
            ++others;
            single = other;
        }
    }
    if (others == 1)
        single->setNumber(0);
}

void TracerWindow::on_subWindowActivated(QMdiSubWindow *window)
{
    NodeViewWindow *view = nodeView(window);
    if (!view)
        return;
    updateChartModeActions(view);
    m_actionZoomOut->setEnabled(view->chart()->canZoomOut());
    m_actionSynchro->setChecked(view->isSynchronized());
    emit curNode_Changed(view->currentNode(), view);
}

void TracerWindow::on_view_viewedNodesWasRecounted(NodeViewWindow *view)
{
    if (view)
        updateChartModeActions(view);
}

void TracerWindow::on_viewStateChanged(NodeViewWindow::ViewStateItem vsi)
{
    if (vsi != NodeViewWindow::LAYOUT_CHANGED)
        return;
    if (NodeViewWindow *view = currentNodeView())
        m_actionZoomOut->setEnabled(view->chart()->canZoomOut());
}

NodeViewWindow *TracerWindow::currentNodeView() const
{
    return nodeView(m_mdiArea->currentSubWindow());
}

void TracerWindow::updateChartModeActions(NodeViewWindow *view)
{
    if (!view || view != currentNodeView())
        return;
    // Clocks of several nodes share one axis only in linear time.
    if (view->viewedNodeCount() > 1) {
        on_action_EventChart_LinMode();
        m_actionLogMode->setEnabled(false);
        return;
    }
    m_actionLogMode->setEnabled(true);
    if (view->isLinearMode())
        on_action_EventChart_LinMode();
    else
        on_action_EventChart_LogMode();
}

void TracerWindow::setModeToggleLook(bool linear)
{
    m_actionToggleMode->setIcon(
        QIcon(resourceIcon(linear ? QStringLiteral("mode_lin.png") : QStringLiteral("mode_log.png"))));
    m_actionToggleMode->setText(linear ? QStringLiteral("Linear Mode (F9)")
                                       : QStringLiteral("Logarythmic Mode (F9)"));
}

void TracerWindow::on_action_EventChart_LinMode()
{
    NodeViewWindow *view = currentNodeView();
    if (!view)
        return;
    view->setLinearMode(true);
    setModeToggleLook(true);
}

void TracerWindow::on_action_EventChart_LogMode()
{
    NodeViewWindow *view = currentNodeView();
    // The action is disabled for a view of several nodes; a call from
    // elsewhere must not give their shared axis a log scale either.
    if (!view || view->viewedNodeCount() > 1)
        return;
    view->setLinearMode(false);
    setModeToggleLook(false);
}

void TracerWindow::on_action_EventChart_ToggleMode()
{
    NodeViewWindow *view = currentNodeView();
    if (!view)
        return;
    if (view->viewedNodeCount() < 2 && view->isLinearMode())
        on_action_EventChart_LogMode();
    else
        on_action_EventChart_LinMode();
}

void TracerWindow::setHeaderToggleLook(bool external)
{
    const QString text = external ? QStringLiteral("External Header") : QStringLiteral("Internal Header");
    m_actionToggleHeader->setIcon(QIcon(resourceIcon(external ? QStringLiteral("external_header.png")
                                                              : QStringLiteral("internal_header.png"))));
    m_actionToggleHeader->setText(text);
    m_actionToggleHeader->setToolTip(text + QStringLiteral(" (F10)"));
}

void TracerWindow::placeHeader(bool external)
{
    if (!theTracer)
        return;
    theTracer->setExternalHeader(external);
    const QList<QMdiSubWindow *> windows = m_mdiArea->subWindowList(QMdiArea::CreationOrder);
    if (windows.isEmpty())
        return;
    for (QMdiSubWindow *window : windows) {
        if (NodeViewWindow *view = nodeView(window))
            view->relayout();
    }
    setHeaderToggleLook(external);
}

void TracerWindow::on_action_EventChart_InternalHeader()
{
    placeHeader(false);
}

void TracerWindow::on_action_EventChart_ExternalHeader()
{
    placeHeader(true);
}

void TracerWindow::on_action_EventChart_ToggleHeader()
{
    if (!theTracer)
        return;
    placeHeader(!theTracer->externalHeader());
}

void TracerWindow::on_action_EventChart_ZoomIn()
{
    NodeViewWindow *view = currentNodeView();
    if (!view)
        return;
    if (!view->zoomIn())
        m_actionZoomIn->setEnabled(false);
    else if (!m_actionZoomOut->isEnabled())
        m_actionZoomOut->setEnabled(true);
}

void TracerWindow::on_action_EventChart_ZoomOut()
{
    NodeViewWindow *view = currentNodeView();
    if (!view)
        return;
    if (!view->zoomOut())
        m_actionZoomOut->setEnabled(false);
    else if (!m_actionZoomIn->isEnabled())
        m_actionZoomIn->setEnabled(true);
}

void TracerWindow::on_action_EventChart_Synchro_toggled(bool checked)
{
    if (NodeViewWindow *view = currentNodeView())
        view->setSynchronized(checked);
}

void TracerWindow::on_action_TileViewsVertically()
{
    const QList<QMdiSubWindow *> windows = m_mdiArea->subWindowList(QMdiArea::CreationOrder);
    if (windows.isEmpty())
        return;
    const int height = m_mdiArea->height() / int(windows.size());
    for (int i = 0; i < windows.size(); ++i)
        windows.at(i)->setGeometry(0, i * height, m_mdiArea->width(), height);
}

void TracerWindow::on_action_UnwrapViews_triggered()
{
    const QList<QMdiSubWindow *> windows = m_mdiArea->subWindowList(QMdiArea::CreationOrder);
    for (QMdiSubWindow *window : windows)
        window->setGeometry(0, 0, m_mdiArea->width(), m_mdiArea->height());
}

void TracerWindow::on_action_CloseView_triggered()
{
    if (!m_mdiArea->activeSubWindow())
        return;
    m_mdiArea->closeActiveSubWindow();
    if (!m_mdiArea->activeSubWindow())
        setViewGroupsEnabled(false);
}

void TracerWindow::on_action_CloseAllViews_triggered()
{
    const QMessageBox::StandardButton answer =
        QMessageBox::question(this, QStringLiteral("Kestrelview"), QStringLiteral("Close all open views?"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton);
    if (answer != QMessageBox::Yes)
        return;
    m_mdiArea->closeAllSubWindows();
    setViewGroupsEnabled(false);
}

// ---------------------------------------------------------------- window

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

void TracerWindow::popupGroupMenu(int group, QAction *action, QMenu *menu, int dx, int dy)
{
    QToolBar *toolBar = m_smartMenu->groupToolBar(group);
    QWidget *button = toolBar ? toolBar->widgetForAction(action) : nullptr;
    if (!button) {
        // No button to hang the menu from: open it where the user is.
        menu->popup(QCursor::pos());
        return;
    }
    const QRect moved = button->geometry().translated(dx, dy);
    menu->popup(mapToGlobal(moved.bottomLeft()));
}

namespace {

int buttonHeight(SmartMenu *smartMenu, int group, QAction *action)
{
    QToolBar *toolBar = smartMenu->groupToolBar(group);
    QWidget *button = toolBar ? toolBar->widgetForAction(action) : nullptr;
    return button ? button->geometry().height() : 0;
}

int toolBarWidth(SmartMenu *smartMenu, int group)
{
    QToolBar *toolBar = smartMenu->groupToolBar(group);
    return toolBar ? toolBar->width() : 0;
}

} // namespace

void TracerWindow::on_action_ResentNodes_triggered()
{
    const int height = buttonHeight(m_smartMenu, FILE_GROUP, m_actionRecentNodes);
    popupGroupMenu(FILE_GROUP, m_actionRecentNodes, m_menuRecentNodes, 0,
                   m_smartMenu->mode() == SmartMenu::Toolbars ? height - 20 : height);
}

void TracerWindow::on_action_ResentProjects_triggered()
{
    const int height = buttonHeight(m_smartMenu, FILE_GROUP, m_actionRecentProjects);
    popupGroupMenu(FILE_GROUP, m_actionRecentProjects, m_menuRecentProjects, 0,
                   m_smartMenu->mode() == SmartMenu::Toolbars ? height - 20 : height);
}

void TracerWindow::on_action_MenuMode_Select_triggered()
{
    const int mode = m_smartMenu->mode();
    const int height = buttonHeight(m_smartMenu, TRACER_GROUP, m_actionMenuMode);
    // Group 1's buttons stand right of group 0's toolbar; tabs add their frame (pixels).
    const int dx = toolBarWidth(m_smartMenu, FILE_GROUP) + (mode == SmartMenu::Tabs ? 10 : 0);
    popupGroupMenu(TRACER_GROUP, m_actionMenuMode, m_menuModeMenu, dx,
                   mode == SmartMenu::Toolbars ? height - 20 : height + 2);
}

void TracerWindow::on_action_ViewList_triggered()
{
    const int mode = m_smartMenu->mode();
    const int height = buttonHeight(m_smartMenu, VIEWS_GROUP, m_actionViewList);
    const int dx = toolBarWidth(m_smartMenu, TRACER_GROUP) + toolBarWidth(m_smartMenu, FILE_GROUP) +
                   (mode == SmartMenu::Tabs ? 12 : 0);
    popupGroupMenu(VIEWS_GROUP, m_actionViewList, m_viewListMenu, dx,
                   mode == SmartMenu::Toolbars ? height - 20 : height + 2);
}

void TracerWindow::on_action_MenuModesGroup_Select_triggered(QAction *action)
{
    if (action == m_actionModeTabs)
        m_smartMenu->setMode(SmartMenu::Tabs);
    else if (action == m_actionModeToolbars)
        m_smartMenu->setMode(SmartMenu::Toolbars);
    else if (action == m_actionModeMenus)
        m_smartMenu->setMode(SmartMenu::Menus);
    else
        m_smartMenu->setMode(SmartMenu::MenusAndToolbars);
}

void TracerWindow::on_curTracerItem_Changed(TracerItem *tracerItem, TracerItem::TracerItemCategory category,
                                            int data1, int data2)
{
    if (!tracerItem) {
        m_smartMenu->setGroupEnabled(NODE_GROUP, false);
        m_smartMenu->setGroupEnabled(PROJECT_GROUP, false);
        m_propertyTable->clearContents();
        m_propertyTable->setRowCount(0);
        return;
    }
    switch (category) {
    case TracerItem::PROJECT:
        m_smartMenu->setGroupEnabled(NODE_GROUP, false);
        m_smartMenu->setGroupEnabled(PROJECT_GROUP, true);
        break;
    case TracerItem::NODE:
    case TracerItem::TASKS:
    case TracerItem::HUBS:
    case TracerItem::TASK:
    case TracerItem::HUB:
        m_smartMenu->setGroupEnabled(NODE_GROUP, true);
        m_smartMenu->setGroupEnabled(PROJECT_GROUP, true);
        break;
    default:
        break;
    }
    m_propertyTable->clearContents();
    m_propertyTable->setRowCount(0);
    tracerItem->fillProperties(category, m_propertyTable, data1, data2);
}

// ---------------------------------------------------------------- item tree

void TracerWindow::on_itemTree_currentItemChanged(QTreeWidgetItem *current, QTreeWidgetItem *previous)
{
    Q_UNUSED(previous)
    if (!current || !theTracer)
        return;
    TracerItem *item = TracerItem::itemFromData(current->data(0, ItemRole));
    const auto category = TracerItem::TracerItemCategory(current->data(0, CategoryRole).toInt());
    theTracer->setCurTracerItem(item, category, 0, 0);
}

void TracerWindow::on_itemTree_contextMenu(QContextMenuEvent *event)
{
    if (!event)
        return;
    QTreeWidgetItem *entry = m_itemTree->itemAt(event->pos());
    if (!entry)
        return;
    m_itemTree->setCurrentItem(entry);
    if (!selectedCurrentItem())
        return;
    switch (theTracer->curCategory()) {
    case TracerItem::PROJECT:
        m_projectContextMenu->exec(event->globalPos());
        break;
    case TracerItem::NODE:
        m_nodeContextMenu->exec(event->globalPos());
        break;
    default:
        break;
    }
}

void TracerWindow::on_itemTree_doubleClicked(QMouseEvent *event)
{
    if (!event || !selectedCurrentItem() || theTracer->curCategory() != TracerItem::NODE)
        return;
    if (event->modifiers().testFlag(Qt::ControlModifier))
        on_action_ViewNodeApart_triggered();
    else
        on_action_ViewNode_triggered();
}

void TracerWindow::on_itemTree_keyPressed(QKeyEvent *event)
{
    if (!event || !selectedCurrentItem())
        return;
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return;
    switch (theTracer->curCategory()) {
    case TracerItem::PROJECT:
        on_action_ViewNodes_triggered();
        break;
    case TracerItem::NODE:
        if (event->modifiers().testFlag(Qt::ControlModifier))
            on_action_ViewNodeApart_triggered();
        else
            on_action_ViewNode_triggered();
        break;
    default:
        break;
    }
}
