#include "views/eventtooltip.h"

#include "app/tracer.h"
#include "trace/hub.h"
#include "trace/node.h"
#include "trace/project.h"
#include "trace/task.h"

namespace {

// The node an event's node id names, seen from the node that logged it.
const Node *nodeNamed(const Node &node, int nodeId)
{
    if (nodeId == node.nodeId())
        return &node;
    const Project *project = node.project();
    return project ? project->nodeById(nodeId) : nullptr;
}

// The name of task or hub `targetId` of `targetNode`; which of the two, the
// target node's own declaration of the service tells.
QString targetName(const Node *targetNode, int serviceId, int targetId)
{
    if (!targetNode)
        return QString();
    if (targetNode->service(serviceId).targetIsTask) {
        const Task *task = targetNode->task(targetId);
        return task ? task->name() : QString();
    }
    const QSharedPointer<Hub> hub = targetNode->hubs().value(targetId);
    return hub ? hub->name() : QString();
}

} // namespace

QString eventTooltipHtml(const Node &node, int eventIndex)
{
    const TraceEvent *event = node.event(eventIndex);
    if (!event)
        return QString();

    const SysEventInfo type = theTracer ? theTracer->sysEvent(event->type) : SysEventInfo();

    QString html = QStringLiteral("<table>");
    html += QStringLiteral("<tr><td colspan='3'>#") + QString::number(eventIndex + 1) +
            QStringLiteral("</td></tr>");
    html += QStringLiteral("<tr><td colspan='2'><b>Timestamp:</b></td><td> ") +
            QString::number(event->timestamp) + QStringLiteral(" usec</td></tr>");
    html += QStringLiteral("<tr><td colspan='2'><b>Duration:</b></td><td> ") +
            QString::number(event->duration) + QStringLiteral(" usec</td></tr>");
    html += QStringLiteral("<tr><td><b>Type:</b></td><td><img src='") + type.iconPath +
            QStringLiteral("'></td><td> ") + type.name + QStringLiteral("</td></tr>");

    if (EventType::isSync(event->type)) {
        html += QStringLiteral("<tr><td colspan='2'><b>Port ID [Node ID]:</b></td><td>") +
                QString::number(event->arg1) + QStringLiteral(" [") + QString::number(event->nodeId) +
                QStringLiteral("]</td></tr>");
        // The whole field: the hop number travels in its upper half.
        html += QStringLiteral("<tr><td colspan='2'><b>Sequence Number:</b></td><td> ") +
                QString::number(event->arg2) + QStringLiteral("</td></tr>");
    } else if (event->type != EventType::TaskSwitch) {
        const NodeServiceInfo service = node.service(event->arg1);
        html += QStringLiteral("<tr><td><b>Service:</b></td><td><img src='") + service.iconPath +
                QStringLiteral("'></td><td> ") + service.name + QStringLiteral("</td></tr>");

        const int targetNodeId = event->hasNodeId ? event->nodeId : node.nodeId();
        const Node *targetNode = nodeNamed(node, targetNodeId);
        html += QStringLiteral("<tr><td colspan='2'><b>Task/Hub ID:</b></td><td> [") +
                QString::number(event->arg2) + QLatin1Char(']') +
                targetName(targetNode, event->arg1, event->arg2);
        if (targetNodeId != node.nodeId()) {
            html += QStringLiteral("   (Node: [") + QString::number(targetNodeId) + QStringLiteral("] ");
            if (targetNode)
                html += targetNode->name() + QLatin1Char(' ');
            html += QLatin1Char(')');
        }
        html += QStringLiteral("</td></tr>");
    }

    html += QStringLiteral("</table>");
    return html;
}
