#include "chart/chartheader.h"

#include "chart/chartstyle.h"
#include "chart/paintpass.h"

#include <QPainter>

namespace {

constexpr int H = ChartMetrics::rowHeight;
constexpr int W = ChartMetrics::headerWidth;

} // namespace

ChartHeader::ChartHeader(QPainter &painter, const PaintPass &pass)
    : m_painter(painter)
    , m_pass(pass)
    , m_clip(painter.hasClipping() ? painter.clipBoundingRect().toAlignedRect() : QRect())
{}

void ChartHeader::paint(const ViewItem &item) const
{
    // The root's and the groups' cells reach down over their rows.
    const bool spans = item.kind() == ViewItem::ROOT_ITEM || item.kind() == ViewItem::TASK_TRAIN_ITEM ||
                       item.kind() == ViewItem::HUB_TRAIN_ITEM;
    if (reaches(m_pass.rowTop(item), (spans ? ViewRoot::visibleRowCount(&item) + 1 : 1) * H))
        paintCell(item);
    for (int i = 0; i < item.childCount(); ++i)
        paint(*item.child(i));
    if (item.kind() == ViewItem::NODE_ITEM)
        frameCurrentNode(item);
}

void ChartHeader::paintCell(const ViewItem &item) const
{
    switch (item.kind()) {
    case ViewItem::ROOT_ITEM:
        paintRootCell(item);
        break;
    case ViewItem::NODE_ITEM:
        paintNodeCell(item);
        break;
    case ViewItem::TASK_TRAIN_ITEM:
    case ViewItem::HUB_TRAIN_ITEM:
        paintGroupCell(item);
        break;
    case ViewItem::TASK_ITEM:
    case ViewItem::HUB_ITEM:
        paintLeafCell(item);
        break;
    }
}

bool ChartHeader::reaches(int top, int height) const
{
    return m_clip.isNull() || (top - H <= m_clip.bottom() && top + height + H >= m_clip.top());
}

void ChartHeader::paintRootCell(const ViewItem &root) const
{
    const int y0 = m_pass.rowTop(root);
    m_painter.fillRect(QRect(0, y0, W, (ViewRoot::visibleRowCount(&root) + 1) * H), Qt::black);
    m_painter.setFont(m_pass.style.nodeFont());
    m_painter.setPen(Qt::white);
    m_painter.drawPixmap(2, y0 + 1, m_pass.style.headerIcon(ChartStyle::NodeAreaIcon));
    m_painter.drawText(18, y0 + H - 4, m_pass.frame.title);
}

void ChartHeader::paintNodeCell(const ViewItem &node) const
{
    const int y0 = m_pass.rowTop(node);
    const Node *model = static_cast<const ViewNode &>(node).node();
    const bool current = model && model == m_pass.root.currentNode();
    m_painter.fillRect(QRect(0, y0, W, H), QBrush(ChartStyle::nodeGradient(y0, y0 + H, current)));
    m_painter.setFont(m_pass.style.nodeFont());
    m_painter.setPen(current ? Qt::black : Qt::white);
    m_painter.drawPixmap(2, y0 + 1, m_pass.style.headerIcon(ChartStyle::NodeIcon));
    m_painter.drawText(18, y0 + H - 4, node.label());
}

void ChartHeader::paintGroupCell(const ViewItem &group) const
{
    const int y0 = m_pass.rowTop(group);
    const bool tasks = group.kind() == ViewItem::TASK_TRAIN_ITEM;
    // One pixel short of the column, one below its rows.
    m_painter.fillRect(QRect(0, y0, W - 1, (ViewRoot::visibleRowCount(&group) + 1) * H + 1), Qt::gray);
    m_painter.setFont(m_pass.style.trainFont());
    m_painter.setPen(Qt::white);
    m_painter.drawPixmap(2, y0 + 1,
                         m_pass.style.headerIcon(tasks ? ChartStyle::TasksIcon : ChartStyle::HubsIcon));
    m_painter.drawText(18, y0 + H - 4, tasks ? QStringLiteral(" Tasks:") : QStringLiteral(" Hubs:"));
}

void ChartHeader::paintLeafCell(const ViewItem &item) const
{
    const int y0 = m_pass.rowTop(item);
    const bool isTask = item.kind() == ViewItem::TASK_ITEM;
    const QRect inner = QRect(0, y0, W, H).adjusted(10, 0, -2, 0);
    m_painter.fillRect(inner, ChartStyle::itemColour(&item));
    m_painter.setPen(Qt::gray);
    m_painter.drawRect(inner);
    m_painter.setFont(m_pass.style.rowFont());
    m_painter.setPen(Qt::black);
    m_painter.drawPixmap(12, y0 + 1,
                         m_pass.style.headerIcon(isTask ? ChartStyle::TaskIcon : ChartStyle::HubIcon));
    m_painter.drawText(QRect(23, y0 + 1, W - 23, H), Qt::AlignLeft, QStringLiteral("  ") + item.label());
}

void ChartHeader::frameCurrentNode(const ViewItem &node) const
{
    const Node *model = static_cast<const ViewNode &>(node).node();
    if (!model || model != m_pass.root.currentNode())
        return;
    m_painter.setPen(QPen(Qt::blue, 1));
    m_painter.setBrush(Qt::NoBrush);
    m_painter.drawRect(0, m_pass.rowTop(node), m_pass.frame.viewport.width(),
                       (ViewRoot::visibleRowCount(&node) + 1) * H);
}
