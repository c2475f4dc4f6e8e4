#include "chart/edgesnap.h"

#include "chart/viewroot.h"
#include "trace/node.h"

#include <algorithm>
#include <cmath>

namespace {

// The edge nearest the target so far, as the distance to it.
struct Nearest
{
    double target;
    double reach;
    double edge;
    double distance;

    void offer(double candidate)
    {
        const double d = std::fabs(candidate - target);
        if (d <= reach && d < distance) {
            edge = candidate;
            distance = d;
        }
    }
};

struct LinearAxis
{
    static double start(const TraceEvent &e) { return double(e.offset); }
    static double length(const TraceEvent &e) { return double(e.duration); }
};

struct LogAxis
{
    static double start(const TraceEvent &e) { return double(e.logPosition); }
    static double length(const TraceEvent &e) { return double(e.logDuration); }
};

// Offers the edges of the node's events near the target, `shift` added to each.
template<typename Axis> void offerEdges(const Node &node, double shift, Nearest &nearest)
{
    const std::vector<TraceEvent> &events = node.events();
    auto first = events.begin();
    auto last = events.end();
    if (node.inTimeOrder()) {
        const double from = nearest.target - nearest.reach - shift;
        const double to = nearest.target + nearest.reach - shift;
        first = std::partition_point(events.begin(), events.end(),
                                     [from](const TraceEvent &e) { return Axis::start(e) < from; });
        last = std::partition_point(first, events.end(),
                                    [to](const TraceEvent &e) { return Axis::start(e) <= to; });
        // An event ends where the next one that is no marker starts, so the
        // ends inside the window are the starts inside it, but for the end of
        // the event that starts just before it.
        if (first != events.begin())
            --first;
    }
    for (auto e = first; e != last; ++e) {
        nearest.offer(Axis::start(*e) + shift);
        nearest.offer(Axis::start(*e) + Axis::length(*e) + shift);
    }
}

} // namespace

EdgeSnap::EdgeSnap(float scale, int distance, bool suppressed)
{
    if (!suppressed && distance >= 1 && scale > 0.0f && std::isfinite(scale))
        m_reach = double(distance) / double(scale);
}

double EdgeSnap::alignedTime(const ViewRoot &root, double time) const
{
    if (m_reach <= 0.0)
        return time;
    Nearest nearest{time, m_reach, time, m_reach * 2.0};
    for (const QSharedPointer<ViewNode> &row : root.nodes()) {
        if (row->node())
            offerEdges<LinearAxis>(*row->node(), double(row->shift()), nearest);
    }
    return nearest.edge;
}

double EdgeSnap::logPosition(const Node &node, double units) const
{
    if (m_reach <= 0.0)
        return units;
    Nearest nearest{units, m_reach, units, m_reach * 2.0};
    offerEdges<LogAxis>(node, 0.0, nearest);
    return nearest.edge;
}
