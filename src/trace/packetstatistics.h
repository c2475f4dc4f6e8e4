#pragma once

#include "trace/eventrange.h"
#include "trace/timingstats.h"

#include <QVector>

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

PacketStatistics packetStatistics(const QVector<PacketNodeInput> &inputs);
