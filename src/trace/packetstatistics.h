#pragma once

#include "trace/eventrange.h"
#include "trace/timingstats.h"

#include <QVector>

#include <vector>

class Node;

// One node whose packet events take part: its events in `range` only, placed
// on the common time axis by `shift` (microseconds added to every offset, the
// clock alignment a view found: ViewNode::shift()).
struct PacketNodeInput
{
    const Node *node = nullptr;
    qint64 shift = 0;
    EventRange range;
};

// Latencies along the packets from node `source` to node `destination`, on
// the aligned clocks. Hop 0 is the whole route, from the sending event (type
// 4) on the source to the receiving event (type 6) on the destination. Hop
// k >= 1 is the k-th link, from the packet's event with hop number k - 1 (the
// sending event for k = 1, else the routing event, type 5, of hop k - 1) to
// its event with hop number k (a routing event, or the receiving event on the
// last link); `fromNode` and `toNode` are the nodes that logged them. The
// notifications (types -4, -5, -6) are not timed. The references name a
// leg's first event and its node.
struct PacketLegStatistics
{
    int source = 0;
    int destination = 0;
    int hop = 0;
    int fromNode = 0;
    int toNode = 0;
    TimingStats latency; // microseconds; negative where the alignment is off
};

// Packets are told apart by their key (sending node and sequence number,
// packetKey()). A packet counts for its route only when its receiving event is
// among the inputs (the destination is known only from it); a leg counts when
// both its events are. A packet that has two events of one type and hop
// number (a sequence number reused within the inputs) is left out whole.
struct PacketStatistics
{
    QVector<PacketLegStatistics> legs; // by source, destination, hop, fromNode, toNode
    int packets = 0;                   // keys met among the inputs' packet events
    int unreceived = 0;                // of them, left out for want of a receiving event
    int ambiguous = 0;                 // of them, left out for a repeated event
};

// One leg of one packet, as PacketStatistics times it: from one event to the
// other, each named by its node and index, at its time on the aligned axis
// (microseconds).
struct PacketLegEnd
{
    int nodeId = 0;
    int eventIndex = 0;
    qint64 time = 0;
};

struct PacketLeg
{
    quint32 key = 0; // packetKey()
    int source = 0;
    int destination = 0;
    int hop = 0;
    PacketLegEnd from;
    PacketLegEnd to;
};

// Every leg of every counted packet, by key, each packet's whole route (hop
// 0) before its links by hop; the counts as in PacketStatistics, without legs.
struct PacketRoutes
{
    std::vector<PacketLeg> legs;
    int packets = 0;
    int unreceived = 0;
    int ambiguous = 0;
};

PacketRoutes packetRoutes(const QVector<PacketNodeInput> &inputs);
PacketStatistics packetStatistics(const QVector<PacketNodeInput> &inputs);
