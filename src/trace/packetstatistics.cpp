#include "trace/packetstatistics.h"

#include "trace/node.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <vector>

namespace {

struct PacketEvent
{
    quint32 key = 0;
    qint32 type = 0;
    int hop = 0;
    int nodeId = 0; // the node that logged it
    int eventIndex = 0;
    qint64 time = 0; // microseconds on the aligned axis

    bool operator<(const PacketEvent &other) const
    {
        return std::tie(key, hop, type) < std::tie(other.key, other.hop, other.type);
    }
};

bool timed(qint32 type)
{
    return type == EventType::PacketSending || type == EventType::PacketRouting ||
           type == EventType::PacketReceiving;
}

std::vector<PacketEvent> gather(const QVector<PacketNodeInput> &inputs)
{
    std::vector<PacketEvent> gathered;
    for (const PacketNodeInput &input : inputs) {
        if (!input.node)
            continue;
        const EventRange range = input.range.within(*input.node);
        const auto &events = input.node->events();
        for (int i = range.first; i <= range.last; ++i) {
            const TraceEvent &e = events[size_t(i)];
            if (!timed(e.type))
                continue;
            const quint32 key = quint32(e.nodeId) << 16 | (quint32(e.arg2) & 0xFFFF);
            gathered.push_back({key, e.type, int(quint32(e.arg2) >> 16), input.node->nodeId(), i,
                                qint64(e.offset) + input.shift});
        }
    }
    std::sort(gathered.begin(), gathered.end());
    return gathered;
}

// Adds the legs of one packet's events, sorted by hop, to `routes`.
void addLegs(const PacketEvent *first, const PacketEvent *last, PacketRoutes &routes)
{
    const auto receive =
        std::find_if(first, last, [](const PacketEvent &e) { return e.type == EventType::PacketReceiving; });
    if (receive == last) {
        ++routes.unreceived;
        return;
    }
    const int source = int(first->key >> 16);
    const int destination = receive->nodeId;
    const auto leg = [&](int hop, const PacketEvent &from, const PacketEvent &to) {
        routes.legs.push_back({first->key,
                               source,
                               destination,
                               hop,
                               {from.nodeId, from.eventIndex, from.time},
                               {to.nodeId, to.eventIndex, to.time}});
    };
    if (first->type == EventType::PacketSending && first->hop == 0)
        leg(0, *first, *receive);
    // Sorted by hop: each link joins two neighbours one hop apart.
    for (const PacketEvent *e = first; e + 1 != last; ++e) {
        const PacketEvent &to = e[1];
        const bool onward = e->type != EventType::PacketReceiving && to.hop == e->hop + 1;
        if (onward && (to.type == EventType::PacketRouting || to.type == EventType::PacketReceiving))
            leg(to.hop, *e, to);
    }
}

// Whether two events of the packet share type and hop number.
bool repeats(const PacketEvent *first, const PacketEvent *last)
{
    return std::adjacent_find(first, last, [](const PacketEvent &a, const PacketEvent &b) {
               return a.hop == b.hop && a.type == b.type;
           }) != last;
}

} // namespace

PacketRoutes packetRoutes(const QVector<PacketNodeInput> &inputs)
{
    const std::vector<PacketEvent> events = gather(inputs);
    PacketRoutes routes;
    for (auto first = events.begin(); first != events.end();) {
        const auto last =
            std::find_if(first, events.end(), [&](const PacketEvent &e) { return e.key != first->key; });
        ++routes.packets;
        if (repeats(&*first, &*first + (last - first)))
            ++routes.ambiguous;
        else
            addLegs(&*first, &*first + (last - first), routes);
        first = last;
    }
    return routes;
}

PacketStatistics packetStatistics(const QVector<PacketNodeInput> &inputs)
{
    const PacketRoutes routes = packetRoutes(inputs);
    using LegKey = std::tuple<int, int, int, int, int>; // source, destination, hop, from node, to node
    std::map<LegKey, TimingCollector> collectors;
    for (const PacketLeg &leg : routes.legs)
        collectors[LegKey(leg.source, leg.destination, leg.hop, leg.from.nodeId, leg.to.nodeId)].add(
            leg.to.time - leg.from.time, {leg.from.nodeId, leg.from.eventIndex});
    PacketStatistics stats;
    for (auto &[key, collector] : collectors) {
        const auto [source, destination, hop, from, to] = key;
        stats.legs.append({source, destination, hop, from, to, collector.take()});
    }
    stats.packets = routes.packets;
    stats.unreceived = routes.unreceived;
    stats.ambiguous = routes.ambiguous;
    return stats;
}
