#pragma once

#include "trace/traceritem.h"

// A hub (kernel communication object). A listed hub belongs to its node and has
// an entry under the node's "Hubs" folder; an unlisted one is a hub of another
// node that this node's events address, and shows nowhere in the tree.
class Hub : public NodeItem
{
    Q_OBJECT
public:
    // A colour equal to black stands for "none given" and becomes a random light colour.
    Hub(int id, const QString &name, Node *node, int hubNodeId, const QColor &colour, bool listed);

    int hubNodeId() const { return m_hubNodeId; } // the node that owns the hub
    bool isListed() const { return category() == HUB; }

    qint32 sendRequests() const { return m_sendRequests; }
    qint32 receiveRequests() const { return m_receiveRequests; }
    qint32 sendKernelRequests() const { return m_sendKernelRequests; }
    qint32 receiveKernelRequests() const { return m_receiveKernelRequests; }

    // The hub table, whatever the category.
    void fillProperties(TracerItemCategory category, QTableWidget *table, int data1, int data2) override;

private:
    friend class Node;

    const int m_hubNodeId;
    qint32 m_sendRequests = 0;
    qint32 m_receiveRequests = 0;
    qint32 m_sendKernelRequests = 0;
    qint32 m_receiveKernelRequests = 0;
};
