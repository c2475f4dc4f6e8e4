#include "chart/packetarrowtable.h"

#include "chart/chartmapper.h"
#include "chart/packetkeyindex.h"
#include "chart/viewroot.h"
#include "trace/node.h"

#include <algorithm>
#include <cstddef>
#include <unordered_map>

namespace {

// A packet event's arrows while the table is built in key order.
struct FoundArrows
{
    int eventIndex = 0;
    int first = 0; // in the arrows found so far
    int count = 0;
};

} // namespace

PacketArrowTable::PacketArrowTable(const ViewRoot &root, const ViewNode &row)
{
    const Node *node = row.node();
    if (!node)
        return;
    // The node's packet events in key order, read from its sorted index: each
    // packet's events on every viewed node are then looked up in ascending
    // order, and the node's own events are not read at all.
    const PacketKeyIndex &index = row.packetKeyIndex();
    std::vector<FoundArrows> found;
    std::vector<RoutedPacketArrow> arrows;
    found.reserve(index.refs().size());
    arrows.reserve(2 * index.refs().size());
    size_t cursor = 0;
    for (size_t k = 0; k < index.refs().size(); ++k) {
        const PacketRef &ref = index.refs()[k];
        if (!EventType::isPacket(ref.type) || ref.eventIndex < 0 || ref.eventIndex >= node->eventCount())
            continue;
        const PaintedPacketEvent painted = PaintedPacketEvent::of(node->nodeId(), ref);
        const int first = int(arrows.size());
        for (const PacketArrow &arrow : packetArrows(painted, root.packetEvents(index.keys()[k], cursor))) {
            const auto *partner = static_cast<const ViewNode *>(root.childById(arrow.nodeId));
            // Where the partner's event lies comes from the index: reading
            // the event itself would cost a cache miss per arrow.
            if (partner && partner->node() && partner->node()->event(arrow.eventIndex))
                arrows.push_back(RoutedPacketArrow{partner, arrow.offset, arrow.logPosition, arrow.direction,
                                                   arrow.alongGroupRow});
        }
        if (int(arrows.size()) > first)
            found.push_back(FoundArrows{ref.eventIndex, first, int(arrows.size()) - first});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const FoundArrows &a, const FoundArrows &b) { return a.eventIndex < b.eventIndex; });
    // An event found under two keys keeps its first arrows.
    found.erase(
        std::unique(found.begin(), found.end(),
                    [](const FoundArrows &a, const FoundArrows &b) { return a.eventIndex == b.eventIndex; }),
        found.end());
    m_events.reserve(found.size());
    m_firstArrow.reserve(found.size() + 1);
    m_arrows.reserve(arrows.size());
    for (const FoundArrows &entry : found) {
        m_events.push_back(entry.eventIndex);
        m_firstArrow.push_back(int(m_arrows.size()));
        m_arrows.insert(m_arrows.end(), arrows.begin() + entry.first,
                        arrows.begin() + entry.first + entry.count);
    }
    m_firstArrow.push_back(int(m_arrows.size()));
    // Up to the last packet event only: a node with none costs nothing here.
    m_present.resize(m_events.empty() ? 0 : size_t(m_events.back()) / 64 + 1);
    for (size_t k = m_events.size(); k-- > 0;) {
        Presence &present = m_present[size_t(m_events[k]) / 64];
        present.bits |= quint64(1) << (m_events[k] % 64);
        present.before = int(k);
    }
    findTwins(*node);
}

void PacketArrowTable::findTwins(const Node &node)
{
    constexpr size_t prefetchAhead = 16;
    std::unordered_map<DrawingKey, int, DrawingKey::Hash> nextOf;
    m_twin.assign(m_events.size(), -1);
    const std::vector<TraceEvent> &events = node.events();
    for (size_t k = m_events.size(); k-- > 0;) {
        // The events lie a few cache lines apart: asked for well ahead, their reads overlap.
        if (k >= prefetchAhead)
            __builtin_prefetch(&events[size_t(m_events[k - prefetchAhead])].currentTask);
        const TraceEvent &e = events[size_t(m_events[k])];
        DrawingKey key{e.type, e.currentTask, {}};
        const Span arrows = entryArrows(k);
        std::transform(arrows.begin(), arrows.end(), key.arrows.begin(), [](const RoutedPacketArrow &arrow) {
            return DrawingKey::Arrow{arrow.partner, int(arrow.direction) * 2 + int(arrow.alongGroupRow)};
        });
        const auto [next, fresh] = nextOf.try_emplace(key, int(k));
        if (!fresh) {
            m_twin[k] = next->second;
            next->second = int(k);
        }
    }
}

PacketArrowTable::Span PacketArrowTable::entryArrows(size_t k) const
{
    const RoutedPacketArrow *arrows = m_arrows.data();
    return {arrows + m_firstArrow[k], arrows + m_firstArrow[k + 1]};
}

int PacketArrowTable::entryOf(int i) const
{
    const size_t word = size_t(i) / 64;
    if (i < 0 || word >= m_present.size())
        return -1;
    const Presence &present = m_present[word];
    const quint64 bit = quint64(1) << (i % 64);
    return present.bits & bit ? present.before + qPopulationCount(present.bits & (bit - 1)) : -1;
}

PacketArrowTable::Span PacketArrowTable::arrowsOf(int i) const
{
    const int k = entryOf(i);
    return k < 0 ? Span() : entryArrows(size_t(k));
}

bool PacketArrowTable::drawnAgainLater(int i, int last, const ChartMapper &mapper) const
{
    const int k = entryOf(i);
    const int twin = k < 0 ? -1 : m_twin[size_t(k)];
    if (twin < 0 || m_events[size_t(twin)] > last)
        return false;
    const Span arrows = entryArrows(size_t(k));
    const RoutedPacketArrow *later = entryArrows(size_t(twin)).begin();
    for (const RoutedPacketArrow &arrow : arrows) {
        const int shift = arrow.partner->shift();
        if (mapper.leftX(arrow.offset, arrow.logPosition, shift) !=
            mapper.leftX(later->offset, later->logPosition, shift))
            return false;
        ++later;
    }
    return true;
}
