#pragma once

#include <QtGlobal>

// One recorded event after loading: counters turned into microseconds and the
// packed parameters decoded. Never changed once the node is loaded.
struct TraceEvent
{
    TraceEvent()
        : catalogued(0)
        , decoded(0)
        , hasNodeId(0)
    {}

    quint32 timestamp = 0;  // microseconds, low 32 bits of the counters' time
    quint32 offset = 0;     // microseconds since the node's first event: the linear time axis
    float logPosition = 0;  // position on the logarithmic time axis
    quint32 duration = 0;   // microseconds until the next event that is not a marker
    float logDuration = 0;  // ln(duration), 0 for a duration of 0
    qint32 type = 0;        // event type code as written in the file
    qint32 arg1 = 0;        // decoded first argument
    qint32 arg2 = 0;        // decoded second argument
    qint32 nodeId = 0;      // node id decoded from the arguments (see hasNodeId)
    qint32 currentTask = 0; // the running task; for user markers the task that set the marker
    quint32 timecut = 0;    // execution time of the current task at this event, microseconds
    qint32 isMarker = 0;    // 1 for sync events and user markers
    quint32 catalogued : 1; // the type is in the system-event catalogue
    quint32 decoded : 1;    // the arguments were decoded (every stored event)
    quint32 hasNodeId : 1;  // nodeId holds a value

    // The three flag bits as one number: bit 0 catalogued, bit 1 decoded, bit 2 hasNodeId.
    int flags() const { return int(catalogued) | int(decoded) << 1 | int(hasNodeId) << 2; }
};

static_assert(sizeof(TraceEvent) == 13 * 4, "events are stored contiguously, thirteen 32-bit fields each");

// Where a sync event sits in its node's event vector, keyed by its packetKey.
struct PacketRef
{
    int eventIndex = 0;
    quint16 high = 0; // bits 16-31 of the packet's second parameter
    qint32 type = 0;
};

namespace EventType {
enum : qint32 {
    TaskSwitch = 0,
    ServiceRequest = 1,
    ServiceCompleted = -1,
    KernelServicingRequest = 2,
    KernelServicingCompleted = -2,
    SyncMarker = 3,
    PacketSending = 4,
    PacketSendingNotification = -4,
    PacketRouting = 5,
    PacketRoutingNotification = -5,
    PacketReceiving = 6,
    PacketReceivingNotification = -6,
    UserMarker = 16,
    Isr = 255
};

// Packet events proper: sending, routing and receiving with their notifications.
constexpr bool isPacket(qint32 type)
{
    return type == 4 || type == -4 || type == 5 || type == -5 || type == 6 || type == -6;
}

// Every event that carries a packet key: the sync marker and the packet events.
constexpr bool isSync(qint32 type)
{
    return type == SyncMarker || isPacket(type);
}
} // namespace EventType

// The key that pairs the sync events of different nodes: the sending node's id
// above the packet's 16-bit sequence number.
constexpr quint32 packetKey(qint32 param1, qint32 param2)
{
    return quint32((param1 >> 8) & 0xFF) << 16 | quint32(param2 & 0xFFFF);
}
