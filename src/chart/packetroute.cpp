#include "chart/packetroute.h"

namespace {

// The routing events (or their notifications) of one packet as if ordered by
// hop number, equal hops keeping the order they were met in, seen from the
// painted event's hop: one pass over the packet's events keeps only the
// entries that the questions below can answer with, so nothing is stored.
class HopScan
{
public:
    explicit HopScan(quint16 hop)
        : m_hop(hop)
    {}

    void add(const NodePacketRef &ref)
    {
        if (!m_lowest || ref.high < m_lowest->high)
            m_lowest = &ref;
        if (!m_highest || ref.high >= m_highest->high)
            m_highest = &ref;
        if (ref.high == m_hop && !m_atHop)
            m_atHop = &ref;
        if (ref.high > m_hop && (!m_above || ref.high < m_above->high))
            m_above = &ref;
        if (ref.high < m_hop && (!m_below || ref.high >= m_below->high))
            m_below = &ref;
    }

    // The first entry with a higher hop; the first entry of all when none has the hop.
    const NodePacketRef *next() const { return m_atHop ? m_above : m_lowest; }
    // The first entry with the hop; the last entry of all when none has it.
    const NodePacketRef *at() const { return m_atHop ? m_atHop : m_highest; }
    // The last entry with a lower hop; the last entry of all when none has the hop.
    const NodePacketRef *before() const { return m_atHop ? m_below : m_highest; }

private:
    const quint16 m_hop;
    const NodePacketRef *m_lowest = nullptr;  // the lowest hop, first met
    const NodePacketRef *m_highest = nullptr; // the highest hop, last met
    const NodePacketRef *m_atHop = nullptr;   // first met
    const NodePacketRef *m_above = nullptr;   // the lowest hop above, first met
    const NodePacketRef *m_below = nullptr;   // the highest hop below, last met
};

} // namespace

PacketArrows packetArrows(const PaintedPacketEvent &painted, PacketEventRange refs)
{
    const NodePacketRef *sending = nullptr;
    const NodePacketRef *sendingNotification = nullptr;
    const NodePacketRef *receiving = nullptr;
    const NodePacketRef *receivingNotification = nullptr;
    const quint16 hop = quint16(painted.hop);
    HopScan routing(hop);
    HopScan routingNotifications(hop);
    for (const NodePacketRef &ref : refs) {
        switch (ref.type) {
        case EventType::PacketSending:
            sending = &ref;
            break;
        case EventType::PacketSendingNotification:
            sendingNotification = &ref;
            break;
        case EventType::PacketReceiving:
            receiving = &ref;
            break;
        case EventType::PacketReceivingNotification:
            receivingNotification = &ref;
            break;
        case EventType::PacketRouting:
            routing.add(ref);
            break;
        case EventType::PacketRoutingNotification:
            routingNotifications.add(ref);
            break;
        default:
            break;
        }
    }

    const auto onOtherNode = [&painted](const NodePacketRef *ref) {
        return ref && ref->nodeId != painted.nodeId ? ref : nullptr;
    };
    const auto onThisNode = [&painted](const NodePacketRef *ref) {
        return ref && ref->nodeId == painted.nodeId ? ref : nullptr;
    };
    const auto orElse = [](const NodePacketRef *ref, const NodePacketRef *replacement) {
        return ref ? ref : replacement;
    };

    PacketArrows arrows;
    const auto add = [&arrows](const NodePacketRef *partner, PacketArrow::Direction direction,
                               bool alongGroupRow = false) {
        if (partner)
            arrows.append(PacketArrow{partner->nodeId, partner->eventIndex, direction, alongGroupRow,
                                      partner->offset, partner->logPosition});
    };
    constexpr PacketArrow::Direction towards = PacketArrow::TOWARDS_PARTNER;
    constexpr PacketArrow::Direction from = PacketArrow::FROM_PARTNER;

    switch (painted.type) {
    case EventType::PacketSending:
        add(orElse(routing.next(), onOtherNode(receiving)), towards);
        break;
    case EventType::PacketRouting:
        add(orElse(routing.next(), onOtherNode(receiving)), towards);
        add(orElse(routing.before(), onOtherNode(sending)), from);
        break;
    case EventType::PacketReceiving:
        add(orElse(routing.at(), onOtherNode(sending)), from);
        add(onThisNode(receivingNotification), towards, true);
        break;
    case EventType::PacketReceivingNotification:
        add(orElse(routingNotifications.next(), onOtherNode(sendingNotification)), towards);
        add(onThisNode(receiving), from, true);
        break;
    case EventType::PacketRoutingNotification:
        add(orElse(routingNotifications.next(), onOtherNode(sendingNotification)), towards);
        add(orElse(routingNotifications.before(), onOtherNode(receivingNotification)), from);
        break;
    case EventType::PacketSendingNotification:
        add(orElse(routingNotifications.at(), onOtherNode(receivingNotification)), from);
        break;
    default:
        break;
    }
    return arrows;
}
