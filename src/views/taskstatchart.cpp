#include "views/taskstatchart.h"

#include "app/tracer.h"
#include "trace/node.h"
#include "trace/project.h"
#include "trace/task.h"
#include "views/nodeviewwindow.h"

#include <QApplication>
#include <QPainter>
#include <QPaintEvent>
#include <QStyle>

namespace {

// Geometry of one task row, pixels.
constexpr int rowTop = 6;
constexpr int rowPitch = 18;
constexpr int barLeft = 100;
constexpr int barHeight = 16;
// The frame ends this far before the widget's right edge, counted from barLeft.
constexpr int barMargin = 108;
constexpr int labelLeft = 5;
constexpr int labelWidth = 90;
constexpr int shareLeft = 105;
constexpr int shareMargin = 116;

} // namespace

TaskStatChart::TaskStatChart()
    : QWidget(nullptr)
{
    if (theTracer) {
        connect(theTracer, &Tracer::curTracerItem_Changed, this, &TaskStatChart::on_curTracerItem_Changed);
        connect(theTracer, &Tracer::curNode_Changed, this, &TaskStatChart::on_curNode_Changed);
    }
}

void TaskStatChart::on_curTracerItem_Changed(TracerItem *tracerItem, TracerItem::TracerItemCategory category,
                                             int, int)
{
    if (category != TracerItem::NODE)
        return;
    // A node category without a node names nothing to show; the panel keeps what it has.
    if (Node *const node = qobject_cast<Node *>(tracerItem))
        setNode(node);
}

void TaskStatChart::on_curNode_Changed(Node *node, NodeViewWindow *)
{
    if (node && node != m_node)
        setNode(node);
}

void TaskStatChart::on_project_nodeUnderRemoving(Node *node)
{
    if (node == m_node)
        setNode(nullptr);
}

void TaskStatChart::setNode(Node *node)
{
    disconnect(m_removalConnection);
    m_node = node;
    if (node && node->project()) {
        m_removalConnection = connect(node->project(), &Project::nodeUnderRemoving, this,
                                      &TaskStatChart::on_project_nodeUnderRemoving);
    }
    update();
}

void TaskStatChart::paintEvent(QPaintEvent *event)
{
    if (!m_node)
        return;
    QPainter painter(this);
    painter.fillRect(event->rect(), QApplication::style()->standardPalette().color(QPalette::Window));
    painter.setBrush(Qt::NoBrush);

    const int frameWidth = width() - barMargin;
    int y = rowTop;
    for (const QSharedPointer<Task> &task : m_node->tasks()) {
        const int length = int(frameWidth * task->share() / 100.0);

        painter.setPen(QColor(Qt::lightGray));
        painter.drawRect(barLeft, y, frameWidth, barHeight);
        painter.setPen(QColor(Qt::black));
        if (length > 0) {
            painter.fillRect(barLeft, y, length, barHeight, QBrush(task->colour()));
            painter.drawRect(barLeft, y, length, barHeight);
        }

        painter.drawText(QRect(labelLeft, y, labelWidth, rowPitch), Qt::AlignLeft,
                         QLatin1Char('[') + QString::number(task->id()) + QLatin1String("] ") + task->name());
        painter.drawText(QRect(shareLeft, y + 1, width() - shareMargin, rowPitch), Qt::AlignRight,
                         QString::number(task->share(), 'f', 2) + QLatin1Char('%'));
        y += rowPitch;
    }
}
