#include "chart/packetroute.h"

#include <algorithm>
#include <vector>

namespace {

// The routing events (or their notifications) of one packet, ordered by hop
// number; equal hops keep the order they were met in.
class HopMap
{
public:
    void add(const NodePacketRef &ref) { m_entries.push_back(ref); }
    void sort()
    {
        std::stable_sort(m_entries.begin(), m_entries.end(),
                         [](const NodePacketRef &x, const NodePacketRef &y) { return x.high < y.high; });
    }

    // The first entry with a higher hop; the first entry of all when none has hop h.
    const NodePacketRef *next(quint16 hop) const
    {
        if (m_entries.empty())
            return nullptr;
        if (!contains(hop))
            return &m_entries.front();
        const auto after = upperBound(hop);
        return after == m_entries.end() ? nullptr : &*after;
    }

    // The first entry with hop h; the last entry of all when none has it.
    const NodePacketRef *at(quint16 hop) const
    {
        if (m_entries.empty())
            return nullptr;
        if (!contains(hop))
            return &m_entries.back();
        return &*lowerBound(hop);
    }

    // The last entry with a lower hop; the last entry of all when none has hop h.
    const NodePacketRef *before(quint16 hop) const
    {
        if (m_entries.empty())
            return nullptr;
        if (!contains(hop))
            return &m_entries.back();
        const auto first = lowerBound(hop);
        return first == m_entries.begin() ? nullptr : &*(first - 1);
    }

private:
    using Iterator = std::vector<NodePacketRef>::const_iterator;

    Iterator lowerBound(quint16 hop) const
    {
        return std::lower_bound(m_entries.begin(), m_entries.end(), hop,
                                [](const NodePacketRef &ref, quint16 h) { return ref.high < h; });
    }
    Iterator upperBound(quint16 hop) const
    {
        return std::upper_bound(m_entries.begin(), m_entries.end(), hop,
                                [](quint16 h, const NodePacketRef &ref) { return h < ref.high; });
    }
    bool contains(quint16 hop) const
    {
        const auto first = lowerBound(hop);
        return first != m_entries.end() && first->high == hop;
    }

    std::vector<NodePacketRef> m_entries;
};

} // namespace

QVector<PacketArrow> packetArrows(const PaintedPacketEvent &painted, PacketEventRange refs)
{
    const NodePacketRef *sending = nullptr;
    const NodePacketRef *sendingNotification = nullptr;
    const NodePacketRef *receiving = nullptr;
    const NodePacketRef *receivingNotification = nullptr;
    HopMap routing;
    HopMap routingNotifications;
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
    routing.sort();
    routingNotifications.sort();

    const auto onOtherNode = [&painted](const NodePacketRef *ref) {
        return ref && ref->nodeId != painted.nodeId ? ref : nullptr;
    };
    const auto onThisNode = [&painted](const NodePacketRef *ref) {
        return ref && ref->nodeId == painted.nodeId ? ref : nullptr;
    };
    const auto orElse = [](const NodePacketRef *ref, const NodePacketRef *replacement) {
        return ref ? ref : replacement;
    };

    QVector<PacketArrow> arrows;
    const auto add = [&arrows](const NodePacketRef *partner, PacketArrow::Direction direction,
                               bool alongGroupRow = false) {
        if (partner)
            arrows.append(PacketArrow{partner->nodeId, partner->eventIndex, direction, alongGroupRow});
    };
    constexpr PacketArrow::Direction towards = PacketArrow::TOWARDS_PARTNER;
    constexpr PacketArrow::Direction from = PacketArrow::FROM_PARTNER;
    const quint16 hop = quint16(painted.hop);

    switch (painted.type) {
    case EventType::PacketSending:
        add(orElse(routing.next(hop), onOtherNode(receiving)), towards);
        break;
    case EventType::PacketRouting:
        add(orElse(routing.next(hop), onOtherNode(receiving)), towards);
        add(orElse(routing.before(hop), onOtherNode(sending)), from);
        break;
    case EventType::PacketReceiving:
        add(orElse(routing.at(hop), onOtherNode(sending)), from);
        add(onThisNode(receivingNotification), towards, true);
        break;
    case EventType::PacketReceivingNotification:
        add(orElse(routingNotifications.next(hop), onOtherNode(sendingNotification)), towards);
        add(onThisNode(receiving), from, true);
        break;
    case EventType::PacketRoutingNotification:
        add(orElse(routingNotifications.next(hop), onOtherNode(sendingNotification)), towards);
        add(orElse(routingNotifications.before(hop), onOtherNode(receivingNotification)), from);
        break;
    case EventType::PacketSendingNotification:
        add(orElse(routingNotifications.at(hop), onOtherNode(receivingNotification)), from);
        break;
    default:
        break;
    }
    return arrows;
}
