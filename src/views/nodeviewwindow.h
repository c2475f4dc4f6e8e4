#pragma once

#include "chart/nodeviewstate.h"
#include "views/eventchart.h"
#include "views/viewwindow.h"

#include <QItemSelection>
#include <QPointer>
#include <QSharedPointer>

#include <vector>

class EventListModel;
class FindBar;
class Node;
class Project;
class QComboBox;
class QLabel;
class QPushButton;
class QSplitter;
class QTableView;
class StatisticsWindow;
class ViewNode;
class ViewRoot;
struct TraceEvent;

// A view window of one project: a node chooser and the current node's event
// list on the left, the event chart of every viewed node on the right. Keeps
// list and chart on the same selection and scroll position, and turns list
// selections into the application's current item.
//
// Ctrl+F opens the find bar below both: its query runs over the current
// node's events; F3 and Shift+F3 (Enter and Shift+Enter in the bar) select
// the next and previous match, which the chart follows like any list
// selection, and the ruler and the overview mark every match. "Show only
// matches" narrows the list to the matching rows, each under its own event
// number; the chart keeps every event. A chart selection then selects the
// matching rows inside its range, or no row when there are none. Ctrl+C in
// the list copies the selected rows as CSV.
class NodeViewWindow : public ViewWindow
{
    Q_OBJECT
public:
    enum ViewStateItem {
        MODE_CHANGED = EventChart::MODE_CHANGED,
        SCALE_CHANGED = EventChart::SCALE_CHANGED,
        LAYOUT_CHANGED = EventChart::LAYOUT_CHANGED
    };
    Q_ENUM(ViewStateItem)

    // Rows of the event list, pixels.
    static constexpr int rowHeight = 18;

    NodeViewWindow(Project *project, int number, QWidget *parent = nullptr);
    ~NodeViewWindow() override;

    // Adds the node to the view, or makes it current when it is already
    // viewed. Returns the message for the user when the node belongs to
    // another project (nothing is changed then), else an empty string.
    QString showNode(Node *node);

    void setNumber(int number);
    int number() const { return m_number; }
    // The project path, with " (number)" for a number other than 0.
    QString titleText() const;

    void setLinearMode(bool linear);
    bool isLinearMode() const;
    void setSynchronized(bool synchronized);
    bool isSynchronized() const;
    void relayout();
    bool zoomIn();
    bool zoomOut();

    Project *project() const;
    QString projectPath() const { return m_projectPath; }
    ViewRoot *viewTree() const { return m_viewTree.data(); }
    Node *currentNode() const;
    int viewedNodeCount() const;
    EventChart *chart() const { return m_chart; }
    QTableView *eventList() const { return m_eventList; }
    QComboBox *nodeChooser() const { return m_nodeChooser; }
    QPushButton *closeNodeButton() const { return m_closeNodeBtn; }
    QLabel *nodeCountLabel() const { return m_nodeCountLabel; }
    const NodeViewStates &viewStates() const { return m_viewStates; }
    FindBar *findBar() const { return m_findBar; }
    // The current node's events that match the find bar's query, ascending;
    // none while the bar is closed or its query is faulty.
    const std::vector<int> &matches() const { return m_matches; }

    // Makes the viewed node with `nodeId` current, selects its event in the
    // list and the chart and brings it into view in both; false, with nothing
    // changed, when no viewed node has that id or that event.
    bool goToEvent(int nodeId, int eventIndex);
    // Opens a statistics window of the current node: of its selected events
    // when they are more than one, else of all of them. Null without a current node.
    StatisticsWindow *showStatistics();

signals:
    void viewMustBeClosed(NodeViewWindow *view);
    void viewClosing(NodeViewWindow *view);
    void viewedNodesWasRecounted(NodeViewWindow *view);
    void viewStateChanged(NodeViewWindow::ViewStateItem vsi);
    void selectionWasChanged(int selFirst, int selLast);
    void eventListScrolled(int firstEvent);
    void curNode_Changed(Node *node, NodeViewWindow *view);

public slots:
    void on_closeNodeBtn_clicked();
    void on_currentIndexChanged(const QString &text);
    void on_nodeUnderRemoving(Node *node);
    void on_projectUnderRemoving();
    void on_selectionChanged(const QItemSelection &selected, const QItemSelection &deselected);
    void on_currentNodeWasChanged(Node *node);
    void on_action_View_triggered() override;
    void on_eventChartStateChanged(EventChart::EventChartState ecs);
    void on_selectionWasChangedOutside(int selFirst, int selLast);
    void on_eventListScrolled(int value);
    void on_eventChartScrolled(int firstEvent);
    void openFind();
    void closeFind();
    // Selects the match after (before) the selected event, or after the
    // list's first row without a selection.
    void stepMatch(bool forward);
    // The list's selected rows as CSV on the clipboard, as text and text/csv.
    void copySelectedRows();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // The view's row of the node with that id; null when it is not viewed.
    ViewNode *viewedRowOf(int nodeId) const;
    // Scrolls the chart down or up to the row of the task the event ran in.
    void showEventRow(const ViewNode &row, const TraceEvent &event);
    NodeViewState *currentState();
    // The find bar's signals and the keys Ctrl+F, F3, Shift+F3, Escape and Ctrl+C.
    void connectFind();
    EventListModel *listModel() const;
    // The current item for a selection of events; -1 for none.
    void setTracerSelection(int first, int last);
    // Selects the list's rows of the events from top to bottom, telling
    // neither the chart nor the application: a filtered list may hold none.
    void selectRowsOfEvents(int top, int bottom);
    // The list row to scroll to for an event: its own, or the next shown one.
    int rowForEvent(int event) const;
    // Moves the list's scroll bar without the chart following.
    void scrollListQuietly(int row);
    // Evaluates the find bar's query on the current node: matches, marks,
    // the count or the fault, and the filter of the list's model.
    void runQuery(bool selectFault = false);
    // Whether the list's model filter changed.
    bool applyFilter();
    // Restores the list's selection and scroll after its rows changed.
    void restoreListView();
    void updateMatchCount();
    // Whole rows the list's viewport shows.
    int visibleRows() const;
    // Shows `model` in the list and follows its selection; the list's former
    // selection model goes with it.
    void setListModel(EventListModel *model);
    // The least widths, then widenNumberColumns().
    void setColumnWidths();
    // Widens the "#" and "Tc" columns, never narrows them, so that the list's
    // node's largest numbers show whole; computed from the font, not the rows.
    void widenNumberColumns();
    void updateNodeCount();
    void repaintChart();
    // Drops every viewed node at once, models first, so that nothing refers
    // to a node of a project that is going away.
    void releaseNodes();

    QPointer<Project> m_project;
    const QString m_projectPath;
    int m_number;
    NodeViewStates m_viewStates;
    // The event list's model of each viewed node, by trace file name, as m_viewStates.
    QHash<QString, QSharedPointer<EventListModel>> m_listModels;
    QSharedPointer<ViewRoot> m_viewTree;
    QComboBox *m_nodeChooser = nullptr;
    QPushButton *m_closeNodeBtn = nullptr;
    QLabel *m_nodeCountLabel = nullptr;
    QTableView *m_eventList = nullptr;
    EventChart *m_chart = nullptr;
    QSplitter *m_splitter = nullptr;
    // Set while the window moves the list on the chart's behalf, so that the
    // move is not reported back to the chart.
    bool m_scrollEcho = false;
    // Set while the window selects filtered rows on the chart's behalf.
    bool m_selectionEcho = false;
    FindBar *m_findBar = nullptr;
    std::vector<int> m_matches;
    bool m_queryValid = true;
};
