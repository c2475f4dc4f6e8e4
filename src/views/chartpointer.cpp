#include "views/chartpointer.h"

#include "chart/chartmapper.h"
#include "chart/chartmetrics.h"
#include "chart/logtime.h"
#include "chart/viewitem.h"
#include "chart/viewroot.h"
#include "trace/node.h"
#include "views/eventchart.h"

#include <QScrollBar>

#include <algorithm>

namespace {

// The time at chart x (0 at the rows' left edge) on the aligned axis, or on
// `node`'s own axis in logarithmic mode; -1 where there is none. Computed in
// double: a float holds a 25-second trace to only 2 us.
double timeAtX(const EventChart &chart, const Node *node, int x)
{
    if (!(chart.scale() > 0.0f))
        return -1.0;
    const double units = chart.timeAtViewportX(x + chart.headerShift());
    if (chart.isLinearMode())
        return units >= 0.0 ? units : -1.0;
    if (!node || node->eventCount() == 0 || units < 0.0)
        return -1.0;
    return LogTime::timeAt(*node, float(units));
}

const Node *axisNode(const EventChart &chart, const ViewItem *item)
{
    if (item && item->viewNode())
        return item->viewNode()->node();
    return chart.root() ? chart.root()->currentNode() : nullptr;
}

} // namespace

ChartPointer ChartPointers::pointerAt(const EventChart &chart, const QPoint &position)
{
    ChartPointer pointer;
    const int x = position.x() - chart.headerShift();
    if (x < 0 || position.x() >= chart.viewport()->width() || position.y() < 0)
        return pointer;
    const ViewItem *item = chart.itemAt(position);
    if (!item)
        return pointer;
    pointer.overRows = true;
    pointer.row = item->label();
    const ViewNode *viewNode = item->viewNode();
    const Node *node = viewNode ? viewNode->node() : nullptr;
    pointer.time = timeAtX(chart, axisNode(chart, item), x);
    if (!node)
        return pointer;
    pointer.node = node->name();
    const double own = chart.isLinearMode() ? pointer.time - viewNode->shift() : pointer.time;
    if (pointer.time >= 0.0 && own >= 0.0 && node->eventCount() > 0)
        pointer.nodeTimestamp = qint64(quint32(node->events().front().timestamp + quint32(qint64(own))));
    return pointer;
}

TimeSpan ChartPointers::visibleTimes(const EventChart &chart)
{
    // Logarithmic views show one node, whose shift is 0.
    const int width = std::max(0, chart.viewport()->width() - chart.headerShift() - 1);
    return AxisTime::visibleSpan(chart.mapper(), width, axisNode(chart, nullptr), 0);
}

std::optional<TimeSpan> ChartPointers::selectedTimes(const EventChart &chart)
{
    const Node *node = axisNode(chart, nullptr);
    if (!node || !chart.viewStates())
        return std::nullopt;
    const auto state = chart.viewStates()->constFind(node->traceFileName());
    if (state == chart.viewStates()->cend() || state->selFirst < 0 || state->selLast < 0)
        return std::nullopt;
    const TraceEvent *first = node->event(std::min(state->selFirst, state->selLast));
    const TraceEvent *last = node->event(std::max(state->selFirst, state->selLast));
    if (!first || !last)
        return std::nullopt;
    return TimeSpan{double(first->offset), double(last->offset) + double(last->duration)};
}
