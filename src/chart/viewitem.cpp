#include "chart/viewitem.h"

#include "chart/packetkeyindex.h"
#include "chart/paintindex.h"
#include "trace/hub.h"
#include "trace/node.h"
#include "trace/task.h"

ViewItem::ViewItem(ViewItemKind kind, int itemId, ViewItem *parent, int index)
    : m_kind(kind)
    , m_itemId(itemId)
    , m_parent(parent)
    , m_index(index)
{}

ViewItem *ViewItem::child(int) const
{
    return nullptr;
}

ViewItem *ViewItem::childById(int) const
{
    return nullptr;
}

int ViewItem::childCount() const
{
    return 0;
}

QString ViewItem::label() const
{
    return QString();
}

void ViewItem::addChild(ViewItem *) {}

void ViewItem::removeChild(int) {}

ViewNode *ViewItem::viewNode() const
{
    for (const ViewItem *item = this; item; item = item->parent()) {
        if (item->kind() == NODE_ITEM)
            return const_cast<ViewNode *>(static_cast<const ViewNode *>(item));
    }
    return nullptr;
}

ViewTask::ViewTask(Task *task, ViewItem *parent)
    : ViewItem(TASK_ITEM, task ? task->id() : 0, parent)
    , m_task(task)
{}

QString ViewTask::label() const
{
    const QString name = m_task ? m_task->name() : QString();
    if (itemId() < 0)
        return QLatin1String("[?] ") + name;
    return QLatin1Char('[') + QString::number(itemId()) + QLatin1String("] ") + name;
}

ViewHub::ViewHub(Hub *hub, ViewItem *parent)
    : ViewItem(HUB_ITEM, hub ? hub->id() : 0, parent)
    , m_hub(hub)
{}

QString ViewHub::label() const
{
    const QString name = m_hub ? m_hub->name() : QString();
    return QLatin1Char('[') + QString::number(itemId()) + QLatin1String("] ") + name;
}

template<typename Row>
ViewTrain<Row>::ViewTrain(ViewItemKind kind, ViewItem *parent, int index)
    : ViewItem(kind, 0, parent, index)
{}

template<typename Row> ViewItem *ViewTrain<Row>::child(int i) const
{
    if (i < 0 || i >= int(m_rows.size()))
        return nullptr;
    // The rows are the train's own; like every other item, a train hands out
    // its children for the chart to store their rectangles in.
    return const_cast<Row *>(&m_rows[size_t(i)]);
}

template<typename Row> ViewItem *ViewTrain<Row>::childById(int id) const
{
    const auto it = m_positionById.constFind(id);
    return it == m_positionById.cend() ? nullptr : child(it.value());
}

template<typename Row> void ViewTrain<Row>::addChild(ViewItem *item)
{
    const auto *row = dynamic_cast<const Row *>(item);
    if (!row)
        return;
    m_rows.push_back(*row);
    m_rows.back().setParent(this);
    renumber();
}

template<typename Row> void ViewTrain<Row>::removeChild(int i)
{
    if (i < 0 || i >= int(m_rows.size()))
        return;
    m_positionById.remove(m_rows[size_t(i)].itemId());
    m_rows.erase(m_rows.begin() + i);
    renumber();
}

template<typename Row> void ViewTrain<Row>::renumber()
{
    m_positionById.clear();
    for (size_t i = 0; i < m_rows.size(); ++i) {
        m_rows[i].setIndex(int(i));
        m_positionById.insert(m_rows[i].itemId(), int(i));
    }
}

template class ViewTrain<ViewTask>;
template class ViewTrain<ViewHub>;

ViewTaskTrain::ViewTaskTrain(ViewItem *parent)
    : ViewTrain<ViewTask>(TASK_TRAIN_ITEM, parent, 0)
{}

QString ViewTaskTrain::label() const
{
    return QStringLiteral("Tasks");
}

ViewHubTrain::ViewHubTrain(ViewItem *parent)
    : ViewTrain<ViewHub>(HUB_TRAIN_ITEM, parent, 1)
{}

QString ViewHubTrain::label() const
{
    return QStringLiteral("Hubs");
}

ViewNode::ViewNode(int nodeId, Node *node, ViewItem *parent, int index)
    : ViewItem(NODE_ITEM, nodeId, parent, index)
    , m_node(node)
    , m_taskTrain(new ViewTaskTrain(this))
    , m_hubTrain(new ViewHubTrain(this))
{
    if (!m_node)
        return;
    for (const QSharedPointer<Task> &task : m_node->tasks()) {
        ViewTask row(task.data(), m_taskTrain.data());
        m_taskTrain->addChild(&row);
    }
    for (const QSharedPointer<Hub> &hub : m_node->hubs()) {
        ViewHub row(hub.data(), m_hubTrain.data());
        m_hubTrain->addChild(&row);
    }
}

ViewItem *ViewNode::child(int i) const
{
    if (i == 0)
        return m_taskTrain.data();
    if (i == 1)
        return m_hubTrain.data();
    return nullptr;
}

ViewItem *ViewNode::childById(int id) const
{
    return child(id);
}

ViewNode::~ViewNode() = default;

const PaintIndex &ViewNode::paintIndex() const
{
    if (!m_paintIndex)
        m_paintIndex = m_node ? PaintIndex::shared(*m_node) : std::make_shared<const PaintIndex>();
    return *m_paintIndex;
}

const PacketKeyIndex &ViewNode::packetKeyIndex() const
{
    if (!m_packetKeyIndex)
        m_packetKeyIndex =
            m_node ? PacketKeyIndex::shared(*m_node) : std::make_shared<const PacketKeyIndex>();
    return *m_packetKeyIndex;
}

QString ViewNode::label() const
{
    if (!m_node)
        return QString::number(itemId());
    return m_node->label();
}
