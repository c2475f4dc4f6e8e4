#include "chart/packetkeyindex.h"

#include "chart/nodeshared.h"
#include "trace/node.h"

#include <algorithm>
#include <utility>

PacketKeyIndex::PacketKeyIndex(const Node &node)
{
    const QMultiHash<quint32, PacketRef> &all = node.packetRefs();
    std::vector<std::pair<quint32, PacketRef>> entries;
    entries.reserve(size_t(all.size()));
    for (auto it = all.cbegin(); it != all.cend(); ++it)
        entries.emplace_back(it.key(), it.value());
    std::sort(entries.begin(), entries.end(), [](const auto &x, const auto &y) {
        return x.first != y.first ? x.first < y.first : x.second.eventIndex > y.second.eventIndex;
    });
    m_keys.reserve(entries.size());
    m_refs.reserve(entries.size());
    for (const auto &[key, ref] : entries) {
        const TraceEvent *event = node.event(ref.eventIndex);
        m_keys.push_back(key);
        m_refs.push_back(
            NodePacketRef{ref, node.nodeId(), event ? event->offset : 0u, event ? event->logPosition : 0.0f});
    }
}

std::shared_ptr<const PacketKeyIndex> PacketKeyIndex::shared(const Node &node)
{
    return sharedOfNode<PacketKeyIndex>(node);
}
