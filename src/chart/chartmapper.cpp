#include "chart/chartmapper.h"

#include "chart/viewroot.h"
#include "trace/node.h"

#include <algorithm>

using TimeScaleDetail::toPixel;

ChartMapper::ChartMapper(float scale, bool logMode, int horizontalScroll)
    : m_scale(scale)
    , m_logMode(logMode)
    , m_scroll(horizontalScroll)
    , m_fScroll(float(horizontalScroll))
{}

ChartMapper::ChartMapper(const TimeScale &scale, int horizontalScroll)
    : ChartMapper(scale.scale(), scale.logMode(), horizontalScroll)
{}

qint64 ChartMapper::rowLeft(const Node &node, int shift) const
{
    qint64 origin = 0;
    if (!m_logMode)
        origin = (node.eventCount() > 0 ? qint64(node.events().front().offset) : 0) + shift;
    return qint64(toPixel(double(m_scale * float(origin)))) - m_scroll;
}

float ChartMapper::timeAt(int x, int shift) const
{
    return float(qint64(x) + m_scroll) / m_scale - shiftIn(shift);
}

bool ChartMapper::originAtLeftEdge(int shift) const
{
    return shiftIn(shift) * m_scale == m_fScroll;
}

int ChartMapper::eventUnder(const Node &node, int x, int shift) const
{
    return node.firstEventAt(toPixel(double(timeAt(x, shift))), m_logMode);
}

ShownEvents ChartMapper::eventsBetween(const Node &node, int shift, int left, int right) const
{
    // The rows' left end as ViewRoot::itemRect lays them out, held near the origin.
    const qint64 rowStart = heldRect(rowLeft(node, shift), 0, 0, 0).left();
    ShownEvents range;
    range.first = node.firstEventAt(toPixel(double(float(qint64(left) - rowStart) / m_scale)), m_logMode);
    if (range.first < 0)
        return range;
    const float limit = timeAt(right, shift);
    const auto inView = [this, limit](const TraceEvent &e) {
        return (m_logMode ? e.logPosition : float(e.offset)) <= limit;
    };
    const std::vector<TraceEvent> &events = node.events();
    const auto from = events.begin() + range.first;
    if (node.inTimeOrder()) {
        range.end = int(std::partition_point(from, events.end(), inView) - events.begin());
    } else {
        range.end = int(std::find_if_not(from, events.end(), inView) - events.begin());
    }
    return range;
}
