#include "trace/nodestatistics.h"

#include "trace/node.h"
#include "trace/task.h"

#include <map>
#include <vector>

namespace {

// The event after the range's last one, where its time ends; the last event
// itself when it is the node's final one.
int rangeEnd(const Node &node, EventRange range)
{
    return range.isEmpty() ? range.first : std::min(range.last + 1, node.eventCount() - 1);
}

// Microseconds from one event to another on the node's offset axis.
qint64 span(const TraceEvent &from, const TraceEvent &to)
{
    return qint64(to.offset) - qint64(from.offset);
}

// Microseconds from event i to event i + 1, the time Node::addEvent adds to
// the running task. A marker may lie out of time order: what its slice adds,
// the next one takes back, as in the task's execution time.
qint64 slice(const std::vector<TraceEvent> &events, int i)
{
    return span(events[size_t(i)], events[size_t(i) + 1]);
}

// The task running after event i. A user marker's currentTask is the task
// that set the marker, not the running one, so it is looked past.
int runningAfter(const std::vector<TraceEvent> &events, int i)
{
    while (i >= 0 && events[size_t(i)].type == EventType::UserMarker)
        --i;
    return i < 0 ? 0 : events[size_t(i)].currentTask;
}

// What a service's events add up to while the range is walked.
struct ServiceTally
{
    int calls = 0;
    int unmatchedCompletions = 0;
    TimingCollector time;
    TimingCollector kernel;
    std::map<int, std::pair<int, TimingCollector>> callers; // task id -> calls, times
};

class ServiceWalk
{
public:
    explicit ServiceWalk(const Node &node)
        : m_node(node)
        , m_events(node.events())
    {}

    void visit(int i)
    {
        const TraceEvent &e = m_events[size_t(i)];
        switch (e.type) {
        case EventType::ServiceRequest:
            ++m_tallies[e.arg1].calls;
            ++m_tallies[e.arg1].callers[e.currentTask].first;
            m_open[{e.currentTask, e.arg1}].push_back(i);
            break;
        case EventType::ServiceCompleted:
            complete(e);
            break;
        case EventType::KernelServicingRequest:
            m_kernelOpen[e.arg1].push_back(i);
            m_tallies[e.arg1]; // listed even when never completed
            break;
        case EventType::KernelServicingCompleted:
            completeKernel(e);
            break;
        default:
            break;
        }
    }

    QVector<ServiceStatistics> rows()
    {
        QVector<ServiceStatistics> rows;
        for (auto &[id, tally] : m_tallies) {
            ServiceStatistics row;
            row.nodeId = m_node.nodeId();
            row.serviceId = id;
            row.name = m_node.service(id).name;
            row.calls = tally.calls;
            row.unmatchedCompletions = tally.unmatchedCompletions;
            row.time = tally.time.take();
            row.unmatchedRequests = row.calls - row.time.count;
            row.kernel = tally.kernel.take();
            for (auto &[taskId, caller] : tally.callers) {
                const Task *task = m_node.task(taskId);
                row.callers.append(
                    {taskId, task ? task->name() : QString(), caller.first, caller.second.take()});
            }
            rows.append(row);
        }
        return rows;
    }

private:
    // Closes the calling task's latest open request of the service.
    void complete(const TraceEvent &e)
    {
        ServiceTally &tally = m_tallies[e.arg1];
        std::vector<int> &open = m_open[{e.currentTask, e.arg1}];
        if (open.empty()) {
            ++tally.unmatchedCompletions;
            return;
        }
        const int request = open.back();
        open.pop_back();
        const qint64 duration = span(m_events[size_t(request)], e);
        const EventRef where{m_node.nodeId(), request};
        tally.time.add(duration, where);
        tally.callers[e.currentTask].second.add(duration, where);
    }

    // Closes the latest open kernel servicing of the service; others are ignored.
    void completeKernel(const TraceEvent &e)
    {
        std::vector<int> &open = m_kernelOpen[e.arg1];
        if (open.empty())
            return;
        const int request = open.back();
        open.pop_back();
        m_tallies[e.arg1].kernel.add(span(m_events[size_t(request)], e), {m_node.nodeId(), request});
    }

    const Node &m_node;
    const std::vector<TraceEvent> &m_events;
    std::map<int, ServiceTally> m_tallies;
    // Event indexes of open requests by calling task and service, and of
    // open kernel servicings by service, the latest last.
    std::map<std::pair<int, int>, std::vector<int>> m_open;
    std::map<int, std::vector<int>> m_kernelOpen;
};

} // namespace

qint64 rangeTime(const Node &node, EventRange range)
{
    range = range.within(node);
    qint64 time = 0;
    const auto &events = node.events();
    for (int i = range.first, end = rangeEnd(node, range); i < end; ++i)
        time += slice(events, i);
    return time;
}

QVector<TaskStatistics> taskStatistics(const Node &node, EventRange range)
{
    range = range.within(node);
    const auto &events = node.events();
    std::map<int, TimingCollector> collectors;
    for (const auto &task : node.tasks())
        collectors[task->id()];

    int running = runningAfter(events, range.first - 1);
    int runStart = range.first;
    qint64 runTime = 0;
    qint64 total = 0;
    const int end = rangeEnd(node, range);
    for (int i = range.first; i < end; ++i) {
        const int now = runningAfter(events, i);
        if (now != running && i > runStart) {
            collectors[running].add(runTime, {node.nodeId(), runStart});
            runStart = i;
            runTime = 0;
        }
        running = now;
        runTime += slice(events, i);
        total += slice(events, i);
    }
    if (end > runStart)
        collectors[running].add(runTime, {node.nodeId(), runStart});

    QVector<TaskStatistics> rows;
    for (auto &[id, collector] : collectors) {
        TaskStatistics row;
        row.nodeId = node.nodeId();
        row.taskId = id;
        const Task *task = node.task(id);
        row.name = task ? task->name() : QString();
        row.activations = collector.take();
        row.share = total > 0 ? double(row.activations.total) * 100.0 / double(total) : 0.0;
        rows.append(row);
    }
    return rows;
}

QVector<ServiceStatistics> serviceStatistics(const Node &node, EventRange range)
{
    ServiceWalk walk(node);
    range = range.within(node);
    for (int i = range.first; i <= range.last; ++i)
        walk.visit(i);
    return walk.rows();
}

QVector<InterruptStatistics> interruptStatistics(const Node &node, EventRange range)
{
    std::map<int, TimingCollector> collectors;
    const auto &events = node.events();
    range = range.within(node);
    for (int i = range.first; i <= range.last; ++i) {
        const TraceEvent &e = events[size_t(i)];
        if (e.type == EventType::Isr)
            collectors[e.arg1].add(qint64(e.duration), {node.nodeId(), i});
    }
    QVector<InterruptStatistics> rows;
    for (auto &[number, collector] : collectors)
        rows.append({node.nodeId(), number, collector.take()});
    return rows;
}
