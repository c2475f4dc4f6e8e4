#include "trace/traceeventjson.h"

#include "trace/node.h"
#include "trace/nodestatistics.h"
#include "trace/task.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>
#include <vector>

namespace {

// A complete slice on a task's thread, times on the common axis (microseconds).
struct Slice
{
    int tid = 0;
    QString name;
    QString category;
    qint64 start = 0;
    qint64 end = 0;
    int event = 0; // index of the event that starts it
};

QString taskLabel(const Node &node, int taskId)
{
    const Task *task = node.task(taskId);
    return QStringLiteral("[%1] %2").arg(taskId).arg(task ? task->name() : QString());
}

class NodeWriter
{
public:
    NodeWriter(const PacketNodeInput &input, QJsonArray &out, int &nextId)
        : m_node(*input.node)
        , m_shift(input.shift)
        , m_range(input.range.within(*input.node))
        , m_out(out)
        , m_nextId(nextId)
    {}

    void write(int sortIndex)
    {
        writeNames(sortIndex);
        writeActivations();
        std::vector<Slice> slices = interrupts();
        const std::vector<Slice> calls = serviceCalls();
        slices.insert(slices.end(), calls.begin(), calls.end());
        writeSlices(std::move(slices));
        writeMarkers();
    }

private:
    qint64 timeOf(int event) const { return qint64(m_node.events()[size_t(event)].offset) + m_shift; }

    QJsonObject base(const QString &phase, int tid) const
    {
        return QJsonObject{{QStringLiteral("ph"), phase},
                           {QStringLiteral("pid"), m_node.nodeId()},
                           {QStringLiteral("tid"), tid}};
    }

    void metadata(const QString &name, int tid, const QJsonValue &value, const QString &key)
    {
        QJsonObject event = base(QStringLiteral("M"), tid);
        event[QStringLiteral("name")] = name;
        event[QStringLiteral("args")] = QJsonObject{{key, value}};
        m_out.append(event);
    }

    void writeNames(int sortIndex)
    {
        metadata(QStringLiteral("process_name"), 0, m_node.name(), QStringLiteral("name"));
        metadata(QStringLiteral("process_sort_index"), 0, sortIndex, QStringLiteral("sort_index"));
        for (const auto &task : m_node.tasks())
            metadata(QStringLiteral("thread_name"), task->id(), taskLabel(m_node, task->id()),
                     QStringLiteral("name"));
    }

    // A slice that would run backwards (a marker out of time order) is cut to nothing.
    void complete(const Slice &slice)
    {
        QJsonObject event = base(QStringLiteral("X"), slice.tid);
        event[QStringLiteral("name")] = slice.name;
        event[QStringLiteral("cat")] = slice.category;
        event[QStringLiteral("ts")] = double(slice.start);
        event[QStringLiteral("dur")] = double(std::max<qint64>(0, slice.end - slice.start));
        event[QStringLiteral("args")] = QJsonObject{{QStringLiteral("event"), slice.event}};
        m_out.append(event);
    }

    void async(const Slice &slice)
    {
        const int id = m_nextId++;
        for (const bool begin : {true, false}) {
            QJsonObject event = base(begin ? QStringLiteral("b") : QStringLiteral("e"), slice.tid);
            event[QStringLiteral("name")] = slice.name;
            event[QStringLiteral("cat")] = slice.category;
            event[QStringLiteral("id")] = id;
            event[QStringLiteral("ts")] = double(begin ? slice.start : slice.end);
            if (begin)
                event[QStringLiteral("args")] = QJsonObject{{QStringLiteral("event"), slice.event}};
            m_out.append(event);
        }
    }

    void writeActivations()
    {
        forEachActivation(m_node, m_range, [&](const TaskActivation &a) {
            const Slice slice{a.taskId,
                              taskLabel(m_node, a.taskId),
                              QStringLiteral("task"),
                              timeOf(a.first),
                              timeOf(a.first) + std::max<qint64>(0, a.duration),
                              a.first};
            complete(slice);
            m_activations.push_back(slice);
        });
    }

    std::vector<Slice> interrupts() const
    {
        std::vector<Slice> slices;
        for (int i = m_range.first; i <= m_range.last; ++i) {
            const TraceEvent &e = m_node.events()[size_t(i)];
            if (e.type == EventType::Isr)
                slices.push_back({e.currentTask, QStringLiteral("interrupt %1").arg(e.arg1),
                                  QStringLiteral("interrupt"), timeOf(i), timeOf(i) + qint64(e.duration), i});
        }
        return slices;
    }

    std::vector<Slice> serviceCalls() const
    {
        std::vector<Slice> slices;
        forEachServiceCall(m_node, m_range, [&](const ServiceCall &call) {
            if (call.request < 0 || call.completion < 0)
                return;
            const TraceEvent &request = m_node.events()[size_t(call.request)];
            QString name = m_node.service(call.serviceId).name;
            if (name.isEmpty())
                name = QStringLiteral("service %1").arg(call.serviceId);
            slices.push_back({request.currentTask, name,
                              call.kernel ? QStringLiteral("kernel") : QStringLiteral("service"),
                              timeOf(call.request), timeOf(call.completion), call.request});
        });
        return slices;
    }

    // The activation event `event` belongs to, by its position in m_activations; -1 for none.
    int activationOf(int event) const
    {
        const auto after = std::upper_bound(m_activations.begin(), m_activations.end(), event,
                                            [](int i, const Slice &a) { return i < a.event; });
        return int(after - m_activations.begin()) - 1;
    }

    // Whether `slice` lies within the activation its first event belongs to.
    bool inActivation(const Slice &slice) const
    {
        const int a = activationOf(slice.event);
        if (a < 0)
            return false;
        const Slice &activation = m_activations[size_t(a)];
        // One that starts where the activation ends would begin after it.
        const bool startsInside = slice.start < activation.end || activation.start == activation.end;
        return activation.tid == slice.tid && activation.start <= slice.start && startsInside &&
               slice.start <= slice.end && slice.end <= activation.end;
    }

    // Outer slices before inner ones; a slice that would overlap the one it
    // starts in, without lying within it, goes out as an async pair.
    void writeSlices(std::vector<Slice> slices)
    {
        std::stable_sort(slices.begin(), slices.end(), [](const Slice &a, const Slice &b) {
            return a.start != b.start ? a.start < b.start : a.end > b.end;
        });
        std::vector<std::vector<qint64>> openEnds(m_activations.size());
        for (const Slice &slice : slices) {
            if (!inActivation(slice)) {
                async(slice);
                continue;
            }
            std::vector<qint64> &ends = openEnds[size_t(activationOf(slice.event))];
            while (!ends.empty() && ends.back() <= slice.start)
                ends.pop_back();
            if (!ends.empty() && slice.end > ends.back()) {
                async(slice);
                continue;
            }
            ends.push_back(slice.end);
            complete(slice);
        }
    }

    void writeMarkers()
    {
        for (int i = m_range.first; i <= m_range.last; ++i) {
            const TraceEvent &e = m_node.events()[size_t(i)];
            const bool user = e.type == EventType::UserMarker;
            if (!user && e.type != EventType::SyncMarker)
                continue;
            QJsonObject event = base(QStringLiteral("i"), e.currentTask);
            event[QStringLiteral("name")] = user ? QStringLiteral("marker %1").arg(e.arg1)
                                                 : QStringLiteral("sync %1").arg(e.arg2 & 0xFFFF);
            event[QStringLiteral("cat")] = QStringLiteral("marker");
            event[QStringLiteral("s")] = QStringLiteral("t");
            event[QStringLiteral("ts")] = double(timeOf(i));
            event[QStringLiteral("args")] = QJsonObject{{QStringLiteral("event"), i},
                                                        {QStringLiteral("arg1"), e.arg1},
                                                        {QStringLiteral("arg2"), e.arg2}};
            m_out.append(event);
        }
    }

    const Node &m_node;
    const qint64 m_shift;
    const EventRange m_range;
    QJsonArray &m_out;
    int &m_nextId;
    std::vector<Slice> m_activations; // in event order, each named by its first event
};

const Node *nodeWithId(const QVector<PacketNodeInput> &inputs, int nodeId)
{
    for (const PacketNodeInput &input : inputs) {
        if (input.node && input.node->nodeId() == nodeId)
            return input.node;
    }
    return nullptr;
}

QJsonObject flowEnd(const QVector<PacketNodeInput> &inputs, const PacketLeg &leg, const PacketLegEnd &end,
                    bool start, int id)
{
    const Node *node = nodeWithId(inputs, end.nodeId);
    return QJsonObject{
        {QStringLiteral("ph"), start ? QStringLiteral("s") : QStringLiteral("f")},
        {QStringLiteral("pid"), end.nodeId},
        {QStringLiteral("tid"), node->events()[size_t(end.eventIndex)].currentTask},
        {QStringLiteral("ts"), double(end.time)},
        {QStringLiteral("id"), id},
        {QStringLiteral("cat"), QStringLiteral("packet")},
        {QStringLiteral("name"),
         QStringLiteral("packet %1:%2 hop %3").arg(leg.source).arg(leg.key & 0xFFFF).arg(leg.hop)}};
}

void writeFlows(const QVector<PacketNodeInput> &inputs, QJsonArray &out, int &nextId)
{
    for (const PacketLeg &leg : packetRoutes(inputs).legs) {
        if (leg.hop == 0)
            continue;
        const int id = nextId++;
        out.append(flowEnd(inputs, leg, leg.from, true, id));
        QJsonObject end = flowEnd(inputs, leg, leg.to, false, id);
        end[QStringLiteral("bp")] = QStringLiteral("e"); // the slice that holds the event, not the next one
        out.append(end);
    }
}

} // namespace

QJsonDocument traceEventJson(const QVector<PacketNodeInput> &inputs)
{
    QJsonArray events;
    int nextId = 1;
    int sortIndex = 0;
    for (const PacketNodeInput &input : inputs) {
        if (input.node)
            NodeWriter(input, events, nextId).write(sortIndex++);
    }
    writeFlows(inputs, events, nextId);
    return QJsonDocument(QJsonObject{{QStringLiteral("traceEvents"), events}});
}
