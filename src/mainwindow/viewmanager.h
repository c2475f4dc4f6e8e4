#pragma once

#include "mainwindow/actiontable.h"
#include "views/nodeviewwindow.h"

#include <QObject>

#include <memory>

class ChartCommands;
class NavigateCommands;
class Node;
class QAction;
class QMdiArea;
class QMdiSubWindow;
class SmartMenu;

// The node views in the main window's MDI area. Finds or opens the view of a
// node's project, numbers a project's further views, arranges and closes
// views with the actions of the Views group, and enables the Views, View and
// Navigate groups while there are views. The View group's commands are
// ChartCommands', the Navigate group's NavigateCommands'.
class ViewManager : public QObject
{
    Q_OBJECT
public:
    // Creates the actions, parented by `window`, in the Views, View and
    // Navigate groups of `smartMenu`, which must exist; the groups start disabled.
    ViewManager(QWidget *window, QMdiArea *area, SmartMenu *smartMenu);
    ~ViewManager() override;

    // The node view in `window`; null for none or another kind of view.
    static NodeViewWindow *nodeView(QMdiSubWindow *window);

    // Shows the node in its project's first view, or in a new numbered view
    // when `apart`. Null does nothing.
    void viewNode(Node *node, bool apart);
    // Disables the Views, View and Navigate groups when no view is left.
    void disableGroupsWhenEmpty();

signals:
    // A node view became the active sub-window.
    void curNode_Changed(Node *node, NodeViewWindow *view);

private slots:
    void tile();
    void tileVertically();
    void cascade();
    void fit();
    void closeActiveView();
    void closeAllViews();

    void on_viewMustBeClosed(NodeViewWindow *view);
    void on_viewClosing(NodeViewWindow *view);
    void on_subWindowActivated(QMdiSubWindow *window);

private:
    static const ActionTable::Row<ViewManager> actionTable[];

    void setGroupsEnabled(bool enabled);
    // Activates the project's first view, made to show `node`; false when the project has none yet.
    bool showInFirstView(Node *node);
    // The number of a view of the node's project opened apart, 0 for the
    // project's first view; an unnumbered view of the project takes its number first.
    int numberApart(const Node *node);
    void openView(Node *node, int number);
    // Whether the MDI area holds any view but `leaving`.
    bool hasViewsBesides(const QMdiSubWindow *leaving) const;

    QWidget *m_window;
    QMdiArea *m_area;
    SmartMenu *m_smartMenu;
    QAction *m_viewList = nullptr;
    std::unique_ptr<ChartCommands> m_chart;
    std::unique_ptr<NavigateCommands> m_navigate;
};
