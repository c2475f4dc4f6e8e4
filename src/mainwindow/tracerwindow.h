#pragma once

#include "trace/traceritem.h"
#include "views/nodeviewwindow.h"

#include <QMainWindow>
#include <QPointer>
#include <QSharedPointer>
#include <QVector>

#include <functional>
#include <memory>

class ItemTree;
class Node;
class QAction;
class QActionGroup;
class QIcon;
class QContextMenuEvent;
class QKeyEvent;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QMouseEvent;
class QScrollArea;
class QSplitter;
class QTableWidget;
class QTreeWidgetItem;
class SettingsWindow;
class SmartMenu;
class TaskStatChart;

// The one main window: every user command as an action sorted into seven
// groups, the item tree, the property browser, the task statistics panel and
// the MDI area with the node views.
class TracerWindow : public QMainWindow
{
    Q_OBJECT
public:
    // The action groups, numbered as the SmartMenu knows them.
    enum Group {
        FILE_GROUP = 0,
        TRACER_GROUP,
        VIEWS_GROUP,
        PROJECT_GROUP,
        NODE_GROUP,
        VIEW_GROUP,
        HELP_GROUP
    };

    // Asks the user for trace files: (parent, caption, start directory or
    // file, filter) -> the chosen paths, none when cancelled.
    using OpenFilesDialog = std::function<QStringList(QWidget *parent, const QString &caption,
                                                      const QString &dir, const QString &filter)>;

    explicit TracerWindow(QWidget *parent = nullptr, Qt::WindowFlags flags = {});
    ~TracerWindow() override;

    // Loads one trace file, remembers it and shows its node. `origin` is a NodeOrigin.
    void openNode(const QString &path, int origin);
    void showOpenDialog(const QString &startPath);
    // Shows the node in its project's view, or in a new numbered view when `apart`.
    void viewNode(Node *node, bool apart);

    // Remembers a trace file and its directory at the top of the recent lists.
    void addToRecentLists(const QString &path);
    // Moves an entry of this text to the top, or adds one there, dropping the
    // oldest entries beyond `limit`. A limit of 0 or less keeps nothing new.
    void addRecentEntry(QMenu *menu, const QString &text, int limit, const QIcon &icon);
    void loadRecentNodes();
    void loadRecentProjects();
    void saveRecentNodes() const;
    void saveRecentProjects() const;
    // Brings the mode, log and zoom actions in line with `view` when it is the current view.
    void updateChartModeActions(NodeViewWindow *view);

    // Tests and tools replace the modal file dialog.
    void setOpenFilesDialog(OpenFilesDialog dialog) { m_openFilesDialog = std::move(dialog); }
    // How long a load runs before its progress dialog shows, in milliseconds.
    void setProgressDelay(int milliseconds) { m_progressDelay = milliseconds; }

    SmartMenu *smartMenu() const { return m_smartMenu; }
    ItemTree *itemTree() const { return m_itemTree; }
    QTreeWidgetItem *rootEntry() const { return m_rootEntry.data(); }
    QTableWidget *propertyTable() const { return m_propertyTable; }
    QSplitter *leftSplitter() const { return m_leftSplitter; }
    QScrollArea *taskStatsArea() const { return m_taskStatsArea; }
    TaskStatChart *taskStatChart() const { return m_taskStatChart; }
    QMdiArea *mdiArea() const { return m_mdiArea; }
    QMenu *projectContextMenu() const { return m_projectContextMenu; }
    QMenu *nodeContextMenu() const { return m_nodeContextMenu; }
    // The settings dialog opened last, null once it is gone.
    SettingsWindow *settingsWindow() const;

signals:
    void curNode_Changed(Node *node, NodeViewWindow *view);

private slots:
    void on_action_Settings_triggered();
    void on_action_OpenNode_triggered();
    void on_action_ToggleItemTree_toggled(bool checked);
    void on_action_TogglePropBrowser_toggled(bool checked);
    void on_action_ToggleTaskStats_toggled(bool checked);
    void on_action_MenuMode_Select_triggered();
    void on_action_CloseNode_triggered();
    void on_action_ResentNodes_triggered();
    void on_action_ResentProjects_triggered();
    void on_action_CloseProject_triggered();
    void on_action_ViewNode_triggered();
    void on_action_ViewNodeApart_triggered();
    void on_action_ViewNodes_triggered();
    void on_action_ViewList_triggered();
    void on_action_TileViewsVertically();
    void on_action_UnwrapViews_triggered();
    void on_action_CloseView_triggered();
    void on_action_CloseAllViews_triggered();
    void on_action_EventChart_Synchro_toggled(bool checked);
    void on_action_EventChart_ToggleMode();
    void on_action_EventChart_LinMode();
    void on_action_EventChart_LogMode();
    void on_action_EventChart_ToggleHeader();
    void on_action_EventChart_InternalHeader();
    void on_action_EventChart_ExternalHeader();
    void on_action_EventChart_ZoomIn();
    void on_action_EventChart_ZoomOut();
    void on_action_Manual_triggered();
    void on_settingsUpdatingNotify(QString key);
    void on_action_MenuModesGroup_Select_triggered(QAction *action);
    void on_menu_RecentNodes_triggered(QAction *action);
    void on_menu_RecentProjects_triggered(QAction *action);
    void on_itemTree_currentItemChanged(QTreeWidgetItem *current, QTreeWidgetItem *previous);
    void on_curTracerItem_Changed(TracerItem *tracerItem, TracerItem::TracerItemCategory category, int data1,
                                  int data2);
    void on_addNodeFromReceiver(QString traceFilePath);
    void on_viewMustBeClosed(NodeViewWindow *view);
    void on_viewClosing(NodeViewWindow *view);
    void on_view_viewedNodesWasRecounted(NodeViewWindow *view);
    void on_subWindowActivated(QMdiSubWindow *window);
    void on_itemTree_contextMenu(QContextMenuEvent *event);
    void on_itemTree_doubleClicked(QMouseEvent *event);
    void on_itemTree_keyPressed(QKeyEvent *event);
    void on_viewStateChanged(NodeViewWindow::ViewStateItem vsi);

private:
    void restoreGeometry();
    void saveGeometry();
    void createActions();
    void createGroups();
    void createContextMenus();
    void createCentralWidget();
    void connectSignals();

    QAction *makeAction(const char *name, const QString &text, const QString &icon);
    // Shows or hides one left-hand panel; the splitter goes when all three are hidden.
    void togglePanel(QWidget *panel, bool checked, const QWidget *other1, const QWidget *other2);
    // Pops a toolbar button's submenu up below the button, moved by (dx, dy) pixels.
    void popupGroupMenu(int group, QAction *action, QMenu *menu, int dx, int dy);
    // The current item when the tree has a selection, else null.
    TracerItem *selectedCurrentItem() const;
    void setViewGroupsEnabled(bool enabled);
    // The current sub-window when it is a node view, else null.
    NodeViewWindow *currentNodeView() const;
    void setModeToggleLook(bool linear);
    void setHeaderToggleLook(bool external);
    // Sets the controller's header flag and lays every view out again.
    void placeHeader(bool external);
    int recentNodesLimit() const;
    int recentProjectsLimit() const;
    Node *loadWithProgress(const QString &path, int origin);
    // Whether the MDI area holds any view but `leaving`.
    bool hasViewsBesides(const QMdiSubWindow *leaving) const;

    SmartMenu *m_smartMenu = nullptr;

    QAction *m_actionOpenNode = nullptr;
    QAction *m_actionRecentNodes = nullptr;
    QAction *m_actionRecentProjects = nullptr;
    QAction *m_actionToggleItemTree = nullptr;
    QAction *m_actionTogglePropBrowser = nullptr;
    QAction *m_actionToggleTaskStats = nullptr;
    QAction *m_actionMenuMode = nullptr;
    QAction *m_actionModeTabs = nullptr;
    QAction *m_actionModeToolbars = nullptr;
    QAction *m_actionModeMenus = nullptr;
    QAction *m_actionModeMenusAndToolbars = nullptr;
    QAction *m_actionSettings = nullptr;
    QAction *m_actionViewList = nullptr;
    QAction *m_actionTileViews = nullptr;
    QAction *m_actionTileViewsVertically = nullptr;
    QAction *m_actionCascadeViews = nullptr;
    QAction *m_actionUnwrapViews = nullptr;
    QAction *m_actionCloseView = nullptr;
    QAction *m_actionCloseAllViews = nullptr;
    QAction *m_actionViewNodes = nullptr;
    QAction *m_actionCloseProject = nullptr;
    QAction *m_actionViewNode = nullptr;
    QAction *m_actionViewNodeApart = nullptr;
    QAction *m_actionCloseNode = nullptr;
    QAction *m_actionSynchro = nullptr;
    QAction *m_actionToggleMode = nullptr;
    QAction *m_actionLinMode = nullptr;
    QAction *m_actionLogMode = nullptr;
    QAction *m_actionToggleHeader = nullptr;
    QAction *m_actionInternalHeader = nullptr;
    QAction *m_actionExternalHeader = nullptr;
    QAction *m_actionZoomIn = nullptr;
    QAction *m_actionZoomOut = nullptr;
    QAction *m_actionManual = nullptr;
    QActionGroup *m_menuModesGroup = nullptr;

    QMenu *m_menuRecentNodes = nullptr;
    QMenu *m_menuRecentProjects = nullptr;
    QMenu *m_menuModeMenu = nullptr;
    QMenu *m_viewListMenu = nullptr;
    QMenu *m_chartModeMenu = nullptr;
    QMenu *m_headerMenu = nullptr;
    QMenu *m_projectContextMenu = nullptr;
    QMenu *m_nodeContextMenu = nullptr;

    QSplitter *m_mainSplitter = nullptr;
    QSplitter *m_leftSplitter = nullptr;
    ItemTree *m_itemTree = nullptr;
    QSharedPointer<QTreeWidgetItem> m_rootEntry;
    QTableWidget *m_propertyTable = nullptr;
    QScrollArea *m_taskStatsArea = nullptr;
    TaskStatChart *m_taskStatChart = nullptr;
    QMdiArea *m_mdiArea = nullptr;

    OpenFilesDialog m_openFilesDialog;
    QPointer<SettingsWindow> m_settingsWindow;
    int m_progressDelay = 500;
    // Files handed over while another one loads: the load's progress dialog
    // runs the event loop, and a load must not start inside another.
    bool m_loading = false;
    struct PendingOpen
    {
        QString path;
        int origin;
        // Keeps the second start that handed the file over waiting until it has been loaded.
        std::shared_ptr<void> answerHold;
    };
    QVector<PendingOpen> m_pendingOpens;
};
