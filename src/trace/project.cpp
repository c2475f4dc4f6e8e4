#include "trace/project.h"

#include "trace/itempresenter.h"
#include "trace/node.h"

#include <algorithm>

Project::Project(const QString &path, QTreeWidgetItem *parentEntry)
    : TracerItem(PROJECT)
    , m_path(path)
{
    createTreeItem(PROJECT, parentEntry);
}

Project::~Project()
{
    // Views let go of the nodes while every node still exists.
    emit projectUnderRemoving();
    m_nodes.clear();
}

void Project::addNode(Node *node)
{
    if (!node || m_nodes.value(node->traceFileName()).data() == node)
        return;
    m_nodes.insert(node->traceFileName(), QSharedPointer<Node>(node));
}

int Project::removeNode(Node *node)
{
    if (!node)
        return m_nodes.size();
    const QString name = node->traceFileName();
    emit nodeUnderRemoving(node);
    m_nodes.remove(name);
    emit nodeWasRemoved(name);
    return m_nodes.size();
}

bool Project::containsNodeId(int id) const
{
    return nodeById(id) != nullptr;
}

Node *Project::nodeById(int id) const
{
    for (const auto &node : m_nodes) {
        if (node->nodeId() == id)
            return node.data();
    }
    return nullptr;
}

QVector<Node *> Project::nodesInOrder() const
{
    QVector<Node *> ordered;
    ordered.reserve(m_nodes.size());
    for (const auto &node : m_nodes)
        ordered.append(node.data());
    std::sort(ordered.begin(), ordered.end(), [](const Node *a, const Node *b) {
        if (a->nodeId() != b->nodeId())
            return a->nodeId() < b->nodeId();
        return a->traceFileName() < b->traceFileName();
    });
    return ordered;
}

Node *Project::node(const QString &traceFileName) const
{
    return m_nodes.value(traceFileName).data();
}

void Project::fillProperties(TracerItemCategory, QTableWidget *table, int, int)
{
    if (ItemPresenter *presenter = ItemPresenter::current(); presenter && table)
        presenter->fillProperties(*this, table);
}
