#include "chart/axistime.h"

#include "chart/chartmapper.h"
#include "chart/logtime.h"
#include "trace/node.h"

#include <algorithm>

namespace {

// The first event at or after `time` (microseconds since the node's first
// event): by bisection where offsets never decrease, else by a walk (a clock
// that stepped back leaves them unordered).
std::vector<TraceEvent>::const_iterator firstAtOrAfter(const Node &node, double time)
{
    const std::vector<TraceEvent> &events = node.events();
    const auto before = [time](const TraceEvent &e) { return double(e.offset) < time; };
    if (node.inTimeOrder())
        return std::partition_point(events.begin(), events.end(), before);
    return std::find_if_not(events.begin(), events.end(), before);
}

// Time of the node's log position, held to its first and last events.
double heldTimeAt(const Node &node, double units)
{
    if (units <= 0.0)
        return 0.0;
    const TraceEvent &last = node.events().back();
    if (units >= double(last.logPosition))
        return double(last.offset);
    return std::max(0.0, LogTime::timeAt(node, float(units)));
}

} // namespace

double AxisTime::logPositionAt(const Node &node, double time)
{
    const std::vector<TraceEvent> &events = node.events();
    if (events.empty())
        return 0.0;
    const auto at = firstAtOrAfter(node, time);
    if (at == events.end())
        return double(events.back().logPosition);
    if (at == events.begin() || double(at->offset) == time)
        return double(at->logPosition);
    const TraceEvent &previous = *(at - 1);
    const double fraction = (time - double(previous.offset)) / (double(at->offset) - double(previous.offset));
    const double position =
        double(previous.logPosition) + fraction * (double(at->logPosition) - double(previous.logPosition));
    return std::clamp(position, 0.0, double(events.back().logPosition));
}

double AxisTime::axisUnitsAt(double time, bool logMode, const Node *node, int shift)
{
    if (!logMode)
        return time;
    return node ? logPositionAt(*node, time - double(shift)) : 0.0;
}

TimeSpan AxisTime::visibleSpan(const ChartMapper &mapper, int width, const Node *node, int shift)
{
    const double scale = double(mapper.scale());
    if (!(scale > 0.0))
        return {};
    const double left = double(mapper.horizontalScroll()) / scale;
    const double right = (double(mapper.horizontalScroll()) + double(width)) / scale;
    if (!mapper.logMode())
        return {left, right};
    if (!node || node->eventCount() == 0)
        return {};
    return {heldTimeAt(*node, left) + double(shift), heldTimeAt(*node, right) + double(shift)};
}
