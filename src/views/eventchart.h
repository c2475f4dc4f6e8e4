#pragma once

#include "chart/chartrenderer.h"
#include "chart/nodeviewstate.h"
#include "chart/timescale.h"
#include "chart/viewhistory.h"
#include "views/chartpicture.h"

#include <QAbstractScrollArea>
#include <QPoint>
#include <QRegion>
#include <QSharedPointer>
#include <QString>

#include <vector>

class ChartMapper;
class ChartNavigator;
class ChartMarks;
class ChartOverview;
class ChartRuler;
class EventChartCanvas;
class Node;
class QMenu;
class QMouseEvent;
class ViewItem;
class ViewNode;
class ViewRoot;

// The scrollable event chart of a node view: the rows of the view's ViewRoot
// along a linear or logarithmic time axis. Chooses the current node, selects
// events and moves a node's time axis with the mouse, zooms, fits and steps
// back and forward through the ranges it showed (its keys, wheel and panning
// are a ChartNavigator's), shows the event under the mouse as a tooltip, keeps the event list of its window
// scrolled to the same events and takes up changes of its settings.
class EventChart : public QAbstractScrollArea
{
    Q_OBJECT
public:
    enum EventChartState { MODE_CHANGED = 0, SCALE_CHANGED = 1, LAYOUT_CHANGED = 2 };
    Q_ENUM(EventChartState)

    // What the mouse is doing since the last press.
    enum DragMode { NO_DRAG = 0, SELECTING_EVENTS = 1, MOVING_NODE = 2 };

    // `root` and `viewStates` belong to the view window and must outlive the
    // chart; `title` is the project path shown in the header's root row.
    EventChart(ViewRoot *root, NodeViewStates *viewStates, const QString &title, QWidget *parent = nullptr);
    ~EventChart() override;

    // Pixels per microsecond, or per logarithmic unit in logarithmic mode.
    float scale() const { return m_timeScale.scale(); }
    bool isLinearMode() const { return m_timeScale.isLinearMode(); }
    // Switches the time axis; a request for the current mode does nothing.
    void setLinearMode(bool linear);
    // Zoom about zoomAnchor() by the mode's factor.
    bool zoomIn();
    // False, with nothing changed, when the whole chart is already in view.
    bool zoomOut();
    bool canZoomOut() const;

    // Navigation. Each zoom, fit and jump below is one step of the view's
    // history; scrolling is none. Times are on the aligned axis in the
    // current mode's units (microseconds or logarithmic units) unless named
    // otherwise.

    // Zooms by `steps` factor steps (negative: out) keeping the time under
    // viewport x under it; false, with nothing changed, for 0 steps or when
    // no zoom-out is left.
    bool zoomAt(int steps, int viewportX);
    // The viewport x that zoom actions and keys keep in place: the mouse's
    // when it is over the chart right of the header, else the chart's middle.
    int zoomAnchor() const;
    // Shows the whole aligned time range.
    void fitTime();
    // Fits the time range of the current node's selected events, or without
    // a selection the range between the two measuring cursors; false, with
    // nothing changed, when there is neither.
    bool zoomToSelection();
    // Scrolls so that the aligned time (microseconds; in logarithmic mode the
    // current node's time) is in the middle of the chart.
    void centreOn(double alignedTimeUs);
    // Scrolls down or up just far enough that the item's row shows whole.
    void ensureRowVisible(const ViewItem &item);
    // Jumps to the chart's start or end, at the same scale.
    void goToStart();
    void goToEnd();
    // Step through the history; false, with nothing changed, at its ends.
    bool goBack();
    bool goForward();
    bool canGoBack() const { return m_history.canGoBack(); }
    bool canGoForward() const { return m_history.canGoForward(); }
    // Chart units under viewport x: aligned microseconds in linear mode, log
    // units in logarithmic mode; negative left of the axis.
    double timeAtViewportX(int x) const;
    // The time under viewport x as the context menu copies it: seconds to
    // the microsecond ("0.012500 s"); in logarithmic mode the current node's
    // time there. Empty where there is none.
    QString timeTextAt(int viewportX) const;
    // The right-click menu at a viewport position: zooming, the measuring
    // cursors and bookmarks there, copying the time there, the statistics of
    // the current node or its selection, exporting the picture.
    void fillContextMenu(QMenu *menu, const QPoint &position);

    // Recomputes the content size, the scroll ranges and, when the content
    // became narrower than the window, the scale.
    void relayout();
    // Sets the current mode's scale (pixels per unit), relayouts, then
    // scrolls to `scrollValue`; the relayout may fit a scale that shows less
    // than the whole chart. Not a positive number: nothing happens.
    void zoomTo(float scale, int scrollValue);

    // The overview strip between the ruler and the rows; shown or hidden
    // for every chart from now on, remembered in the settings store.
    // The strips above the rows show as the chart's settings say.
    bool isRulerVisible() const { return m_renderer.settings().showRuler; }
    bool isOverviewVisible() const { return m_renderer.settings().showOverview; }

    // Whether the chart and the event list of the window scroll together.
    bool isSynchronized() const { return m_synchronized; }
    void setSynchronized(bool synchronized) { m_synchronized = synchronized; }

    // The event of `node` under time t (microseconds, or logarithmic units in
    // logarithmic mode) among the events the last paint visited; -1 when there
    // is none, or when `task` is not negative and the event ran in another task.
    int eventAt(const Node *node, float t, int task) const;

    // S: how far right of the viewport's left edge the chart is drawn.
    int headerShift() const;
    // The height of the ruler and the overview above the viewport, pixels.
    int topMargin() const { return m_topMargin; }
    // What the next paint of the viewport depends on besides the rows and the settings.
    ChartRenderer::Frame frame() const;
    // Positions at the scroll value of now.
    ChartMapper mapper() const;

    ViewRoot *root() const { return m_root; }
    NodeViewStates *viewStates() const { return m_viewStates; }
    const QString &title() const { return m_title; }
    EventChartCanvas *canvas() const { return m_canvas; }
    ChartRuler *ruler() const { return m_ruler; }
    // The measuring cursors and the bookmarks shown on this chart.
    ChartMarks *marks() const { return m_marks; }
    ChartOverview *overview() const { return m_overview; }
    ChartRenderer &renderer() { return m_renderer; }
    const ChartRenderer &renderer() const { return m_renderer; }
    const TimeScale &timeScale() const { return m_timeScale; }
    DragMode dragMode() const { return m_dragMode; }
    ViewNode *dragItem() const;
    // The row at `position` (canvas coordinates); null below the last row.
    ViewItem *itemAt(const QPoint &position) const;

    // Repaints `region` of the viewport with the marks' lines over the
    // picture on hand: for marks that move while the rows stay.
    void repaintOverlay(const QRegion &region);
    // The rows' picture the viewport shows, kept between paints.
    const ChartPicture &picture() const { return m_picture; }

signals:
    void eventChartStateChanged(EventChart::EventChartState state);
    void selectionWasChanged(int selFirst, int selLast);
    void eventChartScrolled(int firstEvent);
    // The mouse moved over the canvas to `position` (canvas coordinates).
    void pointerMoved(const QPoint &position);
    // While a node's title row is dragged: the offset its clock gets so far.
    void clockOffsetDragged(const QString &nodeName, qint64 offsetUs);
    // A step was added to or taken from the history.
    void historyChanged();
    // The context menu's Statistics entry was chosen.
    void statisticsRequested();

public slots:
    void on_contentWasMoved(int value);
    void on_canvasMousePressEvent(QMouseEvent *event);
    void on_canvasMouseMoveEvent(QMouseEvent *event);
    void on_canvasMouseReleaseEvent(QMouseEvent *event);
    void on_canvasMouseDoubleClickEvent(QMouseEvent *event);
    void on_currentNodeWasChanged(Node *node);
    void on_selectionWasChangedOutside(int selFirst, int selLast);
    void on_eventChartScrolled(int value);
    void on_eventListScrolled(int firstEvent);
    void on_settingsUpdatingNotify(const QString &key);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    bool hasCurrentNode() const;
    ViewNode *currentViewNode() const;
    bool isViewed(const ViewNode *node) const;
    bool zoomToCursors();
    // Puts the ruler and below it the overview (when shown) over the
    // viewport, as wide as it, the viewport's top margin as high as both.
    void placeRuler();
    // Shows or hides the ruler and the overview as the settings say, then places them.
    void showStrips();
    // The time of `node` under viewport x.
    float timeAt(const ViewNode *node, int x) const;
    // The node's record in the shared table, created when missing; null without a
    // table.
    NodeViewState *stateOf(const Node *node) const;
    void setCanvasCursor(Qt::CursorShape shape);
    void moveDraggedNode(int x);
    void extendSelection(int x);
    void hover(const QPoint &position, const QPoint &globalPosition);
    // The horizontal scroll value at which the event's start is at the chart's
    // left edge.
    int scrollValueFor(const ViewNode &node, int eventIndex) const;
    ViewHistory::Entry currentView() const;
    // Lays out at the new scale, scrolls to `scrollValue` and makes `before` a step back.
    void applyView(const ViewHistory::Entry &before, int scrollValue);
    // Shows a view of the history, a log mode only where a single node allows it.
    void restoreView(const ViewHistory::Entry &entry);
    // On a double-click: whether its first press cut a selection of several
    // events of `node` down to one inside it; if so, it is restored.
    bool restoreSelectionCutAt(const ViewNode *node);

    ViewRoot *m_root;
    NodeViewStates *m_viewStates;
    QString m_title;
    EventChartCanvas *m_canvas;
    ChartRuler *m_ruler;
    ChartOverview *m_overview;
    int m_topMargin = 0; // pixels above the viewport: ruler and overview
    ChartRenderer m_renderer;
    // Each paint copies its part from here: the rows are drawn again only
    // when what they show changed.
    ChartPicture m_picture;
    ChartMarks *m_marks = nullptr;
    ChartNavigator *m_navigator = nullptr;
    TimeScale m_timeScale;
    bool m_ignoreNextScroll = false;
    bool m_synchronized = true;
    QPoint m_pressPoint;
    int m_shiftAtPress = 0;
    // Every node's shift at the press that started moving a node, in the
    // order of the root's nodes: each move starts again from these, so that
    // normalising the shifts on one move does not carry into the next.
    std::vector<int> m_shiftsAtPress;
    // Weak: the window may drop the node's row while a drag is under way.
    QWeakPointer<ViewNode> m_dragItem;
    DragMode m_dragMode = NO_DRAG;
    ViewHistory m_history;
    // The current node's selection before each of the last two left presses:
    // a double-click comes after two, and the first may have cut a selection.
    struct PressedSelection
    {
        const Node *node = nullptr;
        int first = -1;
        int last = -1;
    };
    PressedSelection m_beforePresses[2];
};
