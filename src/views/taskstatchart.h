#pragma once

#include "trace/traceritem.h"

#include <QMetaObject>
#include <QPointer>
#include <QWidget>

class Node;
class NodeViewWindow;

// How the current node's time is shared among its tasks: one bar per task in
// the task's colour, labelled with the task on the left and the share on the right.
class TaskStatChart : public QWidget
{
    Q_OBJECT
public:
    // Follows theTracer's current node from here on; shows nothing until one is chosen.
    TaskStatChart();

    Node *node() const { return m_node.data(); }

public slots:
    // Only a node entry switches the panel; tasks, hubs and events of a node leave it.
    void on_curTracerItem_Changed(TracerItem *tracerItem, TracerItem::TracerItemCategory category, int data1,
                                  int data2);
    void on_curNode_Changed(Node *node, NodeViewWindow *view);

protected:
    void paintEvent(QPaintEvent *event) override;

private slots:
    void on_project_nodeUnderRemoving(Node *node);

private:
    void setNode(Node *node);

    // Not owned: reads as null once the node is destroyed.
    QPointer<Node> m_node;
    // The shown node's project, which announces when the node leaves it.
    QMetaObject::Connection m_removalConnection;
};
