#pragma once

#include "chart/chartmetrics.h"
#include "chart/drawop.h"

#include <vector>

class PacketArrowTable;
class ViewItem;
class ViewNode;
struct PaintPass;
struct TraceEvent;

// A task row while the events of its node are turned into primitives.
struct TaskRow
{
    const ViewItem *item = nullptr;
    int y0 = 0; // row top, viewport pixels
    int id = 0; // the task's
    bool kernel = false;
    bool painted = true; // the row lies in the paint's clip
    // The task's event before was a switch to it (or there was none in view):
    // what decides the fill of the next bar as events are read forwards.
    bool afterSwitch = true;
};

// What an event of a node draws in its task's row: its bar, after a switch
// the connector from the task before, a marker with the arrows between a
// packet's events, or the arrow of a kernel service to a hub's row. The one
// definition that both the level of detail and the literal drawing use.
class EventPrimitives
{
public:
    EventPrimitives(const PaintPass &pass, const ViewNode &node);

    // A bar from left x to right x in the row whose top is rowTop; variant as
    // PrimitivePainter fills it (0 a switch, 1 the task goes on, 2 another follows).
    static DrawOp bar(int left, int right, int rowTop, int variant)
    {
        DrawOp op;
        op.kind = DrawOp::Bar;
        op.p = {left, rowTop + 1, right, rowTop + ChartMetrics::rowHeight - 2, variant, 0};
        return op;
    }
    // The line of a task switch at x, from the row of the task before to the
    // row of the task switched to (their tops).
    static DrawOp connector(int x, int fromRowTop, int toRowTop)
    {
        DrawOp op;
        op.kind = DrawOp::Connector;
        op.p = {x, fromRowTop + 1, x, toRowTop + 1, 0, 0};
        return op;
    }

    // Appends the primitives of event i to `out` in drawing order and returns
    // the pixel column they belong to: the event's left x. Bars cut away
    // entirely (see PaintPass::clampBar) are left out.
    int append(int i, TaskRow &row, std::vector<DrawOp> &out) const;

private:
    void appendSwitch(int i, int x, TaskRow &row, std::vector<DrawOp> &out) const;
    void appendBar(const TraceEvent &e, int x, int rowTop, int variant, std::vector<DrawOp> &out) const;
    // The fill of the bar of event i, read forwards (see TaskRow::afterSwitch).
    int variantOf(int i, TaskRow &row) const;
    void appendHubArrow(const TraceEvent &e, int x, const TaskRow &row, std::vector<DrawOp> &out) const;
    // Both ends of each arrow carry their node's shift.
    void appendPacketArrows(int i, int x, std::vector<DrawOp> &out) const;

    const PaintPass &m_pass;
    const ViewNode &m_node;
    const std::vector<TraceEvent> &m_events;
    const PacketArrowTable &m_packetArrows; // the node's, from the view
};
