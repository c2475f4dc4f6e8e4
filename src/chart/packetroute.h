#pragma once

#include "chart/viewroot.h"

#include <array>

// The packet event being painted: its node, its type and its hop number.
struct PaintedPacketEvent
{
    int nodeId = 0;
    qint32 type = 0;
    int hop = 0; // arg2 >> 16, arithmetic

    static PaintedPacketEvent of(int nodeId, const TraceEvent &event)
    {
        return PaintedPacketEvent{nodeId, event.type, event.arg2 >> 16};
    }
    // The same from the event's entry in a packet index, without reading the event.
    static PaintedPacketEvent of(int nodeId, const PacketRef &ref)
    {
        return PaintedPacketEvent{nodeId, ref.type, qint16(ref.high)};
    }
};

// One line along a packet's path between the painted event and a partner event.
struct PacketArrow
{
    enum Direction {
        TOWARDS_PARTNER, // head at the partner
        FROM_PARTNER     // head at the painted event
    };

    int nodeId = 0;     // the partner's node
    int eventIndex = 0; // the partner's event in its node
    Direction direction = TOWARDS_PARTNER;
    bool alongGroupRow = false; // both ends on the painted event's own node
    quint32 offset = 0;         // where the partner's event lies (see NodePacketRef)
    float logPosition = 0;

    bool operator==(const PacketArrow &other) const
    {
        return nodeId == other.nodeId && eventIndex == other.eventIndex && direction == other.direction &&
               alongGroupRow == other.alongGroupRow;
    }
};

// At most two arrows, held in place: the chart asks for them for every packet
// event it reads, and a paint allocates nothing per event.
class PacketArrows
{
public:
    static constexpr int capacity = 2;
    void append(const PacketArrow &arrow) { m_arrows[size_t(m_count++)] = arrow; }
    const PacketArrow *begin() const { return m_arrows.data(); }
    const PacketArrow *end() const { return m_arrows.data() + m_count; }
    int size() const { return m_count; }

private:
    std::array<PacketArrow, capacity> m_arrows{};
    int m_count = 0;
};

// The arrows of the packet the painted event belongs to: at most two, the
// onward one before the one back, and the path before the line along the group
// row; an arrow without partner is left out. `refs` are the packet's events on
// every viewed node as ViewRoot::packetEvents() gives them: node by node, the
// latest read first within a node. Where a kind of event occurs more than
// once, the last one met in that order counts.
//
// Routing events, and apart from them routing notifications, are ordered by
// hop number. The sending event points onward to the router of the next hop,
// a router onward to the next hop and back to the previous one, the receiving
// event back to the router of its own hop; the notifications form the same
// kind of chain from the receiving notification through the routing
// notifications to the sending notification. A hop that no router has leads
// onward to the lowest hop and back to the highest. Where a chain ends, the
// arrow goes straight to the sender or receiver (or their notification), but
// only when that lies on another node; the receiving event and its
// notification are joined along the group row only on the same node. Routers
// with equal hops are all passed over when looking for the next or previous
// hop. Hops compare by their 16 bits, so a hop taken from a negative arg2
// still finds its own routing event.
//
// Sync markers, user markers and every other type have no arrows. An arrow's
// partner may lie on a node the view has no row for; the chart then draws
// nothing for it.
PacketArrows packetArrows(const PaintedPacketEvent &painted, PacketEventRange refs);
