#pragma once

#include "chart/packetroute.h"

#include <vector>

class ViewNode;
class ViewRoot;

// One arrow of a packet event as a paint draws it: the partner's row and
// where its event lies, so that a paint never reads the partner's events.
struct RoutedPacketArrow
{
    const ViewNode *partner = nullptr; // the first row of the partner's node
    quint32 offset = 0;                // the partner event's linear position, microseconds
    float logPosition = 0;             // and its logarithmic one
    PacketArrow::Direction direction = PacketArrow::TOWARDS_PARTNER;
    bool alongGroupRow = false;
};

// The arrows of every packet event of one viewed node (see packetArrows()),
// with their partners resolved against the view: valid while the view's node
// set stays, whatever the shifts. Arrows whose partner node has no row or no
// such event are left out, as the chart draws nothing for them.
class PacketArrowTable
{
public:
    PacketArrowTable() = default;
    PacketArrowTable(const ViewRoot &root, const ViewNode &row);

    struct Span
    {
        const RoutedPacketArrow *first = nullptr;
        const RoutedPacketArrow *last = nullptr;
        const RoutedPacketArrow *begin() const { return first; }
        const RoutedPacketArrow *end() const { return last; }
    };
    // The arrows of the node's event i, in drawing order; none for an event
    // that is no packet event.
    Span arrowsOf(int i) const;

private:
    // Events are looked up in blocks of 2^blockBits: a paint asks for
    // every packet event, and a search within one block stays in cache.
    static constexpr int blockBits = 8;
    std::vector<int> m_events;     // the node's packet events with arrows, ascending
    std::vector<int> m_blockStart; // by block of events, its first entry in m_events; one more at the end
    std::vector<int> m_firstArrow; // of m_events[k] in m_arrows; one more entry at the end
    std::vector<RoutedPacketArrow> m_arrows;
};
