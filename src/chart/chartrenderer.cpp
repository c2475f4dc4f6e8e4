#include "chart/chartrenderer.h"

#include "chart/chartheader.h"
#include "chart/eventprimitives.h"
#include "chart/paintpass.h"
#include "chart/primitivepainter.h"
#include "chart/rastertarget.h"
#include "chart/rowpainter.h"
#include "trace/node.h"
#include "trace/task.h"

#include <QPainter>
#include <QSharedPointer>

ChartRenderer::ChartRenderer()
    : m_settings(ChartSettings::read())
{}

ChartRenderer::~ChartRenderer() = default;

void ChartRenderer::setSettings(const ChartSettings &settings)
{
    m_settings = settings;
    ++m_generation;
}

void ChartRenderer::setLevelOfDetail(bool on)
{
    m_levelOfDetail = on;
    ++m_generation;
}

void ChartRenderer::paint(QPainter &painter, ViewRoot &root, NodeViewStates &states, const QRect &clip,
                          const Frame &frame)
{
    Q_ASSERT(frame.scale);
    PaintPass pass(frame, root, states, m_settings, m_style, clip);
    pass.levelOfDetail = m_levelOfDetail && painter.opacity() == 1.0 &&
                         painter.compositionMode() == QPainter::CompositionMode_SourceOver;
    m_kept.clear();
    m_keptRanges.clear();
    m_keptWhole = pass.levelOfDetail && clip.contains(QRect(QPoint(0, 0), frame.viewport));
    paintPasses(painter, root, clip, pass);
}

bool ChartRenderer::repaintKept(QPainter &painter, ViewRoot &root, NodeViewStates &states, const Frame &frame,
                                const QRect &area)
{
    Q_ASSERT(frame.scale);
    if (!m_keptWhole || painter.opacity() != 1.0 ||
        painter.compositionMode() != QPainter::CompositionMode_SourceOver)
        return false;
    // Laid out as the whole viewport was, so that every row draws as it did.
    const QRect whole(QPoint(0, 0), frame.viewport);
    PaintPass pass(frame, root, states, m_settings, m_style, whole);
    m_replayLeft = area.left() + pass.clip.left();
    m_replayRight = area.right() + pass.clip.left();
    m_replaying = true;
    painter.save();
    painter.setClipRect(area);
    paintPasses(painter, root, whole, pass);
    painter.restore();
    m_replaying = false;
    for (auto range = m_keptRanges.cbegin(); range != m_keptRanges.cend(); ++range) {
        NodeViewState &record = states[range.key()];
        record.chartFirst = range->first;
        record.chartEnd = range->second;
    }
    return true;
}

std::vector<QRect> ChartRenderer::overlayRects(ViewRoot &root, NodeViewStates &states, const Frame &frame)
{
    const PaintPass pass(frame, root, states, m_settings, m_style, QRect(QPoint(0, 0), frame.viewport));
    const int shift = -pass.clip.left();
    std::vector<QRect> rects;
    for (const QSharedPointer<ViewNode> &node : root.nodes()) {
        const RowPainter::NodeOverlays overlays = RowPainter::overlaysOf(pass, *node);
        // An outline reaches one pixel past its rectangle's right and bottom.
        rects.push_back(overlays.hasBefore ? overlays.before.adjusted(shift, 0, shift + 1, 1) : QRect());
        rects.push_back(overlays.hatched ? overlays.after.adjusted(shift, 0, shift + 1, 1) : QRect());
        rects.push_back(overlays.selected ? overlays.selection.translated(shift, 0) : QRect());
    }
    return rects;
}

void ChartRenderer::paintPasses(QPainter &painter, ViewRoot &root, const QRect &clip, PaintPass &pass)
{
    const Frame &frame = pass.frame;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(clip, frame.background);
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);

    // The chart is drawn S pixels right of the viewport's edge; rows are laid
    // out in the shifted coordinates, the clip follows them.
    const int shift = frame.externalHeader ? ChartMetrics::headerWidth : 0;
    painter.setWindow(-shift, 0, frame.viewport.width(), frame.viewport.height());
    painter.setViewport(0, 0, frame.viewport.width(), frame.viewport.height());
    paintItem(root, painter, 0, pass);
    if (pass.levelOfDetail && !m_replaying)
        collectDetail(root, pass);
    if (pass.levelOfDetail) {
        // The colours of the long vertical lines, most of the pixels drawn.
        const ChartSettings &s = pass.settings;
        m_deferred.start(RasterTarget(painter), {s.syncMarkerColor.rgba(), s.transmitColor.rgba(),
                                                 s.receiveColor.rgba(), s.userMarkerColor.rgba()});
        if (m_deferred.active())
            pass.deferred = &m_deferred;
    }
    paintItem(root, painter, 1, pass);
    m_deferred.finish();
    pass.deferred = nullptr;

    if (frame.externalHeader) {
        painter.setWindow(0, 0, frame.viewport.width(), frame.viewport.height());
        ChartHeader(painter, pass).paint(root);
    }
    painter.restore();
}

void ChartRenderer::paintItem(ViewItem &item, QPainter &painter, int pass, PaintPass &state)
{
    const QRect rect = state.root.itemRect(&item, state.geometry);
    item.setRect(rect);
    const QRect visible = state.clip & rect;
    const RowPainter rows(painter, state);
    switch (item.kind()) {
    case ViewItem::ROOT_ITEM:
        if (pass == 0)
            rows.paintRoot(visible);
        break;
    case ViewItem::NODE_ITEM:
        if (pass == 0)
            rows.paintNodeGround(static_cast<const ViewNode &>(item), visible);
        else
            rows.paintNodeOverlays(static_cast<const ViewNode &>(item));
        break;
    case ViewItem::TASK_TRAIN_ITEM:
    case ViewItem::HUB_TRAIN_ITEM:
        if (pass == 0)
            rows.paintGroupGround(item, visible);
        break;
    case ViewItem::TASK_ITEM:
    case ViewItem::HUB_ITEM:
        if (pass == 0) {
            rows.paintLeafGround(item, visible);
        } else if (item.kind() == ViewItem::TASK_ITEM) {
            paintTaskEvents(item, painter, visible, state);
            rows.paintLabel(item);
        }
        break;
    }
    for (int i = 0; i < item.childCount(); ++i)
        paintItem(*item.child(i), painter, pass, state);
}

void ChartRenderer::paintTaskEvents(const ViewItem &item, QPainter &painter, const QRect &visible,
                                    PaintPass &state)
{
    const ViewNode *n = item.viewNode();
    const Node *node = n ? n->node() : nullptr;
    if (!visible.isValid() || !node || !static_cast<const ViewTask &>(item).task())
        return;
    if (m_replaying) {
        paintKeptEvents(item, painter, state);
        return;
    }
    PaintPass::Span &span = state.span;
    if (span.node != n || span.right != visible.right()) {
        span = PaintPass::Span{n, visible.right(),
                               state.mapper.eventsBetween(*node, n->shift(), 0, visible.right())};
    }
    NodeViewState &record = state.states[node->traceFileName()];
    record.chartFirst = span.events.first;
    // -1 and 0 scrolled past the node's last event: nothing of it is in view.
    record.chartEnd = span.events.end;
    if (m_keptWhole)
        m_keptRanges.insert(node->traceFileName(), {record.chartFirst, record.chartEnd});
    if (span.events.first < 0)
        return;

    if (!state.levelOfDetail) {
        paintLiteral(item, painter, state);
        return;
    }
    PrimitivePainter out(painter, state, n->taskTrain() ? n->taskTrain()->rect() : QRect(), false);
    const std::vector<DrawOp> &ops = m_detail.opsOf(&item);
    for (const DrawOp &op : ops)
        out.draw(op);
    if (m_keptWhole)
        m_kept.insert(&item, KeptRow{&ops, {}});
}

void ChartRenderer::collectDetail(const ViewRoot &root, const PaintPass &state)
{
    std::vector<LevelOfDetail::NodeRange> nodes;
    for (int i = 0; i < root.childCount(); ++i) {
        const auto &n = static_cast<const ViewNode &>(*root.child(i));
        const ViewTaskTrain *train = n.taskTrain();
        // The events the node's first drawn row visits (see paintTaskEvents):
        // the rows of a node share their left and right ends.
        for (int k = 0; train && n.node() && k < train->childCount(); ++k) {
            const auto &row = static_cast<const ViewTask &>(*train->child(k));
            const QRect visible = state.clip & state.root.itemRect(&row, state.geometry);
            if (!visible.isValid() || !row.task())
                continue;
            const ShownEvents events = state.mapper.eventsBetween(*n.node(), n.shift(), 0, visible.right());
            if (events.first >= 0)
                nodes.push_back({&n, events});
            break;
        }
    }
    m_detail.collect(nodes, state);
}

void ChartRenderer::paintKeptEvents(const ViewItem &item, QPainter &painter, PaintPass &state)
{
    const auto kept = m_kept.find(&item);
    if (kept == m_kept.end())
        return;
    const std::vector<DrawOp> &ops = *kept->ops;
    std::vector<std::pair<qint64, qint64>> &blocks = kept->blockReach;
    if (blocks.empty()) {
        for (size_t k = 0; k < ops.size(); ++k) {
            const auto [left, right] = reachOf(ops[k], state);
            if (k % keptBlock == 0)
                blocks.emplace_back(left, right);
            blocks.back() = {qMin(blocks.back().first, left), qMax(blocks.back().second, right)};
        }
    }
    const ViewNode &n = *item.viewNode();
    PrimitivePainter out(painter, state, n.taskTrain() ? n.taskTrain()->rect() : QRect(), false);
    const auto reaches = [this](const std::pair<qint64, qint64> &reach) {
        return reach.second >= m_replayLeft && reach.first <= m_replayRight;
    };
    for (size_t b = 0; b < blocks.size(); ++b) {
        if (!reaches(blocks[b]))
            continue;
        for (size_t k = b * keptBlock; k < qMin(ops.size(), (b + 1) * keptBlock); ++k) {
            if (reaches(reachOf(ops[k], state)))
                out.draw(ops[k]);
        }
    }
}

std::pair<qint64, qint64> ChartRenderer::reachOf(const DrawOp &op, PaintPass &state) const
{
    // How far each kind draws beside its x: a bar's outline one past its
    // right, a marker's squares and icon, a hub arrow's box (7 pixels left,
    // 6 right), a packet arrow's 12-pixel head.
    int left = op.p[0];
    int right = op.p[0];
    int beside = 3;
    switch (op.kind) {
    case DrawOp::Bar:
        right = op.p[2] + 1;
        break;
    case DrawOp::SyncMarker:
        // The icon starts 8 pixels left of the line.
        beside = qMax(8, state.style.markerIcon(op.p[1], state.frame.catalogue).width());
        break;
    case DrawOp::UserMarker:
        beside = qMax(beside, state.style.userMarkerIcon().width());
        break;
    case DrawOp::HubArrow:
        beside = 8;
        break;
    case DrawOp::PacketArrow:
        left = qMin(op.p[0], op.p[2]);
        right = qMax(op.p[0], op.p[2]);
        beside = 13;
        break;
    default:
        break;
    }
    beside += m_settings.arrowWidth;
    return {qint64(left) - beside, qint64(right) + beside};
}

void ChartRenderer::paintLiteral(const ViewItem &item, QPainter &painter, PaintPass &state) const
{
    const ViewNode &n = *item.viewNode();
    const Task &task = *static_cast<const ViewTask &>(item).task();
    PrimitivePainter out(painter, state, n.taskTrain() ? n.taskTrain()->rect() : QRect(), true);
    TaskRow row;
    row.item = &item;
    row.y0 = state.rowTop(item);
    row.id = task.id();
    row.kernel = task.role() == Task::KERNEL;
    const EventPrimitives primitives(state, n);
    const std::vector<TraceEvent> &events = n.node()->events();
    std::vector<DrawOp> ops;
    for (int i = state.span.events.first; i < state.span.events.end; ++i) {
        if (events[size_t(i)].currentTask != row.id)
            continue;
        ops.clear();
        primitives.append(i, row, ops);
        for (const DrawOp &op : ops)
            out.draw(op);
    }
}
