#include "chart/activityprofile.h"

#include "chart/overviewscale.h"
#include "trace/node.h"
#include "trace/task.h"

#include <QSet>

#include <algorithm>
#include <cmath>

namespace {

// Whether a task id stands for an idle task, remembered for the last id
// asked: the running task changes only at task switches.
class IdleTasks
{
public:
    explicit IdleTasks(const Node &node)
    {
        for (auto it = node.tasks().cbegin(); it != node.tasks().cend(); ++it) {
            if (it.value() && it.value()->role() == Task::IDLE)
                m_ids.insert(it.key());
        }
    }

    bool contains(qint32 id)
    {
        if (id != m_lastId) {
            m_lastId = id;
            m_lastIdle = m_ids.contains(id);
        }
        return m_lastIdle;
    }

private:
    QSet<qint32> m_ids;
    qint32 m_lastId = 0;
    bool m_lastIdle = false;
};

// Busy time gathered in column units: a stretch adds its part of the columns
// it starts and ends in to `partial`, and marks the columns it covers whole
// in `whole` as a difference (+1 at the first, -1 after the last), so that
// every stretch costs the same however many columns it spans.
struct Columns
{
    explicit Columns(int count)
        : partial(size_t(count) + 1, 0.0)
        , whole(size_t(count) + 1, 0)
        , limit(double(count))
    {}

    // Adds [a, b), in columns from the strip's left end.
    void add(double a, double b)
    {
        a = std::clamp(a, 0.0, limit);
        b = std::clamp(b, 0.0, limit);
        if (!(b > a))
            return;
        const auto first = size_t(a);
        const auto last = size_t(b);
        if (first == last) {
            partial[first] += b - a;
            return;
        }
        partial[first] += double(first + 1) - a;
        partial[last] += b - double(last);
        ++whole[first + 1];
        --whole[last];
    }

    std::vector<double> partial;
    std::vector<int> whole;
    double limit;
};

} // namespace

ActivityProfile ActivityProfile::of(const Node &node, int shift, const OverviewScale &scale)
{
    const int count = scale.columns();
    ActivityProfile profile;
    profile.shares.assign(size_t(count), 0.0f);
    const std::vector<TraceEvent> &events = node.events();
    if (events.empty())
        return profile;

    IdleTasks idle(node);
    Columns columns(count);
    const double perColumn = 1.0 / scale.columnSpan();
    // Each ordinary event's slice runs to the next ordinary one in the task
    // it leaves running; markers take no time of their own.
    for (const TraceEvent &event : events) {
        if (event.isMarker != 0 || event.duration == 0 || idle.contains(event.currentTask))
            continue;
        const double start = double(qint64(event.offset) + shift);
        columns.add(start * perColumn, (start + double(event.duration)) * perColumn);
    }
    int covered = 0;
    for (int x = 0; x < count; ++x) {
        covered += columns.whole[size_t(x)];
        profile.shares[size_t(x)] = float(std::min(1.0, columns.partial[size_t(x)] + double(covered)));
    }

    const auto [earliest, latest] =
        std::minmax_element(events.begin(), events.end(),
                            [](const TraceEvent &a, const TraceEvent &b) { return a.offset < b.offset; });
    profile.first = std::clamp(scale.xOf(double(qint64(earliest->offset) + shift)), 0, count);
    const int lastColumn = std::clamp(scale.xOf(double(qint64(latest->offset) + shift)), -1, count - 1);
    profile.end = std::max(profile.first, lastColumn + 1);
    return profile;
}
