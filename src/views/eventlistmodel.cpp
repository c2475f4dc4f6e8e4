#include "views/eventlistmodel.h"

#include "app/tracer.h"
#include "trace/node.h"
#include "trace/task.h"

#include <QBrush>

#include <algorithm>

namespace {

// An event the catalogue knows, with its arguments decoded and a node id.
bool isCatalogued(const TraceEvent &event)
{
    return (event.flags() & 7) == 7;
}

QVariant displayValue(const TraceEvent &event, int row, int column, int ownNodeId)
{
    const bool catalogued = isCatalogued(event);
    const bool sync = EventType::isSync(event.type);
    switch (column) {
    case EventListModel::NUMBER:
        return row + 1;
    case EventListModel::TIMESTAMP:
        return quint64(event.timestamp);
    case EventListModel::TYPE:
        return catalogued ? QVariant() : QVariant(event.type);
    case EventListModel::ARG1:
        if (!catalogued)
            return {};
        if (sync)
            return QStringLiteral("%1 [%2]").arg(event.arg1).arg(event.nodeId);
        if (event.type == EventType::UserMarker)
            return QString::number(event.arg1);
        return {};
    case EventListModel::ARG2:
        if (!catalogued)
            return event.arg2;
        if (sync)
            return QStringLiteral("%1 (%2)").arg(event.arg2 & 0xFFFF).arg(event.arg2 >> 16);
        if (event.nodeId == ownNodeId)
            return event.arg2;
        return QStringLiteral("%1 [%2]").arg(event.arg2).arg(event.nodeId);
    case EventListModel::TIMECUT:
        return quint64(event.timecut);
    default:
        return {};
    }
}

// A service the node does not declare has no icon: no decoration then.
QVariant iconOrNothing(const QPixmap &icon)
{
    return icon.isNull() ? QVariant() : QVariant(icon);
}

QVariant decoration(const Node &node, const TraceEvent &event, int column)
{
    if (!theTracer)
        return {};
    if (column == EventListModel::TYPE) {
        if (event.type == EventType::TaskSwitch) {
            const int code = event.currentTask != -1 ? EventType::TaskSwitch : EventType::Isr;
            return iconOrNothing(theTracer->sysEvent(code).icon);
        }
        const SysEventInfo info = theTracer->sysEvent(event.type);
        return info.known ? iconOrNothing(info.icon) : QVariant();
    }
    if (column == EventListModel::ARG1 && isCatalogued(event) && event.type != EventType::TaskSwitch &&
        !EventType::isSync(event.type))
        return iconOrNothing(node.service(event.arg1).icon);
    return {};
}

// Catalogue and service names are empty for what they do not know: no tooltip then.
QVariant nameOrNothing(const QString &name)
{
    return name.isEmpty() ? QVariant() : QVariant(name);
}

QVariant tooltip(const Node &node, const TraceEvent &event, int column)
{
    const bool sync = EventType::isSync(event.type);
    const bool taskSwitch = event.type == EventType::TaskSwitch;
    switch (column) {
    case EventListModel::TYPE:
        return theTracer ? nameOrNothing(theTracer->sysEvent(event.type).name) : QVariant();
    case EventListModel::ARG1:
        if (sync)
            return QStringLiteral("TaskID[NodeID]");
        return taskSwitch ? QVariant() : nameOrNothing(node.service(event.arg1).name);
    case EventListModel::ARG2:
        if (sync)
            return QStringLiteral("Packet Sequence Number");
        return taskSwitch ? QVariant(QStringLiteral("TaskID to switch")) : QVariant();
    default:
        return {};
    }
}

QVariant background(const Node &node, const TraceEvent &event)
{
    // Node::task looks up without inserting: a user marker may name a task
    // the node never declared.
    const Task *task = isCatalogued(event) ? node.task(event.currentTask) : nullptr;
    return QBrush(task ? task->colour() : QColor(255, 85, 85), Qt::SolidPattern);
}

} // namespace

EventListModel::EventListModel(Node *node, QObject *parent)
    : QAbstractItemModel(parent)
    , m_node(node)
{
    // A view still showing the model must learn that its rows are gone.
    if (node) {
        for (const TraceEvent &event : node->events())
            m_largestTimecut = std::max(m_largestTimecut, event.timecut);
        connect(node, &QObject::destroyed, this, [this] {
            beginResetModel();
            endResetModel();
        });
    }
}

EventListModel::~EventListModel() = default;

QModelIndex EventListModel::index(int row, int column, const QModelIndex &parent) const
{
    if (!hasIndex(row, column, parent))
        return {};
    return createIndex(row, column, quintptr(0));
}

QModelIndex EventListModel::parent(const QModelIndex & /*index*/) const
{
    return {};
}

int EventListModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !m_node)
        return 0;
    return m_node->eventCount();
}

int EventListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columns;
}

QVariant EventListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_node)
        return {};
    if (role != Qt::DisplayRole && role != Qt::DecorationRole && role != Qt::ToolTipRole &&
        role != Qt::BackgroundRole)
        return {};
    const TraceEvent *record = m_node->event(index.row());
    if (!record)
        return {};
    const TraceEvent event = *record;
    switch (role) {
    case Qt::DisplayRole:
        return displayValue(event, index.row(), index.column(), m_node->nodeId());
    case Qt::DecorationRole:
        return decoration(*m_node, event, index.column());
    case Qt::ToolTipRole:
        return tooltip(*m_node, event, index.column());
    default:
        return background(*m_node, event);
    }
}

QVariant EventListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columns)
        return {};
    static const char *const texts[columns] = {"#", "Ts (usec)", "Tp", "Arg1", "Arg2", "Tc"};
    static const char *const tooltips[columns] = {"Event number",
                                                  "Event timestamp",
                                                  "Event type",
                                                  "Argument 1 (ServiceID or NodeID)",
                                                  "Argument 2 (TaskID or HubID or SeqNumber)",
                                                  "Event timecut (total task execution time at this moment)"};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(texts[section]);
    if (role == Qt::ToolTipRole)
        return QString::fromLatin1(tooltips[section]);
    return {};
}

Qt::ItemFlags EventListModel::flags(const QModelIndex &index) const
{
    // The root index is no cell: item views expect no flags for it.
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

Node *EventListModel::node() const
{
    return m_node.data();
}

quint64 EventListModel::largestNumber(int column) const
{
    if (!m_node)
        return 0;
    switch (column) {
    case NUMBER:
        return quint64(m_node->eventCount());
    case TIMECUT:
        return m_largestTimecut;
    default:
        return 0;
    }
}
