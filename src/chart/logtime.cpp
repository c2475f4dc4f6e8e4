#include "chart/logtime.h"

#include "trace/node.h"

#include <algorithm>

namespace LogTime {

double timeAt(const Node &node, float units)
{
    const std::vector<TraceEvent> &events = node.events();
    const auto at = std::partition_point(events.begin(), events.end(),
                                         [units](const TraceEvent &e) { return e.logPosition < units; });
    if (at == events.end())
        return -1.0;
    if (at->logPosition == units)
        return double(at->offset);
    if (at == events.begin())
        return -1.0;
    const TraceEvent &previous = *(at - 1);
    const double fraction = (double(units) - double(previous.logPosition)) /
                            (double(at->logPosition) - double(previous.logPosition));
    return double(previous.offset) + fraction * (double(at->offset) - double(previous.offset));
}

double positionAt(const Node &node, double time)
{
    // Offsets may step back where positions do not: the search is only
    // meaningful, and only done, along events in time order.
    const std::vector<TraceEvent> &events = node.events();
    if (events.empty() || !node.inTimeOrder())
        return -1.0;
    const auto at = std::partition_point(events.begin(), events.end(),
                                         [time](const TraceEvent &e) { return double(e.offset) < time; });
    if (at == events.end())
        return -1.0;
    if (double(at->offset) == time)
        return double(at->logPosition);
    if (at == events.begin())
        return -1.0;
    const TraceEvent &previous = *(at - 1);
    const double fraction = (time - double(previous.offset)) / (double(at->offset) - double(previous.offset));
    return double(previous.logPosition) + fraction * (double(at->logPosition) - double(previous.logPosition));
}

} // namespace LogTime
