#include "chart/rowpainter.h"

#include "chart/chartstyle.h"
#include "chart/deferredpixels.h"
#include "chart/paintpass.h"
#include "trace/node.h"

#include <QPainter>

namespace {

constexpr int H = ChartMetrics::rowHeight;

} // namespace

RowPainter::RowPainter(QPainter &painter, const PaintPass &pass)
    : m_painter(painter)
    , m_pass(pass)
{}

void RowPainter::paintRoot(const QRect &visible) const
{
    m_painter.fillRect(visible, Qt::black);
    m_painter.setFont(m_pass.style.nodeFont());
    m_painter.setPen(Qt::white);
}

void RowPainter::paintNodeGround(const ViewNode &node, const QRect &visible) const
{
    const int y0 = m_pass.rowTop(node);
    const bool current = node.node() && node.node() == m_pass.root.currentNode();
    m_painter.fillRect(visible, QBrush(ChartStyle::nodeGradient(y0, y0 + H, current)));
    m_painter.setPen(current ? Qt::black : Qt::white);
    if (m_pass.internalHeader) {
        m_painter.setFont(m_pass.style.nodeFont());
        m_painter.drawText(visible.left() + 18, y0 + H - 4, node.label());
    }
}

void RowPainter::paintNodeOverlays(const ViewNode &node) const
{
    const NodeOverlays overlays = overlaysOf(m_pass, node);
    if (m_pass.deferred) {
        // An outline reaches one pixel past its rectangle's right and bottom.
        for (const QRect &rect : {overlays.before, overlays.after, overlays.selection})
            m_pass.deferred->flush(rect.adjusted(0, 0, 1, 1));
    }
    if (overlays.hatched) {
        // The events the event list does not show are hatched over.
        m_painter.setPen(Qt::gray);
        m_painter.setBrush(QBrush(Qt::gray, Qt::BDiagPattern));
        if (overlays.hasBefore)
            m_painter.drawRect(overlays.before);
        m_painter.drawRect(overlays.after);
        m_painter.setBrush(Qt::NoBrush);
    }
    if (overlays.selected) {
        m_painter.setOpacity(0.5);
        m_painter.fillRect(overlays.selection,
                           overlays.current ? QColor(Qt::blue) : QColor(0x90, 0x90, 0xc0));
        m_painter.setOpacity(1.0);
    }
}

RowPainter::NodeOverlays RowPainter::overlaysOf(const PaintPass &pass, const ViewNode &node)
{
    NodeOverlays overlays;
    const Node *model = node.node();
    if (!model)
        return overlays;
    const NodeViewState &record = pass.states[model->traceFileName()];
    const int count = model->eventCount();
    overlays.current = model == pass.root.currentNode();
    overlays.hatched = overlays.current && count > 0;
    if (overlays.hatched) {
        overlays.hasBefore = record.listFirst > 0 && record.listFirst < count && record.listFirst - 1 > 0;
        if (overlays.hasBefore)
            overlays.before = overlayRect(pass, 0, record.listFirst - 1, node);
        int after = record.listLast + 1;
        if (after >= count || record.listLast < 0)
            after = count - 1;
        overlays.after = overlayRect(pass, after, count - 1, node);
    }
    overlays.selected = record.selFirst >= 0 && record.selLast >= 0;
    if (overlays.selected)
        overlays.selection = overlayRect(pass, record.selFirst, record.selLast, node);
    return overlays;
}

void RowPainter::paintGroupGround(const ViewItem &group, const QRect &visible) const
{
    m_painter.fillRect(visible, Qt::gray);
    if (m_pass.internalHeader) {
        m_painter.setFont(m_pass.style.trainFont());
        m_painter.setPen(Qt::white);
        const bool tasks = group.kind() == ViewItem::TASK_TRAIN_ITEM;
        m_painter.drawText(2, m_pass.rowTop(group) + H - 4,
                           tasks ? QStringLiteral(" Tasks:") : QStringLiteral(" Hubs:"));
    }
}

void RowPainter::paintLeafGround(const ViewItem &item, const QRect &visible) const
{
    const QRect row(0, m_pass.rowTop(item), m_pass.clip.width(), H);
    if (row != visible) {
        m_painter.fillRect(row, Qt::lightGray);
        m_painter.setPen(Qt::gray);
        m_painter.drawRect(row);
    }
    QColor swimline;
    switch (m_pass.settings.swimlineSchema) {
    case 1:
        swimline = QColor(0xf8, 0xf8, 0xf8);
        break;
    case 2:
        // By absolute row number, not by position within the node.
        swimline = item.row() % 2 == 0 ? QColor(0xe8, 0xe8, 0xe8) : QColor(0xf8, 0xf8, 0xf8);
        break;
    default:
        swimline = ChartStyle::itemColour(&item);
        break;
    }
    if (visible.isValid()) {
        m_painter.fillRect(visible, swimline);
        m_painter.setPen(Qt::gray);
        m_painter.drawRect(visible);
        const QRect rect = item.rect();
        m_painter.drawPixmap(rect.topLeft(), m_pass.style.startCorner());
        m_painter.drawPixmap(rect.right() - 5, rect.bottom() - 5, m_pass.style.finishCorner());
    }
    if (item.kind() == ViewItem::HUB_ITEM)
        paintLabel(item);
}

void RowPainter::paintLabel(const ViewItem &item) const
{
    if (!m_pass.internalHeader)
        return;
    const int top = m_pass.rowTop(item);
    // The row font's glyphs stay within the rows above and below.
    if (m_pass.deferred)
        m_pass.deferred->flush(QRect(m_pass.clip.left(), top - H, m_pass.clip.width(), 3 * H));
    m_painter.setFont(m_pass.style.rowFont());
    m_painter.setPen(Qt::black);
    m_painter.drawText(2, top + H - 4, QStringLiteral("  ") + item.label());
}

QRect RowPainter::overlayRect(const PaintPass &pass, int a, int b, const ViewNode &node)
{
    const Node *model = node.node();
    const TraceEvent *ea = model ? model->event(a) : nullptr;
    const TraceEvent *eb = model ? model->event(b) : nullptr;
    if (!ea || !eb)
        return QRect();
    const ChartMapper &mapper = pass.mapper;
    const int xa = mapper.leftX(*ea, node.shift());
    const int xb = mapper.leftX(*eb, node.shift());
    const qint64 width = qint64(mapper.widthOf(xa < xb ? *eb : *ea)) + qAbs(qint64(xb) - xa) + 1;
    const QRect &nodeRect = node.rect();
    return heldRect(qMin(xa, xb), nodeRect.top() + H, width, nodeRect.height() - H);
}
