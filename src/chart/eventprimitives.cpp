#include "chart/eventprimitives.h"

#include "chart/packetarrowtable.h"
#include "chart/paintpass.h"
#include "trace/eventcatalogue.h"
#include "trace/node.h"

#include <QPoint>

namespace {

constexpr int H = ChartMetrics::rowHeight;

} // namespace

EventPrimitives::EventPrimitives(const PaintPass &pass, const ViewNode &node)
    : m_pass(pass)
    , m_node(node)
    , m_events(node.node()->events())
    , m_packetArrows(pass.root.packetArrowsOf(node))
{}

int EventPrimitives::append(int i, TaskRow &row, std::vector<DrawOp> &out) const
{
    const TraceEvent &e = m_events[size_t(i)];
    const int x = m_pass.mapper.leftX(e, m_node.shift());
    if (e.type == EventType::TaskSwitch) {
        appendSwitch(i, x, row, out);
    } else if (EventType::isSync(e.type)) {
        DrawOp marker;
        marker.kind = DrawOp::SyncMarker;
        marker.p = {x, e.type, 0, 0, 0, 0};
        out.push_back(marker);
        if (e.type != EventType::SyncMarker)
            appendPacketArrows(i, x, out);
    } else if (e.type == EventType::UserMarker) {
        DrawOp marker;
        marker.kind = DrawOp::UserMarker;
        marker.p = {x, 0, 0, 0, 0, 0};
        out.push_back(marker);
    } else {
        appendBar(e, x, row.y0, variantOf(i, row), out);
        if (row.kernel && e.type == EventType::KernelServicingRequest)
            appendHubArrow(e, x, row, out);
    }
    return x;
}

void EventPrimitives::appendSwitch(int i, int x, TaskRow &row, std::vector<DrawOp> &out) const
{
    const ViewTaskTrain *train = m_node.taskTrain();
    if (i > 0 && train) {
        if (const ViewItem *previous = train->childById(m_events[size_t(i - 1)].currentTask))
            out.push_back(connector(x, m_pass.rowTop(*previous), row.y0));
    }
    appendBar(m_events[size_t(i)], x, row.y0, 0, out);
    row.afterSwitch = true;
}

void EventPrimitives::appendBar(const TraceEvent &e, int x, int rowTop, int variant,
                                std::vector<DrawOp> &out) const
{
    DrawOp op = bar(x, m_pass.mapper.rightX(e, m_node.shift()), rowTop, variant);
    if (m_pass.clampBar(op))
        out.push_back(op);
}

int EventPrimitives::variantOf(int i, TaskRow &row) const
{
    if (row.afterSwitch) {
        row.afterSwitch = false;
        return 1;
    }
    const bool last = i == int(m_events.size()) - 1;
    return last || m_events[size_t(i + 1)].currentTask == row.id ? 1 : 2;
}

void EventPrimitives::appendHubArrow(const TraceEvent &e, int x, const TaskRow &row,
                                     std::vector<DrawOp> &out) const
{
    const Node &node = *m_node.node();
    const auto service = node.services().constFind(e.arg1);
    const int code = service == node.services().cend() ? ServiceCode::Other : service->code;
    if (code != ServiceCode::SendToHub && code != ServiceCode::ReceiveFromHub)
        return;
    const auto *hubNode = static_cast<const ViewNode *>(m_pass.root.childById(e.nodeId));
    const ViewItem *hubRow =
        hubNode && hubNode->hubTrain() ? hubNode->hubTrain()->childById(e.arg2) : nullptr;
    if (!hubRow)
        return;
    // Zoomed in without end the sum may leave the int range: it stops at its ends.
    const int arrowX = TimeScaleDetail::toPixel(double(x) + double(m_pass.mapper.halfWidthOf(e)));
    const bool send = code == ServiceCode::SendToHub;
    const bool below = m_pass.root.isAbove(&m_node, hubNode);
    DrawOp op;
    op.kind = DrawOp::HubArrow;
    op.p = {arrowX, row.y0 + 1, row.y0 + H - 2, m_pass.rowTop(*hubRow), send ? 1 : 0, below ? 1 : 0};
    out.push_back(op);
}

void EventPrimitives::appendPacketArrows(int i, int x, std::vector<DrawOp> &out) const
{
    const QRect group = m_node.taskTrain() ? m_node.taskTrain()->rect() : QRect();
    for (const RoutedPacketArrow &arrow : m_packetArrows.arrowsOf(i)) {
        const ViewNode *partner = arrow.partner;
        if (!partner->taskTrain())
            continue;
        const int px = m_pass.mapper.leftX(arrow.offset, arrow.logPosition, partner->shift());
        const QRect other = partner->taskTrain()->rect();
        QPoint here;
        QPoint there;
        if (arrow.alongGroupRow) {
            here = QPoint(x, group.top() + 15);
            there = QPoint(px, other.top() + 15);
        } else if (m_pass.root.isAbove(&m_node, partner)) {
            here = QPoint(x, group.bottom() + 3);
            there = QPoint(px, other.top() + 15);
        } else {
            here = QPoint(x, group.top() + 15);
            there = QPoint(px, other.bottom() + 3);
        }
        const bool towards = arrow.direction == PacketArrow::TOWARDS_PARTNER;
        const QPoint from = towards ? here : there;
        const QPoint to = towards ? there : here;
        DrawOp op;
        op.kind = DrawOp::PacketArrow;
        op.p = {from.x(), from.y(), to.x(), to.y(), 0, 0};
        out.push_back(op);
    }
}
