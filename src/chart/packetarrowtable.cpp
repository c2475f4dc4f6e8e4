#include "chart/packetarrowtable.h"

#include "chart/packetkeyindex.h"
#include "chart/viewroot.h"
#include "trace/node.h"

#include <algorithm>

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
    std::sort(found.begin(), found.end(),
              [](const FoundArrows &a, const FoundArrows &b) { return a.eventIndex < b.eventIndex; });
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
    const size_t blocks = (size_t(node->eventCount()) >> blockBits) + 1;
    m_blockStart.reserve(blocks + 1);
    auto from = m_events.cbegin();
    for (size_t b = 0; b <= blocks; ++b) {
        from = std::lower_bound(from, m_events.cend(), int(b << blockBits));
        m_blockStart.push_back(int(from - m_events.cbegin()));
    }
}

PacketArrowTable::Span PacketArrowTable::arrowsOf(int i) const
{
    const size_t block = size_t(i) >> blockBits;
    if (i < 0 || block + 1 >= m_blockStart.size())
        return {};
    const auto last = m_events.cbegin() + m_blockStart[block + 1];
    const auto at = std::lower_bound(m_events.cbegin() + m_blockStart[block], last, i);
    if (at == last || *at != i)
        return {};
    const size_t k = size_t(at - m_events.cbegin());
    const RoutedPacketArrow *arrows = m_arrows.data();
    return {arrows + m_firstArrow[k], arrows + m_firstArrow[k + 1]};
}
