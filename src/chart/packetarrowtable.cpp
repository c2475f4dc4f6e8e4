#include "chart/packetarrowtable.h"

#include "chart/viewroot.h"
#include "trace/node.h"

#include <algorithm>

PacketArrowTable::PacketArrowTable(const ViewRoot &root, const ViewNode &row)
{
    const Node *node = row.node();
    if (!node)
        return;
    std::vector<std::pair<int, PacketArrows>> found;
    found.reserve(size_t(node->packetRefs().size()));
    for (auto it = node->packetRefs().cbegin(); it != node->packetRefs().cend(); ++it) {
        const PacketRef &ref = it.value();
        if (!EventType::isPacket(ref.type))
            continue;
        const TraceEvent *event = node->event(ref.eventIndex);
        if (!event)
            continue;
        const PaintedPacketEvent painted = PaintedPacketEvent::of(node->nodeId(), *event);
        const PacketArrows arrows = packetArrows(painted, root.packetEvents(it.key()));
        if (arrows.size() > 0)
            found.emplace_back(ref.eventIndex, arrows);
    }
    std::sort(found.begin(), found.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    m_events.reserve(found.size());
    m_firstArrow.reserve(found.size() + 1);
    for (const auto &[index, arrows] : found) {
        const size_t first = m_arrows.size();
        for (const PacketArrow &arrow : arrows) {
            const auto *partner = static_cast<const ViewNode *>(root.childById(arrow.nodeId));
            const TraceEvent *event =
                partner && partner->node() ? partner->node()->event(arrow.eventIndex) : nullptr;
            if (event)
                m_arrows.push_back(RoutedPacketArrow{partner, event->offset, event->logPosition,
                                                     arrow.direction, arrow.alongGroupRow});
        }
        if (m_arrows.size() == first)
            continue;
        m_events.push_back(index);
        m_firstArrow.push_back(int(first));
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
