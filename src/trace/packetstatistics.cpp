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

using LegKey = std::tuple<int, int, int, int, int>; // source, destination, hop, from node, to node

class LegTally
{
public:
    void add(const PacketEvent *first, const PacketEvent *last, PacketStatistics &stats)
    {
        const auto receive = std::find_if(
            first, last, [](const PacketEvent &e) { return e.type == EventType::PacketReceiving; });
        if (receive == last) {
            ++stats.unreceived;
            return;
        }
        const int source = int(first->key >> 16);
        const int destination = receive->nodeId;
        if (first->type == EventType::PacketSending && first->hop == 0)
            leg(source, destination, 0, *first, *receive);
        // Sorted by hop: each link joins two neighbours one hop apart.
        for (const PacketEvent *e = first; e + 1 != last; ++e) {
            const PacketEvent &to = e[1];
            const bool onward = e->type != EventType::PacketReceiving && to.hop == e->hop + 1;
            if (onward && (to.type == EventType::PacketRouting || to.type == EventType::PacketReceiving))
                leg(source, destination, to.hop, *e, to);
        }
    }

    QVector<PacketLegStatistics> rows()
    {
        QVector<PacketLegStatistics> rows;
        for (auto &[key, collector] : m_legs) {
            const auto [source, destination, hop, from, to] = key;
            rows.append({source, destination, hop, from, to, collector.take()});
        }
        return rows;
    }

private:
    void leg(int source, int destination, int hop, const PacketEvent &from, const PacketEvent &to)
    {
        m_legs[LegKey(source, destination, hop, from.nodeId, to.nodeId)].add(to.time - from.time,
                                                                             {from.nodeId, from.eventIndex});
    }

    std::map<LegKey, TimingCollector> m_legs;
};

// Whether two events of the packet share type and hop number.
bool repeats(const PacketEvent *first, const PacketEvent *last)
{
    return std::adjacent_find(first, last, [](const PacketEvent &a, const PacketEvent &b) {
               return a.hop == b.hop && a.type == b.type;
           }) != last;
}

} // namespace

PacketStatistics packetStatistics(const QVector<PacketNodeInput> &inputs)
{
    const std::vector<PacketEvent> events = gather(inputs);
    PacketStatistics stats;
    LegTally tally;
    for (auto first = events.begin(); first != events.end();) {
        const auto last =
            std::find_if(first, events.end(), [&](const PacketEvent &e) { return e.key != first->key; });
        ++stats.packets;
        if (repeats(&*first, &*first + (last - first)))
            ++stats.ambiguous;
        else
            tally.add(&*first, &*first + (last - first), stats);
        first = last;
    }
    stats.legs = tally.rows();
    return stats;
}
