#pragma once

#include "chart/packetroute.h"

#include <array>
#include <cstddef>
#include <vector>

class ChartMapper;
class Node;
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
    // Whether packet event i draws nothing but what a later packet event up
    // to event `last` draws again, for events of one pixel column: the same
    // marker in the same task's row, and arrows to the same partners whose
    // far ends fall in the same pixel columns. A fitted paint reads only the
    // last of a column's many equal packet events.
    bool drawnAgainLater(int i, int last, const ChartMapper &mapper) const;

private:
    // Where event i is in m_events; -1 for none.
    int entryOf(int i) const;
    Span entryArrows(size_t k) const;
    // Links each entry to the next one of the same type, task and partners.
    void findTwins(const Node &node);

    // What makes two packet events of one pixel column draw alike, but for
    // where their partner events fall.
    struct DrawingKey
    {
        struct Arrow
        {
            const ViewNode *partner = nullptr; // null past the event's last arrow
            int way = 0;                       // direction and whether along the group row
            bool operator==(const Arrow &other) const { return partner == other.partner && way == other.way; }
        };
        qint32 type = 0;
        qint32 task = 0;
        std::array<Arrow, PacketArrows::capacity> arrows{}; // an entry holds one event's
        bool operator==(const DrawingKey &other) const
        {
            return type == other.type && task == other.task && arrows == other.arrows;
        }
        struct Hash
        {
            size_t operator()(const DrawingKey &key) const
            {
                size_t hash = size_t(quint32(key.type)) << 32 | quint32(key.task);
                for (const Arrow &arrow : key.arrows)
                    hash = hash * 31 + (reinterpret_cast<quintptr>(arrow.partner) ^ size_t(arrow.way));
                return hash;
            }
        };
    };
    // Which of 64 events have an entry, and how many entries come before them:
    // a paint asks for every packet event it reads.
    struct Presence
    {
        quint64 bits = 0;
        int before = 0;
    };

    std::vector<int> m_events;       // the node's packet events with arrows, ascending
    std::vector<Presence> m_present; // by 64 events
    std::vector<int> m_firstArrow;   // of m_events[k] in m_arrows; one more entry at the end
    std::vector<RoutedPacketArrow> m_arrows;
    std::vector<int> m_twin; // by entry, the next entry drawing alike (see findTwins()); -1 for none
};
