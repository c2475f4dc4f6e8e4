#include "views/properties.h"

#include "trace/eventcatalogue.h"
#include "trace/hub.h"
#include "trace/node.h"
#include "trace/project.h"
#include "trace/task.h"

#include <QIcon>
#include <QTableWidget>

namespace {

// Arguments that could not be decoded by their type are shown raw on this.
const QColor rawArgumentBackground(255, 85, 85);

// Writes one label/value row: the label in dark grey, both cells read-only
// and unselectable; `background` only when set.
void setPropertyRow(QTableWidget *table, int row, const QString &label, const QString &value,
                    const QIcon &icon = QIcon(), const QBrush &background = QBrush())
{
    auto *labelCell = new QTableWidgetItem(label);
    labelCell->setForeground(QBrush(Qt::darkGray, Qt::SolidPattern));
    labelCell->setFlags(Qt::ItemIsEnabled);
    table->setItem(row, 0, labelCell);

    auto *valueCell = new QTableWidgetItem(icon, value);
    valueCell->setFlags(Qt::ItemIsEnabled);
    if (background.style() != Qt::NoBrush)
        valueCell->setBackground(background);
    table->setItem(row, 1, valueCell);
}

// Row 0 of every table: "Category", the category's name and icon.
void setCategoryRow(QTableWidget *table, const QString &category, const QString &iconPath)
{
    setPropertyRow(table, 0, QStringLiteral("Category"), category, QIcon(iconPath));
}

// Fits rows and the label column to what was written.
void fitProperties(QTableWidget *table)
{
    table->resizeRowsToContents();
    table->resizeColumnToContents(0);
}

QString usec(quint32 microseconds)
{
    return QString::number(microseconds) + QLatin1String("usec");
}

QString bracketed(int id)
{
    return QLatin1Char('[') + QString::number(id) + QLatin1String("] ");
}

QString originName(int origin)
{
    switch (origin) {
    case FROM_TRACER:
        return QStringLiteral("FROM_TRACER");
    case FROM_CMDLINE:
        return QStringLiteral("FROM_CMDLINE");
    case FROM_RECEIVER:
        return QStringLiteral("FROM_RECEIVER");
    default:
        return QString();
    }
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

// "[arg2] name" of the task or hub a service event addresses, followed by
// the addressed node when that is another one.
QString targetText(const Node &own, const TraceEvent &event)
{
    const QString prefix = bracketed(event.arg2);
    if (event.nodeId == own.nodeId())
        return prefix + targetName(own, event.arg1, event.arg2);
    const Node *const other = projectNode(own, event.nodeId);
    const QString name = other ? targetName(*other, event.arg1, event.arg2) : QString();
    return prefix + name + nodeSuffix(event.nodeId, other);
}

// "[arg1] name(Node: [id] name )" of the task that sent a packet.
QString senderText(const Node &own, const TraceEvent &event)
{
    const Node *const sender = projectNode(own, event.nodeId);
    const QString name = sender ? taskName(*sender, event.arg1) : QString();
    return bracketed(event.arg1) + name + nodeSuffix(event.nodeId, sender);
}

void fillNodeTable(const Node &node, QTableWidget *table)
{
    table->setRowCount(9);
    setCategoryRow(table, QStringLiteral("NODE"), QStringLiteral(":/interface/resources/node_16.png"));
    setPropertyRow(table, 1, QStringLiteral("Trace File"), node.traceFileName());
    setPropertyRow(table, 2, QStringLiteral("Source"), originName(node.origin()));
    setPropertyRow(table, 3, QStringLiteral("Name"), node.name());
    setPropertyRow(table, 4, QStringLiteral("ID"), QString::number(node.nodeId()));
    setPropertyRow(table, 5, QStringLiteral("Tasks"), QString::number(node.tasks().size()));
    // Hubs of other nodes that this node only addressed are not its own.
    setPropertyRow(table, 6, QStringLiteral("Hubs"), QString::number(node.hubs().size()));
    setPropertyRow(table, 7, QStringLiteral("Events"), QString::number(node.eventCount()));
    setPropertyRow(table, 8, QStringLiteral("SyncMarkes"),
                   QStringLiteral("%1 [%2 - %3]")
                       .arg(node.packetRefs().size())
                       .arg(node.firstSeq())
                       .arg(node.lastSeq()));
    fitProperties(table);
}

void fillFolderTable(QTableWidget *table, const QString &category, const QString &icon, int count)
{
    table->setRowCount(2);
    setCategoryRow(table, category.toUpper(), icon);
    setPropertyRow(table, 1, category, QString::number(count));
    fitProperties(table);
}

void fillRangeTable(const Node &node, QTableWidget *table, int first, int last)
{
    if (!node.event(first) || !node.event(last)) {
        table->setRowCount(0);
        return;
    }
    // A range selected upwards covers the same events as the one selected downwards.
    const int low = qMin(first, last);
    const int high = qMax(first, last);
    // The range lasts until the event after it; the node's final event has no
    // successor, so a range ending there is measured up to its own timestamp.
    const int end = high + 1 < node.eventCount() ? high + 1 : high;
    const qint64 duration = qAbs(qint64(node.event(end)->timestamp) - qint64(node.event(low)->timestamp));

    table->setRowCount(3);
    setCategoryRow(table, QStringLiteral("TASK_EVENT_RANGE"),
                   QStringLiteral(":/interface/resources/event_16.png"));
    setPropertyRow(table, 1, QStringLiteral("Selected"), QString::number(high - low + 1));
    setPropertyRow(table, 2, QStringLiteral("Total duration"),
                   QString::number(duration) + QLatin1String("usec"));
    fitProperties(table);
}

void fillTaskTable(const Task &task, QTableWidget *table)
{
    table->setRowCount(4);
    setCategoryRow(table, QStringLiteral("TASK"), QStringLiteral(":/interface/resources/task_16.png"));
    setPropertyRow(table, 1, QStringLiteral("Name"), task.name());
    setPropertyRow(table, 2, QStringLiteral("ID"),
                   task.id() < 0 ? QStringLiteral("?") : QString::number(task.id()));
    setPropertyRow(table, 3, QStringLiteral("Task Role"), task.roleName());
    fitProperties(table);
}

// The category row of an event: a task event, a user marker or a sync marker.
void setEventCategoryRow(QTableWidget *table, const TraceEvent &e)
{
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
}

// The rows of a catalogued event's type and what it addresses, from `row`;
// returns the next free row.
int setTypedRows(const Node &node, QTableWidget *table, const TraceEvent &e, int row)
{
    const SysEventInfo type = node.catalogue() ? node.catalogue()->sysEvent(e.type) : SysEventInfo();
    setPropertyRow(table, row++, QStringLiteral("Type"), type.name, QIcon(type.icon));
    if (EventType::isSync(e.type)) {
        setPropertyRow(table, row++, QStringLiteral("Sender Task"), senderText(node, e));
        // The sequence number proper, then the 16 bits that travel with it.
        setPropertyRow(table, row++, QStringLiteral("Sequence Number"),
                       QString::number(e.arg2 & 0xFFFF) + QLatin1String(" (") +
                           QString::number(e.arg2 >> 16) + QLatin1Char(')'));
        return row;
    }
    if (e.type == EventType::TaskSwitch) {
        table->setRowCount(6);
    } else {
        const NodeServiceInfo service = node.service(e.arg1);
        setPropertyRow(table, row++, QStringLiteral("Service"), service.name, QIcon(service.icon));
    }
    setPropertyRow(table, row++, QStringLiteral("Task/Hub ID"), targetText(node, e));
    return row;
}

void fillEventTable(const Task &task, QTableWidget *table, int index)
{
    const TraceEvent *const event = task.node() ? task.node()->event(index) : nullptr;
    if (!event) {
        table->setRowCount(0);
        return;
    }
    const TraceEvent &e = *event;
    const bool catalogued = e.catalogued && e.decoded && e.hasNodeId;
    table->setRowCount(7);
    setEventCategoryRow(table, e);
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
        row = setTypedRows(*task.node(), table, e, row);
    }
    setPropertyRow(table, row, QStringLiteral("Current Task"), bracketed(e.currentTask) + task.name());
    fitProperties(table);
}

} // namespace

namespace Properties {

void fillProject(const Project &project, QTableWidget *table)
{
    table->setRowCount(3);
    setCategoryRow(table, QStringLiteral("PROJECT"),
                   QStringLiteral(":/interface/resources/node_area_16.png"));
    setPropertyRow(table, 1, QStringLiteral("Path"), project.path());
    setPropertyRow(table, 2, QStringLiteral("Nodes"), QString::number(project.nodeCount()));
    fitProperties(table);
}

void fillNode(const Node &node, TracerItem::TracerItemCategory category, QTableWidget *table, int first,
              int last)
{
    switch (category) {
    case TracerItem::NODE:
        fillNodeTable(node, table);
        break;
    case TracerItem::TASKS:
        fillFolderTable(table, QStringLiteral("Tasks"), QStringLiteral(":/interface/resources/tasks_16.png"),
                        node.tasks().size());
        break;
    case TracerItem::HUBS:
        fillFolderTable(table, QStringLiteral("Hubs"), QStringLiteral(":/interface/resources/hubs_16.png"),
                        node.hubs().size());
        break;
    case TracerItem::TASK_EVENT_RANGE:
        fillRangeTable(node, table, first, last);
        break;
    default:
        break;
    }
}

void fillTask(const Task &task, TracerItem::TracerItemCategory category, QTableWidget *table, int index)
{
    if (category == TracerItem::TASK)
        fillTaskTable(task, table);
    else if (category == TracerItem::TASK_EVENT)
        fillEventTable(task, table, index);
}

void fillHub(const Hub &hub, QTableWidget *table)
{
    table->setRowCount(3);
    setCategoryRow(table, QStringLiteral("HUB"), QStringLiteral(":/interface/resources/hub_16.png"));
    setPropertyRow(table, 1, QStringLiteral("Name"), hub.name());
    setPropertyRow(table, 2, QStringLiteral("ID"), QString::number(hub.id()));
    fitProperties(table);
}

} // namespace Properties
