#pragma once

#include "trace/bookmarkstore.h"

#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QSharedPointer>

#include <array>
#include <optional>
#include <vector>

class EventChart;
class Node;
class ProjectBookmarks;
class QPainter;
class ViewNode;
struct RulerMarks;

// The marks a user sets on one event chart: two measuring cursors and the
// project's bookmarks.
//
// A cursor is an aligned time in microseconds (see ChartMapper): a vertical
// line across every node of the view, so that A on a send in one node and B
// on the receive in another measure the latency between them. Keys 1 and 2
// on the chart put A or B at the mouse (at the middle of the view when the
// mouse is not over the rows), snapped to the nearest event edge within
// snapDistance() pixels unless Alt is held. In logarithmic mode the chart's
// x stands for the current node's times only: cursors are read and shown
// through that node's log axis, and snap to its events.
//
// Bookmarks are kept per project (ProjectBookmarks) on their node's own
// clock; the chart shows those of its viewed nodes, each at its node's
// aligned time (in logarithmic mode on its node's log axis).
//
// The find bar's matches, events of one node, show as ticks in the ruler
// and the overview while that node is viewed.
class ChartMarks : public QObject
{
    Q_OBJECT
public:
    enum Cursor { CURSOR_A = 0, CURSOR_B = 1 };

    // Pixels, as the chart's settings give it.
    int snapDistance() const;

    // Lives as long as `chart`, which must be fully built.
    explicit ChartMarks(EventChart &chart);
    ~ChartMarks() override;

    // Aligned microseconds; none while the cursor is not set.
    std::optional<double> cursorTime(int which) const;
    // B - A in microseconds; none unless both are set.
    std::optional<double> cursorDelta() const;
    // The cursor's viewport x; none when unset or where the axis has no time.
    std::optional<int> cursorX(int which) const;
    // Puts cursor `which` at viewport x, snapped unless `free`. Left of the
    // rows, or where the current node has no time in logarithmic mode, the
    // cursor stays where it was.
    void setCursorAt(int which, int viewportX, bool free = false);
    // Sets or clears a cursor; an index other than A and B is ignored.
    void setCursorTime(int which, std::optional<double> alignedTime);
    // The cursor whose ruler handle is within reach of viewport x; -1 for none.
    int cursorNear(int viewportX) const;

    ProjectBookmarks &bookmarks() const { return *m_bookmarks; }
    // Aligned microseconds of the bookmarks on viewed nodes, ascending: what
    // an overview of the whole chart marks.
    QList<double> bookmarkTimes() const;
    // The bookmark's viewport x; none when its node is not viewed or, in
    // logarithmic mode, has no time there.
    std::optional<int> bookmarkX(const Bookmark &bookmark) const;

    // Shows `events` of `node` (ascending indexes) as the matches; none clears them.
    void setMatches(const Node *node, std::vector<int> events);
    const std::vector<int> &matches() const { return m_matches; }
    // The row of the matches' node; null without matches or when it is not viewed.
    const ViewNode *matchRow() const;

    // What the ruler draws of the marks; x in viewport pixels.
    RulerMarks rulerMarks() const;
    // Draws the cursors' lines across the rows.
    void paintLines(QPainter &painter) const;

public slots:
    void clearCursors();
    // Puts cursor `which` at the mouse when it is over the rows, else at the
    // middle of the view; `free` places it without snapping.
    void placeCursor(int which, bool free = false);
    // Asks for a name and adds a bookmark at the mouse over a row (on that
    // row's node), else at the start of the current node's selection, else
    // at the middle of the view on the current node.
    void addBookmark();
    // Centres the view on the first bookmark right (left) of its middle.
    void nextBookmark();
    void previousBookmark();
    // Makes the bookmark's node current and centres the view on it; a
    // bookmark of a node the view does not show is ignored.
    void jumpToBookmark(int index);

signals:
    void cursorsChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    ViewNode *viewNodeNamed(const QString &traceFileName) const;
    ViewNode *currentViewNode() const;
    std::optional<int> xOfUnits(double units) const;
    // Where a bookmark of the node lies on the chart's axis, in chart units.
    std::optional<double> unitsOf(const ViewNode &node, double nodeTime) const;
    // The node's own time under viewport x; none where it has none.
    std::optional<double> nodeTimeAt(const ViewNode &node, int viewportX) const;
    int middleX() const;
    // The mouse position over the rows; none when the mouse is elsewhere.
    std::optional<QPoint> mouseOverRows() const;
    // Where a new bookmark goes: its node and its time, or none.
    std::optional<Bookmark> bookmarkHere() const;
    void stepBookmark(bool forward);
    // Viewport x of the matches within the rows' visible width, ascending, each once.
    QList<int> matchXs() const;
    // Repaints the lines of cursors at these x, from the picture already drawn.
    void repaintLines(const std::optional<int> &before, const std::optional<int> &after) const;

    EventChart &m_chart;
    QSharedPointer<ProjectBookmarks> m_bookmarks;
    std::array<std::optional<double>, 2> m_cursors;
    QPointer<const Node> m_matchNode;
    std::vector<int> m_matches;
    QPoint m_mouse;             // viewport position of the last move over the canvas
    bool m_mouseInside = false; // since that move
};
