#include "chart/timeruler.h"

#include "trace/node.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr qint64 millisecond = 1000; // microseconds
constexpr qint64 second = 1000000;
// Steps end far beyond any trace's 2^32 us, well inside qint64.
constexpr qint64 largestDecade = 1000000000000000;

QString unitName(qint64 unit)
{
    if (unit == second)
        return QStringLiteral(" s");
    if (unit == millisecond)
        return QStringLiteral(" ms");
    return QLatin1Char(' ') + QChar(0x00B5) + QLatin1Char('s');
}

// The time of `node` at log position `units`: where events start there, the
// first one's (events shorter than 2 us take no log width, so several may);
// else linear between the events around it. Negative where the node has no
// time. Log positions never decrease along the events, even where the clock
// steps back, so a binary search finds the place.
double timeAtLogPosition(const Node &node, float units)
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

} // namespace

TimeRuler::TimeRuler(const ChartMapper &mapper, int width, const Node *node)
{
    if (width <= 0)
        return;
    if (!mapper.logMode())
        addLinearTicks(mapper, width);
    else if (node && node->eventCount() > 0 && mapper.scale() > 0.0f)
        addLogTicks(mapper, width, *node);
}

qint64 TimeRuler::stepFor(float scale)
{
    if (!(scale > 0.0f) || !std::isfinite(scale))
        return 0;
    static constexpr qint64 mantissas[] = {1, 2, 5};
    for (qint64 decade = 1; decade <= largestDecade; decade *= 10) {
        for (const qint64 mantissa : mantissas) {
            if (double(mantissa * decade) * double(scale) >= double(minSpacing))
                return mantissa * decade;
        }
    }
    return 5 * largestDecade;
}

double TimeRuler::timeAtLogPosition(const Node &node, float units)
{
    return ::timeAtLogPosition(node, units);
}

QString TimeRuler::linearLabel(qint64 time, qint64 step)
{
    const qint64 unit = step * 10 >= second ? second : step * 10 >= millisecond ? millisecond : 1;
    const int decimals = step < unit ? 1 : 0;
    return QString::number(double(time) / double(unit), 'f', decimals) + unitName(unit);
}

QString TimeRuler::logLabel(double time)
{
    const qint64 unit = time >= double(second) ? second : time >= double(millisecond) ? millisecond : 1;
    const double value = time / double(unit);
    // Three significant digits; whole microseconds are the clocks' resolution.
    const int decimals = unit == 1 || value >= 100.0 ? 0 : value >= 10.0 ? 1 : 2;
    return QString::number(value, 'f', decimals) + unitName(unit);
}

void TimeRuler::addLinearTicks(const ChartMapper &mapper, int width)
{
    m_step = stepFor(mapper.scale());
    if (m_step == 0)
        return;
    // Estimated in double, then settled by the single-precision x events get.
    const double leftTime = double(mapper.horizontalScroll()) / double(mapper.scale());
    const qint64 first = std::max<qint64>(0, qint64(std::floor(leftTime / double(m_step))) - 1);
    const qint64 count = width / minSpacing + 3;
    for (qint64 k = first; k < first + count; ++k) {
        const qint64 time = k * m_step;
        const int x = mapper.xAt(float(time));
        if (x >= width)
            break;
        if (x >= 0 && (m_ticks.isEmpty() || x > m_ticks.last().x))
            m_ticks.append({x, linearLabel(time, m_step)});
    }
}

void TimeRuler::addLogTicks(const ChartMapper &mapper, int width, const Node &node)
{
    const qint64 scroll = mapper.horizontalScroll();
    // Content pixels from the log origin, ceil(scroll / spacing) for either sign.
    qint64 j = scroll > 0 ? (scroll + minSpacing - 1) / minSpacing : -(-scroll / minSpacing);
    for (qint64 x = j * minSpacing - scroll; x < width; x += minSpacing, ++j) {
        const double time = timeAtLogPosition(node, float(j * minSpacing) / mapper.scale());
        if (time >= 0.0)
            m_ticks.append({int(x), logLabel(time)});
    }
}
