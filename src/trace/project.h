#pragma once

#include "trace/traceritem.h"

#include <QHash>
#include <QSharedPointer>
#include <QVector>

// The nodes whose trace files lie in one directory. Owns them.
class Project : public TracerItem
{
    Q_OBJECT
public:
    // Hangs the project's entry under `parentEntry` (may be null).
    Project(const QString &path, QTreeWidgetItem *parentEntry);
    ~Project() override;

    const QString &path() const { return m_path; }

    // Takes ownership; a node with the same trace file name is replaced. Null is ignored.
    void addNode(Node *node);
    // Announces, then drops the node; returns the number of nodes left.
    int removeNode(Node *node);
    bool containsNodeId(int id) const;
    Node *nodeById(int id) const;
    Node *node(const QString &traceFileName) const;
    int nodeCount() const { return m_nodes.size(); }
    // By trace file name, in an order that changes from run to run: walks
    // whose order the user sees take nodesInOrder.
    const QHash<QString, QSharedPointer<Node>> &nodes() const { return m_nodes; }
    // By ascending node id, by trace file name for equal ids.
    QVector<Node *> nodesInOrder() const;

    // The project table, whatever the category.
    void fillProperties(TracerItemCategory category, QTableWidget *table, int data1, int data2) override;

signals:
    void nodeUnderRemoving(Node *node);
    void nodeWasRemoved(QString nodeName);
    void projectUnderRemoving();

private:
    QString m_path;
    QHash<QString, QSharedPointer<Node>> m_nodes;
};
