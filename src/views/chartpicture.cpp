#include "views/chartpicture.h"

#include "chart/chartstyle.h"
#include "chart/timescale.h"
#include "chart/viewitem.h"
#include "chart/viewroot.h"
#include "trace/node.h"

#include <QPainter>
#include <QRegion>

#include <cstring>

namespace {

qint64 bitsOf(double value)
{
    qint64 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

qint64 addressOf(const void *pointer)
{
    return qint64(reinterpret_cast<quintptr>(pointer));
}

} // namespace

ChartPicture::Update ChartPicture::update(ChartRenderer &renderer, ViewRoot &root, NodeViewStates &states,
                                          const ChartRenderer::Frame &frame, qreal ratio)
{
    Key rows = rowsKey(renderer, root, frame, ratio);
    Key overlays = overlaysKey(root, states);
    const bool rowsKept = !m_rowsKey.empty() && rows == m_rowsKey;
    if (rowsKept && overlays == m_overlaysKey)
        return m_lastUpdate = REUSED;

    const QSize pixels = (QSizeF(frame.viewport) * ratio).toSize();
    if (m_image.size() != pixels)
        m_image = QImage(pixels, QImage::Format_RGB32);
    m_image.setDevicePixelRatio(ratio);
    QPainter painter(&m_image);
    Update done = OVERLAYS_REDRAWN;
    if (!rowsKept || !redrawOverlays(renderer, painter, root, states, frame, overlays)) {
        renderer.paint(painter, root, states, QRect(QPoint(0, 0), frame.viewport), frame);
        done = PAINTED;
    }
    m_overlayRects = renderer.overlayRects(root, states, frame);
    m_rowsKey = std::move(rows);
    m_overlaysKey = std::move(overlays);
    return m_lastUpdate = done;
}

bool ChartPicture::redrawOverlays(ChartRenderer &renderer, QPainter &painter, ViewRoot &root,
                                  NodeViewStates &states, const ChartRenderer::Frame &frame,
                                  const Key &overlays)
{
    // A new current node changes its rows' ground and its header cell too.
    const QRect whole(QPoint(0, 0), frame.viewport);
    QRegion changed(whole);
    const std::vector<QRect> now = renderer.overlayRects(root, states, frame);
    if (overlays.front() == m_overlaysKey.front() && now.size() == m_overlayRects.size()) {
        changed = QRegion();
        for (size_t i = 0; i < now.size(); ++i) {
            if (now[i] != m_overlayRects[i])
                changed += QRegion(now[i]) + m_overlayRects[i];
        }
        changed &= whole;
    }
    // Each part apart under a rectangular clip: under a clip of several
    // rectangles a fill costs as much as the whole of it. A few narrow parts
    // redraw far fewer primitives than the columns from the first to the last.
    if (changed.rectCount() > 4)
        changed = changed.boundingRect();
    for (const QRect &part : changed) {
        if (!renderer.repaintKept(painter, root, states, frame, part))
            return false;
    }
    return true;
}

ChartPicture::Key ChartPicture::rowsKey(const ChartRenderer &renderer, const ViewRoot &root,
                                        const ChartRenderer::Frame &frame, qreal ratio)
{
    const TimeScale &scale = *frame.scale;
    Key key{qint64(renderer.generation()),
            bitsOf(ratio),
            bitsOf(scale.scale()),
            scale.logMode(),
            frame.horizontalScroll,
            frame.verticalScroll,
            frame.viewport.width(),
            frame.viewport.height(),
            frame.externalHeader,
            qint64(qHash(frame.title)),
            qint64(frame.background.rgba()),
            addressOf(frame.catalogue)};
    appendRows(root, key);
    return key;
}

void ChartPicture::appendRows(const ViewItem &item, Key &key)
{
    key.insert(key.end(), {item.kind(), item.itemId(), item.row(), item.isExpanded(), item.childCount(),
                           qint64(qHash(item.label()))});
    if (item.kind() == ViewItem::NODE_ITEM) {
        const auto &node = static_cast<const ViewNode &>(item);
        key.insert(key.end(),
                   {addressOf(node.node()), node.node() ? node.node()->eventCount() : -1, node.shift()});
    } else if (item.kind() == ViewItem::TASK_ITEM || item.kind() == ViewItem::HUB_ITEM) {
        key.push_back(qint64(ChartStyle::itemColour(&item).rgba()));
    }
    for (int i = 0; i < item.childCount(); ++i)
        appendRows(*item.child(i), key);
}

ChartPicture::Key ChartPicture::overlaysKey(const ViewRoot &root, const NodeViewStates &states)
{
    Key key{addressOf(root.currentNode())};
    for (const QSharedPointer<ViewNode> &row : root.nodes()) {
        const auto state = row->node() ? states.constFind(row->node()->traceFileName()) : states.cend();
        if (state == states.cend())
            key.insert(key.end(), {-2, -2, -2, -2});
        else
            key.insert(key.end(), {state->listFirst, state->listLast, state->selFirst, state->selLast});
    }
    return key;
}
