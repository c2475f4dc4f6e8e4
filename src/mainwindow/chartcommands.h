#pragma once

#include "mainwindow/actiontable.h"
#include "views/nodeviewwindow.h"

#include <QObject>

class QAction;
class QMdiArea;
class SmartMenu;

// The View group: chart commands for the MDI area's current node view, the
// time scale, header placement, zoom and scroll synchronisation, with the
// actions' states kept in line with that view.
class ChartCommands : public QObject
{
    Q_OBJECT
public:
    // Creates the actions, parented by `window`, in the View group of `smartMenu`, which must exist.
    ChartCommands(QWidget *window, QMdiArea *area, SmartMenu *smartMenu);

    // Follows the view's node count and layout from its opening on.
    void watch(NodeViewWindow *view);
    // Brings the mode, zoom and synchronisation actions in line with the view that became active.
    void viewActivated(NodeViewWindow *view);

private slots:
    void setSynchronized(bool synchronized);
    void toggleMode();
    void setLinearMode();
    void setLogMode();
    void toggleHeader();
    void setInternalHeader();
    void setExternalHeader();
    void zoomIn();
    void zoomOut();
    void on_view_viewedNodesWasRecounted(NodeViewWindow *view);
    void on_viewStateChanged(NodeViewWindow::ViewStateItem vsi);

private:
    static const ActionTable::Row<ChartCommands> actionTable[];

    // The current sub-window when it is a node view, else null.
    NodeViewWindow *currentNodeView() const;
    // Brings the mode, log and zoom actions in line with `view` when it is the current view.
    void updateChartModeActions(NodeViewWindow *view);
    void setModeToggleLook(bool linear);
    void setHeaderToggleLook(bool external);
    // Sets the controller's header flag and lays every view out again.
    void placeHeader(bool external);

    QMdiArea *m_area;
    QAction *m_synchro = nullptr;
    QAction *m_toggleMode = nullptr;
    QAction *m_logMode = nullptr;
    QAction *m_toggleHeader = nullptr;
    QAction *m_zoomIn = nullptr;
    QAction *m_zoomOut = nullptr;
};
