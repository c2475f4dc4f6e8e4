#include "trace/nodestatistics.h"

#include "trace/node.h"
#include "trace/task.h"

#include <algorithm>
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

// Pairs requests with completions while the range is walked: a completion
// closes the latest open request of its service by the same task; a kernel
// servicing completion the latest open servicing of its service.
class ServicePairing
{
public:
    ServicePairing(const Node &node, const std::function<void(const ServiceCall &)> &visit)
        : m_events(node.events())
        , m_visit(visit)
    {}

    void visit(int i)
    {
        const TraceEvent &e = m_events[size_t(i)];
        switch (e.type) {
        case EventType::ServiceRequest:
            m_open[{e.currentTask, e.arg1}].push_back(i);
            break;
        case EventType::ServiceCompleted:
            close(m_open[{e.currentTask, e.arg1}], e, i, false);
            break;
        case EventType::KernelServicingRequest:
            m_kernelOpen[e.arg1].push_back(i);
            break;
        case EventType::KernelServicingCompleted:
            close(m_kernelOpen[e.arg1], e, i, true);
            break;
        default:
            break;
        }
    }

    // Reports the requests still open, by event index.
    void finish()
    {
        std::vector<int> open;
        for (const auto &[key, requests] : m_open)
            open.insert(open.end(), requests.begin(), requests.end());
        for (const auto &[key, requests] : m_kernelOpen)
            open.insert(open.end(), requests.begin(), requests.end());
        std::sort(open.begin(), open.end());
        for (const int i : open) {
            const TraceEvent &e = m_events[size_t(i)];
            m_visit({e.arg1, e.currentTask, e.type == EventType::KernelServicingRequest, i, -1});
        }
    }

private:
    void close(std::vector<int> &open, const TraceEvent &e, int i, bool kernel)
    {
        const int request = open.empty() ? -1 : open.back();
        if (!open.empty())
            open.pop_back();
        m_visit({e.arg1, e.currentTask, kernel, request, i});
    }

    const std::vector<TraceEvent> &m_events;
    const std::function<void(const ServiceCall &)> &m_visit;
    // Event indexes of open requests by calling task and service, and of
    // open kernel servicings by service, the latest last.
    std::map<std::pair<int, int>, std::vector<int>> m_open;
    std::map<int, std::vector<int>> m_kernelOpen;
};

// What a service's calls add up to.
struct ServiceTally
{
    int calls = 0;
    int unmatchedCompletions = 0;
    TimingCollector time;
    TimingCollector kernel;
    std::map<int, std::pair<int, TimingCollector>> callers; // task id -> calls, times
};

class ServiceTallies
{
public:
    explicit ServiceTallies(const Node &node)
        : m_node(node)
    {}

    void add(const ServiceCall &call)
    {
        if (call.kernel) {
            addKernel(call);
            return;
        }
        ServiceTally &tally = m_tallies[call.serviceId];
        if (call.request < 0) {
            ++tally.unmatchedCompletions;
            return;
        }
        ++tally.calls;
        auto &caller = tally.callers[call.taskId];
        ++caller.first;
        if (call.completion < 0)
            return;
        const qint64 duration =
            span(m_node.events()[size_t(call.request)], m_node.events()[size_t(call.completion)]);
        const EventRef where{m_node.nodeId(), call.request};
        tally.time.add(duration, where);
        caller.second.add(duration, where);
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
    // A servicing lists its service even when never completed; a completion
    // without request is ignored.
    void addKernel(const ServiceCall &call)
    {
        if (call.request < 0)
            return;
        ServiceTally &tally = m_tallies[call.serviceId];
        if (call.completion >= 0)
            tally.kernel.add(
                span(m_node.events()[size_t(call.request)], m_node.events()[size_t(call.completion)]),
                {m_node.nodeId(), call.request});
    }

    const Node &m_node;
    std::map<int, ServiceTally> m_tallies;
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

void forEachActivation(const Node &node, EventRange range,
                       const std::function<void(const TaskActivation &)> &visit)
{
    range = range.within(node);
    const auto &events = node.events();
    int running = runningAfter(events, range.first - 1);
    int runStart = range.first;
    qint64 runTime = 0;
    const int end = rangeEnd(node, range);
    for (int i = range.first; i < end; ++i) {
        const int now = runningAfter(events, i);
        if (now != running && i > runStart) {
            visit({running, runStart, runTime});
            runStart = i;
            runTime = 0;
        }
        running = now;
        runTime += slice(events, i);
    }
    if (end > runStart)
        visit({running, runStart, runTime});
}

void forEachServiceCall(const Node &node, EventRange range,
                        const std::function<void(const ServiceCall &)> &visit)
{
    ServicePairing pairing(node, visit);
    range = range.within(node);
    for (int i = range.first; i <= range.last; ++i)
        pairing.visit(i);
    pairing.finish();
}

QVector<TaskStatistics> taskStatistics(const Node &node, EventRange range)
{
    std::map<int, TimingCollector> collectors;
    for (const auto &task : node.tasks())
        collectors[task->id()];
    qint64 total = 0;
    forEachActivation(node, range, [&](const TaskActivation &activation) {
        collectors[activation.taskId].add(activation.duration, {node.nodeId(), activation.first});
        total += activation.duration;
    });

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
    ServiceTallies tallies(node);
    forEachServiceCall(node, range, [&](const ServiceCall &call) { tallies.add(call); });
    return tallies.rows();
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
