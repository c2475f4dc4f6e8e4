#include "trace/task.h"

#include "app/tracer.h"
#include "trace/hub.h"
#include "trace/node.h"
#include "trace/project.h"

#include <QIcon>
#include <QTableWidget>
#include <QTreeWidgetItem>

#include <cstdlib>

namespace {

struct RoleName
{
    Task::TaskRole role;
    const char *upper;
    const char *matched; // substring of a task name that gives the role; null: never derived
};

// In matching order: a name with both "kernel" and "idle" is the kernel.
constexpr RoleName roleNames[] = {
    {Task::KERNEL, "KERNEL", "kernel"},    {Task::IDLE, "IDLE", "idle"},
    {Task::TX_TASK, "TX_TASK", "tx task"}, {Task::RX_TASK, "RX_TASK", "rx task"},
    {Task::ISR, "ISR", nullptr},           {Task::USER_TASK, "USER_TASK", nullptr},
    {Task::UNKNOWN, "UNKNOWN", nullptr},
};

// Arguments that could not be decoded by their type are shown raw on this.
const QColor rawArgumentBackground(255, 85, 85);

QString usec(quint32 microseconds)
{
    return QString::number(microseconds) + QLatin1String("usec");
}

QString bracketed(int id)
{
    return QLatin1Char('[') + QString::number(id) + QLatin1String("] ");
}

// The node of `node`'s project with the given id; null when there is none.
const Node *projectNode(const Node &node, int nodeId)
{
    return node.project() ? node.project()->nodeById(nodeId) : nullptr;
}

QString taskName(const Node &node, int taskId)
{
    const Task *const task = node.task(taskId);
    return task ? task->name() : QString();
}

// The service `serviceId` of the node decides whether `id` names a task or a hub.
QString targetName(const Node &node, int serviceId, int id)
{
    if (node.service(serviceId).targetIsTask)
        return taskName(node, id);
    const QSharedPointer<Hub> hub = node.hubs().value(id);
    return hub ? hub->name() : QString();
}

QString nodeSuffix(int nodeId, const Node *node)
{
    return QLatin1String("(Node: ") + bracketed(nodeId) + (node ? node->name() : QString()) +
           QLatin1String(" )");
}

} // namespace

QColor randomLightColour()
{
    // Each component is 255 - r / 32767 * 64, so between 191 and 255, with r
    // taken to 15 bits: glibc's rand() goes up to 2^31 - 1, not 32767.
    const auto component = [] { return int(255.0 - double(std::rand() % 32768) / 32767.0 * 64.0); };
    const int blue = component();
    const int green = component();
    const int red = component();
    return QColor(red, green, blue, 255);
}

Task::Task(int id, const QString &name, Node *node, int role, const QColor &colour)
    : NodeItem(id, name, colour, TASK, node)
    , m_role(role == ROLE_FROM_NAME ? roleFromName(name) : TaskRole(role))
{
    if (m_colour == QColor(Qt::black))
        m_colour = m_role == KERNEL ? QColor(Qt::white) : randomLightColour();

    QTreeWidgetItem *entry = treeItem();
    entry->setText(0, name);
    entry->setIcon(0, QIcon(QStringLiteral(":/interface/resources/task_16.png")));
}

Task::TaskRole Task::roleFromName(const QString &name)
{
    for (const RoleName &entry : roleNames) {
        if (entry.matched && name.contains(QLatin1String(entry.matched), Qt::CaseInsensitive))
            return entry.role;
    }
    return USER_TASK;
}

QString Task::roleName(int role)
{
    for (const RoleName &entry : roleNames) {
        if (entry.role == role)
            return QLatin1String(entry.upper);
    }
    return QString();
}

void Task::fillProperties(TracerItemCategory category, QTableWidget *table, int data1, int)
{
    if (!table)
        return;
    if (category == TASK)
        fillTaskProperties(table);
    else if (category == TASK_EVENT)
        fillEventProperties(table, data1);
}

void Task::fillTaskProperties(QTableWidget *table) const
{
    table->setRowCount(4);
    setCategoryRow(table, QStringLiteral("TASK"), QStringLiteral(":/interface/resources/task_16.png"));
    setPropertyRow(table, 1, QStringLiteral("Name"), name());
    setPropertyRow(table, 2, QStringLiteral("ID"), id() < 0 ? QStringLiteral("?") : QString::number(id()));
    setPropertyRow(table, 3, QStringLiteral("Task Role"), roleName());
    fitProperties(table);
}

void Task::fillEventProperties(QTableWidget *table, int index) const
{
    const TraceEvent *const event = node() ? node()->event(index) : nullptr;
    if (!event) {
        table->setRowCount(0);
        return;
    }
    const TraceEvent &e = *event;
    const bool catalogued = e.catalogued && e.decoded && e.hasNodeId;

    table->setRowCount(7);
    if (e.isMarker == 0) {
        setCategoryRow(table, QStringLiteral("TASK_EVENT"),
                       QStringLiteral(":/interface/resources/event_16.png"));
    } else if (e.type == EventType::UserMarker) {
        table->setRowCount(6);
        setCategoryRow(table, QStringLiteral("USER_MARKER"),
                       QStringLiteral(":/sysevents/resources/user_marker.png"));
    } else {
        setCategoryRow(table, QStringLiteral("SYNC_MARKER"),
                       QStringLiteral(":/interface/resources/sync_marker_icon.png"));
    }
    setPropertyRow(table, 1, QStringLiteral("Timestamp"), usec(e.timestamp));
    setPropertyRow(table, 2, QStringLiteral("Duration"), usec(e.duration));

    int row = 3;
    if (!catalogued) {
        // The seventh row stays empty: the table keeps the size of the widest case.
        const QBrush raw(rawArgumentBackground);
        setPropertyRow(table, row++, QStringLiteral("Argument 1"), QString::number(e.arg1), QIcon(), raw);
        setPropertyRow(table, row++, QStringLiteral("Argument 2"), QString::number(e.arg2), QIcon(), raw);
    } else if (e.type == EventType::UserMarker) {
        setPropertyRow(table, row++, QStringLiteral("User Defined Value 1"), QString::number(e.arg1));
        setPropertyRow(table, row++, QStringLiteral("User Defined Value 2"), QString::number(e.arg2));
    } else {
        const SysEventInfo type = theTracer ? theTracer->sysEvent(e.type) : SysEventInfo();
        setPropertyRow(table, row++, QStringLiteral("Type"), type.name, QIcon(type.icon));
        if (EventType::isSync(e.type)) {
            setPropertyRow(table, row++, QStringLiteral("Sender Task"), senderText(e));
            // The sequence number proper, then the 16 bits that travel with it.
            setPropertyRow(table, row++, QStringLiteral("Sequence Number"),
                           QString::number(e.arg2 & 0xFFFF) + QLatin1String(" (") +
                               QString::number(e.arg2 >> 16) + QLatin1Char(')'));
        } else {
            if (e.type == EventType::TaskSwitch) {
                table->setRowCount(6);
            } else {
                const NodeServiceInfo service = node()->service(e.arg1);
                setPropertyRow(table, row++, QStringLiteral("Service"), service.name, QIcon(service.icon));
            }
            setPropertyRow(table, row++, QStringLiteral("Task/Hub ID"), targetText(e));
        }
    }
    setPropertyRow(table, row, QStringLiteral("Current Task"), bracketed(e.currentTask) + name());
    fitProperties(table);
}

QString Task::targetText(const TraceEvent &event) const
{
    const Node &own = *node();
    const QString prefix = bracketed(event.arg2);
    if (event.nodeId == own.nodeId())
        return prefix + targetName(own, event.arg1, event.arg2);
    const Node *const other = projectNode(own, event.nodeId);
    const QString name = other ? targetName(*other, event.arg1, event.arg2) : QString();
    return prefix + name + nodeSuffix(event.nodeId, other);
}

QString Task::senderText(const TraceEvent &event) const
{
    const Node *const sender = projectNode(*node(), event.nodeId);
    const QString name = sender ? taskName(*sender, event.arg1) : QString();
    return bracketed(event.arg1) + name + nodeSuffix(event.nodeId, sender);
}
