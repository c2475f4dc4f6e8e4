#pragma once

#include "mainwindow/actiontable.h"
#include "trace/traceritem.h"

#include <QMainWindow>
#include <QPointer>
#include <QSharedPointer>
#include <QVector>

#include <functional>
#include <memory>

class BookmarkPanel;
class ItemTree;
class Node;
class QAction;
class QActionGroup;
class QContextMenuEvent;
class QKeyEvent;
class QMdiArea;
class QMenu;
class QMouseEvent;
class QScrollArea;
class QSplitter;
class QTableWidget;
class QTreeWidgetItem;
class RecentList;
class SettingsWindow;
class SmartMenu;
class TaskStatChart;
class ViewManager;
class ChartStatusBar;

// The one main window: every user command as an action sorted into eight
// groups, the item tree, the property browser, the task statistics panel and
// the MDI area with the node views (the ViewManager's).
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
        NAVIGATE_GROUP,
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
    // Opens the files as openNode() one after another would, reading them in
    // parallel; the progress dialog's Cancel drops every file not yet added.
    void openNodes(const QStringList &paths, int origin);
    void showOpenDialog(const QString &startPath);
    // Shows the node in its project's view, or in a new numbered view when `apart`.
    void viewNode(Node *node, bool apart);
    // Remembers a trace file and its directory at the top of the recent lists.
    void addToRecentLists(const QString &path);

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
    ChartStatusBar *chartStatus() const { return m_chartStatus; }
    // Docked on the right, hidden until shown through its toggleViewAction();
    // follows the active view's chart.
    BookmarkPanel *bookmarkPanel() const { return m_bookmarkPanel; }
    QMenu *projectContextMenu() const { return m_projectContextMenu; }
    QMenu *nodeContextMenu() const { return m_nodeContextMenu; }
    // The settings dialog opened last, null once it is gone.
    SettingsWindow *settingsWindow() const;

private slots:
    // tracerwindow.cpp: the window and the Tracer and Help groups
    void on_action_ToggleItemTree_toggled(bool checked);
    void on_action_TogglePropBrowser_toggled(bool checked);
    void on_action_ToggleTaskStats_toggled(bool checked);
    void on_action_MenuModesGroup_Select_triggered(QAction *action);
    void on_action_Settings_triggered();
    void on_action_Manual_triggered();

    // tracerwindow_files.cpp: opening trace files
    void on_action_OpenNode_triggered();
    void on_menu_RecentNodes_triggered(QAction *action);
    void on_menu_RecentProjects_triggered(QAction *action);
    void on_addNodeFromReceiver(QString traceFilePath);
    void on_settingsUpdatingNotify(QString key);

    // tracerwindow_items.cpp: the current item, its groups and the item tree
    void on_action_ViewNodes_triggered();
    void on_action_CloseProject_triggered();
    void on_action_ViewNode_triggered();
    void on_action_ViewNodeApart_triggered();
    void on_action_CloseNode_triggered();
    void on_action_NodeStatistics_triggered();
    void on_curTracerItem_Changed(TracerItem *tracerItem, TracerItem::TracerItemCategory category, int data1,
                                  int data2);
    void on_itemTree_currentItemChanged(QTreeWidgetItem *current, QTreeWidgetItem *previous);
    void on_itemTree_contextMenu(QContextMenuEvent *event);
    void on_itemTree_doubleClicked(QMouseEvent *event);
    void on_itemTree_keyPressed(QKeyEvent *event);

private:
    static const ActionTable::Row<TracerWindow> actionTable[];

    void createGroups();
    void createActions();
    // A menu of the actions and separators of one group of the action table.
    QMenu *createContextMenu(const char *name, int group, const QVector<QAction *> &actions);
    // The node menu's Statistics entry, after the Node group's actions.
    void createStatisticsEntry();
    void createMenuModes();
    void createRecentLists();
    // Ctrl+O beside Ctrl+N for the Open action, and Ctrl+Q to quit.
    void createCommonKeys();
    void createCentralWidget();
    void connectSignals();

    // Shows or hides one left-hand panel; the splitter goes when all three are hidden.
    void togglePanel(QWidget *panel, bool checked, const QWidget *other1, const QWidget *other2);
    struct PendingOpen;
    // Reads the batch in parallel under one progress dialog and adds its
    // files in order, each with its message, recent entry and view.
    void loadBatch(QVector<PendingOpen> batch);
    // Remembers a file just added and shows its node; null is left unshown.
    void showOpened(const QString &path, Node *node);
    // The current item when the tree has a selection, else null.
    TracerItem *selectedCurrentItem() const;
    // Moves the tree's current entry off `entry` and the entries below it before they go.
    void leaveEntry(const QTreeWidgetItem *entry);
    // A tree left without a selection leaves the controller without a current item.
    void forgetUnselectedCurrentItem();

    SmartMenu *m_smartMenu = nullptr;
    std::unique_ptr<ViewManager> m_views;
    std::unique_ptr<RecentList> m_recentNodes;
    std::unique_ptr<RecentList> m_recentProjects;

    QAction *m_actionRecentNodes = nullptr;
    QAction *m_actionRecentProjects = nullptr;
    QAction *m_actionMenuMode = nullptr;
    QActionGroup *m_menuModesGroup = nullptr;
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
    ChartStatusBar *m_chartStatus = nullptr; // owned by the status bar
    BookmarkPanel *m_bookmarkPanel = nullptr;

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
