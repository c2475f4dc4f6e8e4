#include "views/eventlistmodel.h"

#include "app/tracer.h"
#include "trace/eventcells.h"
#include "trace/node.h"
#include "trace/task.h"

#include <QBrush>

#include <algorithm>

namespace {

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
    if (column == EventListModel::ARG1 && EventCells::isCatalogued(event) &&
        event.type != EventType::TaskSwitch && !EventType::isSync(event.type))
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
    const Task *task = EventCells::isCatalogued(event) ? node.task(event.currentTask) : nullptr;
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
    return m_filtered ? int(m_rows.size()) : m_node->eventCount();
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
    const int eventIndex = eventAt(index.row());
    const TraceEvent *record = m_node->event(eventIndex);
    if (!record)
        return {};
    const TraceEvent event = *record;
    switch (role) {
    case Qt::DisplayRole:
        return EventCells::display(event, eventIndex, index.column(), m_node->nodeId());
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
    static const char *const tooltips[columns] = {"Event number",
                                                  "Event timestamp",
                                                  "Event type",
                                                  "Argument 1 (ServiceID or NodeID)",
                                                  "Argument 2 (TaskID or HubID or SeqNumber)",
                                                  "Event timecut (total task execution time at this moment)"};
    if (role == Qt::DisplayRole)
        return EventCells::title(section);
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

void EventListModel::setRowFilter(std::optional<std::vector<int>> events)
{
    beginResetModel();
    m_filtered = events.has_value();
    m_rows = events ? std::move(*events) : std::vector<int>();
    endResetModel();
}

int EventListModel::eventAt(int row) const
{
    if (row < 0 || row >= rowCount())
        return -1;
    return m_filtered ? m_rows[size_t(row)] : row;
}

int EventListModel::rowOf(int event) const
{
    const int row = rowAtOrAfter(event);
    return row < rowCount() && eventAt(row) == event ? row : -1;
}

int EventListModel::rowAtOrAfter(int event) const
{
    if (!m_filtered)
        return std::clamp(event, 0, rowCount());
    return int(std::lower_bound(m_rows.begin(), m_rows.end(), event) - m_rows.begin());
}
