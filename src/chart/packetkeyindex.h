#pragma once

#include "trace/traceevent.h"

#include <memory>
#include <vector>

class Node;

// A packet event of one viewed node, with the id of the node that logged it
// and where the event lies, so that an arrow to it is drawn without reading
// the node's events.
struct NodePacketRef : PacketRef
{
    int nodeId = 0;
    quint32 offset = 0;    // the event's linear position, microseconds
    float logPosition = 0; // and its logarithmic one
};

// A node's packet events (every sync event) sorted by packet key, newest
// first among equal keys. A view's packet index merges those of its nodes
// instead of sorting them all again whenever its node set changes.
class PacketKeyIndex
{
public:
    PacketKeyIndex() = default;
    explicit PacketKeyIndex(const Node &node);

    // Shared by every view that shows the node (see sharedOfNode).
    static std::shared_ptr<const PacketKeyIndex> shared(const Node &node);

    // keys()[i] is the key of refs()[i].
    const std::vector<quint32> &keys() const { return m_keys; }
    const std::vector<NodePacketRef> &refs() const { return m_refs; }

private:
    std::vector<quint32> m_keys;
    std::vector<NodePacketRef> m_refs;
};
