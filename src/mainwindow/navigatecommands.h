#pragma once

#include "mainwindow/actiontable.h"

#include <QObject>

class NodeViewWindow;
class QAction;
class QMdiArea;
class SmartMenu;

// The Navigate group: fitting, zooming to the selection and stepping through
// the history of the MDI area's current node view, with Back and Forward
// enabled while that view has a step to take; its measuring cursors and
// bookmarks; showing the overview strip, for every chart (a setting); the
// statistics of its current node; exporting the chart's picture to an image file. The
// Bookmarks entry, which shows the bookmarks panel, is the window's to connect.
class NavigateCommands : public QObject
{
    Q_OBJECT
public:
    // Creates the actions, parented by `window`, in the Navigate group of `smartMenu`, which must exist.
    NavigateCommands(QWidget *window, QMdiArea *area, SmartMenu *smartMenu);

    // Follows the view's history from its opening on.
    void watch(NodeViewWindow *view);
    // Brings Back and Forward in line with the view that became active.
    void viewActivated(NodeViewWindow *view);

private slots:
    void fitTime();
    void zoomToSelection();
    void goBack();
    void goForward();
    void updateHistoryActions();
    void setCursorA();
    void setCursorB();
    void addBookmark();
    void nextBookmark();
    void previousBookmark();
    void showOverview(bool shown);
    void showStatistics();
    void exportImage();

private:
    static const ActionTable::Row<NavigateCommands> actionTable[];

    // The current sub-window when it is a node view, else null.
    NodeViewWindow *currentNodeView() const;

    QMdiArea *m_area;
    QAction *m_back = nullptr;
    QAction *m_forward = nullptr;
    QAction *m_overview = nullptr;
};
