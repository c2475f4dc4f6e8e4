#include "trace/eventrange.h"

#include "trace/node.h"

#include <algorithm>

EventRange EventRange::whole(const Node &node)
{
    return EventRange{0, node.eventCount() - 1};
}

EventRange EventRange::within(const Node &node) const
{
    const EventRange held{std::max(first, 0), std::min(last, node.eventCount() - 1)};
    return held.isEmpty() ? EventRange{} : held;
}

EventRange EventRange::of(const Node &node, int first, int last)
{
    if (last < first)
        std::swap(first, last);
    return EventRange{first, last}.within(node);
}

EventRange EventRange::ofOffsets(const Node &node, qint64 from, qint64 to)
{
    // Offsets need not grow along the events (a marker may come out of
    // order), so every event is looked at rather than bisected.
    EventRange range;
    range.first = -1;
    const auto &events = node.events();
    for (int i = 0; i < int(events.size()); ++i) {
        const qint64 offset = events[size_t(i)].offset;
        if (offset < from || offset > to)
            continue;
        if (range.first < 0)
            range.first = i;
        range.last = i;
    }
    if (range.first < 0)
        return EventRange{};
    return range;
}
