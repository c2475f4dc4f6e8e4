#include "tracegenerator.h"

#include "splitmix64.h"
#include "tracewriter.h"

#include <QDir>
#include <QSaveFile>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <iterator>
#include <memory>
#include <queue>
#include <vector>

namespace {

constexpr qint64 nsPerUs = 1000;
constexpr qint64 nsPerSecond = 1000000000;

// Event type codes as the Corvos recorder writes them.
enum EventType : int {
    TaskSwitch = 0,
    ServiceRequest = 1,
    ServiceCompleted = -1,
    KernelRequest = 2,
    KernelCompleted = -2,
    SyncMarker = 3,
    PacketSending = 4,
    PacketSent = -4,
    PacketRouting = 5,
    PacketRouted = -5,
    PacketReceiving = 6,
    PacketReceived = -6,
    UserMarker = 16,
    Interrupt = 255
};

// The kernel's service table. Every node runs the same kernel build, so the
// ids are the same everywhere.
enum ServiceId : int {
    StartTask = 1,
    SuspendTask,
    ResumeTask,
    StopTask,
    AnyPacket,
    SleepTask,
    AwakeTask,
    SendToHub,
    ReceiveFromHub,
    Return,
    TaskLock,
    GetTime
};

const char *const serviceNames[] = {"Ks_Start_Task_W", "Ks_Suspend_Task",  "Ks_Resume_Task",
                                    "Ks_Stop_Task",    "Ks_Any_Packet",    "Ks_Sleep_Task",
                                    "Ks_Awake_Task",   "Ks_Send_To_Hub_W", "Ks_Receive_From_Hub_W",
                                    "Ks_Return",       "Ks_TaskLock",      "Ks_Get_Time"};

// Tasks every node has; user tasks follow from FirstUserTask on.
enum FixedTask : int { KernelTask = 0, IdleTask = 1, TxTask = 2, RxTask = 3, FirstUserTask = 4 };

// The first parameter of a task switch: why the scheduler switched.
enum SwitchReason : int { Preempted = 0, KernelEntry = 1, Readied = 2, Blocked = 3, Returned = 4 };

// Interrupt lines; a link interrupt is LinkIrq plus the port.
enum Irq : int { TimerIrq = 0x0F, AdcIrq = 0x12, GpioIrq = 0x18, LinkIrq = 0x20, UartIrq = 0x31 };
const int deviceIrqs[] = {AdcIrq, GpioIrq, UartIrq};

// Ports of a node's two links: towards the lower and the higher node ids.
enum Port : int { LowerPort = 0, UpperPort = 1 };

// No episode records more events than this; the last ones of a trace are
// single events, so that every packet a trace shows has both its event and
// its notification.
constexpr int longestEpisode = 16;

struct Profile
{
    const char *name;
    const char *userTasks[5];
    const char *hubs[3];
};

const Profile profiles[] = {
    {"Gateway",
     {"Route manager", "Config server", "Health monitor", "Log collector", "Time master"},
     {"Route table", "Config mailbox", "Log queue"}},
    {"Flight control",
     {"Attitude loop", "Navigation filter", "Actuator driver", "Sensor fusion", "Mode manager"},
     {"Setpoint mailbox", "State vector", "Actuator queue"}},
    {"Sensor hub",
     {"IMU sampler", "GPS reader", "Baro sampler", "Magnetometer", "Calibration"},
     {"Raw samples", "Fused data", "Cal requests"}},
    {"Payload",
     {"Camera control", "Image compressor", "Storage writer", "Gimbal loop", "Payload health"},
     {"Image queue", "Gimbal commands", "Storage requests"}},
    {"Power manager",
     {"Battery monitor", "Charger control", "Load shedder", "Thermal watch", "Bus voltage"},
     {"Power events", "Load requests", "Thermal alarms"}},
    {"Telemetry",
     {"Frame builder", "Radio link", "Command decoder", "Downlink queue", "Beacon"},
     {"Downlink frames", "Uplink commands", "Radio status"}},
};

// The two counters of a node's recorder. The recorder reads a slow counter
// (highCounterHz) and, where the board has one, a fast timer for the time
// inside a tick of the slow one (lowCounterHz; 0 when there is none).
struct CounterSetup
{
    quint32 lowCounterHz;
    quint32 highCounterHz;
    TraceWriter::NumberStyle style;
};

const CounterSetup counterSetups[] = {
    {16000000, 1000, TraceWriter::NumberStyle::PaddedHex},       // 1 ms tick, 16 MHz timer
    {0, 1000000, TraceWriter::NumberStyle::CompactHex},          // free-running microsecond counter
    {24000000, 32768, TraceWriter::NumberStyle::HexHighCounter}, // watch crystal, 24 MHz core timer
    {1000000, 1, TraceWriter::NumberStyle::PaddedHex},           // seconds and microseconds
    {3686400, 100, TraceWriter::NumberStyle::CompactHex},        // 10 ms tick, UART crystal timer
};

// What a node's clock reads at a given moment, as the two counter values.
// Integer arithmetic only: truncating both counters keeps the time they give
// at or just below the clock, and never behind an earlier reading.
void counterReadings(const CounterSetup &setup, qint64 clockNs, quint32 *lowCounter, quint32 *highCounter)
{
    const quint64 ns = quint64(clockNs);
    const quint64 seconds = ns / nsPerSecond;
    const quint64 scaled = (ns % nsPerSecond) * setup.highCounterHz; // below 10^15
    *highCounter = quint32(seconds * setup.highCounterHz + scaled / nsPerSecond);
    // Time past the last high tick, in units of 10^-9 of a tick.
    const quint64 tickFraction = scaled % nsPerSecond;
    *lowCounter =
        setup.lowCounterHz == 0
            ? 0
            : quint32(tickFraction * setup.lowCounterHz / (quint64(nsPerSecond) * setup.highCounterHz));
}

struct Packet
{
    int sender = 0;      // node id; the viewer keys packets by it
    quint16 seq = 0;     // never 0
    int destination = 0; // node id
    int hop = 0;         // links crossed so far
    int cameFrom = 0;    // node id of the last node it left
};

struct Arrival
{
    qint64 time;
    quint64 order; // keeps equal arrival times in a fixed order
    Packet packet;
};

struct ArrivesLater
{
    bool operator()(const Arrival &a, const Arrival &b) const
    {
        return a.time != b.time ? a.time > b.time : a.order > b.order;
    }
};

struct Outgoing
{
    qint64 ready;
    int destination;
};

enum class TaskMode { Ready, Suspended, Stopped, Sleeping, Waiting };

struct TaskState
{
    TaskMode mode = TaskMode::Ready;
    int waitingHub = 0;
    // A service call whose completion is recorded when the task runs again.
    bool completionPending = false;
    qint32 completionParam1 = 0;
    qint32 completionParam2 = 0;
};

struct SimNode
{
    explicit SimNode(quint64 seed)
        : rng(seed)
    {}

    bool finished() const { return written >= target; }

    int index = 0;
    int id = 0;
    TraceHeader header;
    int userTaskCount = 0;
    CounterSetup counters{};
    qint64 clockOffsetNs = 0; // the node's clock when the simulation starts
    qint64 driftPpb = 0;
    SplitMix64 rng;

    std::unique_ptr<QSaveFile> file;
    std::unique_ptr<TraceWriter> writer;
    int target = 0;
    int written = 0;

    qint64 startNs = 0;  // true time of the first event
    qint64 now = 0;      // true time of the last event
    qint64 next = 0;     // when the running task next does something of its own
    qint64 nextTick = 0; // next scheduler tick
    qint64 tickPeriodNs = 0;
    quint32 tickCount = 0;

    int running = KernelTask; // the task the viewer takes as current
    int lastTask = IdleTask;  // the last task other than the kernel to run
    std::vector<TaskState> tasks;

    std::priority_queue<Arrival, std::vector<Arrival>, ArrivesLater> inbound;
    std::deque<Outgoing> outbound;
    quint16 nextSeq = 1;
    quint16 syncRound = 0;
    quint32 markerCount = 0;

    TraceGenerator::NodeSummary summary;
};

class Simulation
{
public:
    explicit Simulation(const TraceGenerator::Options &options);

    bool open(const QString &directory, QString *error);
    void run();
    bool commit(QString *error);
    QVector<TraceGenerator::NodeSummary> summaries() const;

private:
    SimNode &nodeById(int id) { return *m_nodes[size_t(id - 1)]; }
    qint64 readyTime(const SimNode &n) const;
    void runEpisode(SimNode &n, qint64 t);

    qint64 record(SimNode &n, qint64 t, int type, qint32 param1, qint32 param2);
    qint64 switchTo(SimNode &n, qint64 t, int task, int reason);
    qint64 callService(SimNode &n, qint64 t, int caller, int service, qint32 target, int resumeTask,
                       int reason);
    static qint64 later(SimNode &n, qint64 t, int lowUs, int highUs);
    static qint32 local(const SimNode &n, int object) { return (n.id << 8) | object; }

    qint64 firstSwitch(SimNode &n, qint64 t);
    qint64 deliver(SimNode &n, qint64 t, Packet packet);
    qint64 transmit(SimNode &n, qint64 t, int destination);
    qint64 timerTick(SimNode &n, qint64 t);
    qint64 ownActivity(SimNode &n, qint64 t);
    qint64 taskService(SimNode &n, qint64 t, int caller);
    qint64 hubService(SimNode &n, qint64 t, int caller);
    qint64 lastEvents(SimNode &n, qint64 t);

    qint64 paceFactorPercent(const SimNode &n) const;
    int pickUserTask(SimNode &n, TaskMode mode, int except) const;
    int pickOtherNode(SimNode &n) const;
    int interruptedTask(const SimNode &n) const;
    quint16 allocateSeq(SimNode &n);
    int nextHop(int from, int destination) const { return destination > from ? from + 1 : from - 1; }
    static int portToward(int from, int to) { return to > from ? UpperPort : LowerPort; }
    void sendOverLink(int from, int to, qint64 t, const Packet &packet);

    TraceGenerator::Options m_options;
    std::vector<std::unique_ptr<SimNode>> m_nodes;
    std::vector<qint64> m_linkLatencyNs; // link i joins node ids i + 1 and i + 2
    SplitMix64 m_network;
    quint64 m_arrivals = 0;
};

Simulation::Simulation(const TraceGenerator::Options &options)
    : m_options(options)
    , m_network(options.seed ^ 0x6E657477726B0000ull)
{
    SplitMix64 setup(options.seed);
    for (int i = 0; i < options.nodes; ++i) {
        auto node = std::make_unique<SimNode>(setup.next());
        SimNode &n = *node;
        n.index = i;
        n.id = i + 1;
        n.target = options.eventsPerNode;
        n.counters = counterSetups[size_t(i) % std::size(counterSetups)];

        const Profile &profile = profiles[size_t(i) % std::size(profiles)];
        const int generation = i / int(std::size(profiles));
        QString name = QString::fromLatin1(profile.name);
        if (generation > 0)
            name += QLatin1Char(' ') + QString::number(generation + 1);

        TraceHeader &h = n.header;
        h.nodeId = n.id;
        h.nodeName = name;
        h.lowCounterHz = n.counters.lowCounterHz;
        h.highCounterHz = n.counters.highCounterHz;
        h.tasks = {{KernelTask, QStringLiteral("Corvos Kernel")},
                   {IdleTask, QStringLiteral("Idle task")},
                   {TxTask, QStringLiteral("Link Tx task")},
                   {RxTask, QStringLiteral("Link Rx task")}};
        n.userTaskCount = int(n.rng.between(3, 5));
        for (int t = 0; t < n.userTaskCount; ++t)
            h.tasks.append({FirstUserTask + t, QString::fromLatin1(profile.userTasks[t])});
        const int hubCount = int(n.rng.between(2, 3));
        for (int b = 0; b < hubCount; ++b)
            h.hubs.append({b + 1, QString::fromLatin1(profile.hubs[b])});
        for (int s = StartTask; s <= GetTime; ++s)
            h.services.append({s, QString::fromLatin1(serviceNames[s - 1])});

        n.tasks.resize(size_t(FirstUserTask + n.userTaskCount));
        n.clockOffsetNs = n.rng.between(1 * nsPerSecond, 90 * nsPerSecond);
        n.driftPpb = n.rng.between(-40000, 40000);
        n.startNs = n.rng.between(0, 3000 * nsPerUs);
        n.now = n.next = n.startNs;
        const qint64 tickPeriodsUs[] = {500, 1000, 1000, 2000};
        n.tickPeriodNs = tickPeriodsUs[n.rng.below(4)] * nsPerUs;
        n.nextTick = n.startNs + n.rng.between(0, n.tickPeriodNs - 1);
        n.nextSeq = quint16(n.rng.between(1, 0x200));
        n.summary.fileName = TraceGenerator::fileNameFor(i);
        n.summary.nodeId = n.id;
        n.summary.nodeName = name;
        n.summary.lowCounterHz = n.counters.lowCounterHz;
        n.summary.highCounterHz = n.counters.highCounterHz;
        m_nodes.push_back(std::move(node));
    }
    for (int i = 0; i + 1 < options.nodes; ++i)
        m_linkLatencyNs.push_back(setup.between(18, 55) * nsPerUs);
}

bool Simulation::open(const QString &directory, QString *error)
{
    const QDir dir(directory);
    for (auto &node : m_nodes) {
        node->file = std::make_unique<QSaveFile>(dir.filePath(node->summary.fileName));
        if (!node->file->open(QIODevice::WriteOnly)) {
            *error = QStringLiteral("Cannot write %1: %2")
                         .arg(QDir::toNativeSeparators(node->file->fileName()), node->file->errorString());
            return false;
        }
        node->writer = std::make_unique<TraceWriter>(node->file.get(), node->counters.style);
        node->writer->writeHeader(node->header);
    }
    return true;
}

void Simulation::run()
{
    // Always advance the node that is furthest behind, so that a packet is in
    // its receiver's queue before the receiver's time passes its arrival.
    for (;;) {
        SimNode *earliest = nullptr;
        qint64 earliestTime = 0;
        for (auto &node : m_nodes) {
            if (node->finished())
                continue;
            const qint64 t = readyTime(*node);
            if (!earliest || t < earliestTime) {
                earliest = node.get();
                earliestTime = t;
            }
        }
        if (!earliest)
            break;
        runEpisode(*earliest, earliestTime);
    }
}

bool Simulation::commit(QString *error)
{
    for (auto &node : m_nodes) {
        const bool written = node->writer->finish();
        node->summary.bytes = node->writer->bytesWritten();
        if (!written || !node->file->commit()) {
            *error = QStringLiteral("Cannot write %1: %2")
                         .arg(QDir::toNativeSeparators(node->file->fileName()), node->file->errorString());
            return false;
        }
    }
    return true;
}

QVector<TraceGenerator::NodeSummary> Simulation::summaries() const
{
    QVector<TraceGenerator::NodeSummary> result;
    for (const auto &node : m_nodes)
        result.append(node->summary);
    return result;
}

qint64 Simulation::readyTime(const SimNode &n) const
{
    if (n.written == 0)
        return n.startNs;
    qint64 t = std::min(n.next, n.nextTick);
    if (!n.inbound.empty())
        t = std::min(t, n.inbound.top().time);
    if (!n.outbound.empty())
        t = std::min(t, n.outbound.front().ready);
    // The kernel needs a moment between two episodes.
    return std::max(t, n.now + nsPerUs);
}

void Simulation::runEpisode(SimNode &n, qint64 t)
{
    const int writtenBefore = n.written;
    bool ownWork = false;
    if (n.written == 0) {
        t = firstSwitch(n, t);
    } else if (n.target - n.written < longestEpisode) {
        t = lastEvents(n, t);
        ownWork = true;
    } else if (!n.inbound.empty() && n.inbound.top().time <= t) {
        const Packet packet = n.inbound.top().packet;
        n.inbound.pop();
        t = deliver(n, t, packet);
    } else if (n.nextTick <= t) {
        t = timerTick(n, t);
    } else if (!n.outbound.empty() && n.outbound.front().ready <= t) {
        const int destination = n.outbound.front().destination;
        n.outbound.pop_front();
        t = transmit(n, t, destination);
    } else {
        t = ownActivity(n, t);
        ownWork = true;
    }
    Q_ASSERT(n.written - writtenBefore <= longestEpisode);
    Q_UNUSED(writtenBefore);

    if (ownWork) {
        // How long the task now running computes before its next call.
        qint64 gapUs;
        const quint32 roll = n.rng.below(100);
        if (n.running == IdleTask)
            gapUs = n.rng.between(200, 3000);
        else if (roll < 80)
            gapUs = n.rng.between(8, 120);
        else if (roll < 97)
            gapUs = n.rng.between(120, 600);
        else
            gapUs = n.rng.between(600, 2500);
        gapUs = gapUs * paceFactorPercent(n) / 100;
        n.next = t + gapUs * nsPerUs + n.rng.between(0, nsPerUs - 1);
    } else {
        n.next = std::max(n.next, t + nsPerUs);
    }
}

qint64 Simulation::record(SimNode &n, qint64 t, int type, qint32 param1, qint32 param2)
{
    Q_ASSERT(!n.finished());
    t = std::max(t, n.now);
    n.now = t;
    const qint64 clockNs = n.clockOffsetNs + t + t * n.driftPpb / nsPerSecond;
    quint32 low = 0;
    quint32 high = 0;
    counterReadings(n.counters, clockNs, &low, &high);
    n.writer->writeEvent(type, low, high, param1, param2);
    if (n.written == 0)
        n.summary.firstClockNs = clockNs;
    n.summary.lastClockNs = clockNs;
    ++n.written;
    n.summary.events = n.written;

    if (type == TaskSwitch) {
        n.running = param2 & 0xFF;
        if (n.running != KernelTask)
            n.lastTask = n.running;
    } else if (type == KernelRequest || type == PacketSending || type == PacketSent ||
               type == PacketRouting || type == PacketRouted || type == PacketReceiving ||
               type == PacketReceived) {
        // These are recorded from inside the kernel; the viewer puts the
        // kernel task in front of them, and so must we.
        n.running = KernelTask;
    }
    return t;
}

qint64 Simulation::switchTo(SimNode &n, qint64 t, int task, int reason)
{
    t = record(n, t, TaskSwitch, reason, local(n, task));
    TaskState &state = n.tasks[size_t(task)];
    if (state.completionPending) {
        state.completionPending = false;
        t = record(n, later(n, t, 1, 3), ServiceCompleted, state.completionParam1, state.completionParam2);
    }
    return t;
}

// A service call: request, kernel servicing, then the kernel dispatches
// resumeTask. The caller's completion is recorded when it runs again, which
// is at once when resumeTask is the caller. Up to five events.
qint64 Simulation::callService(SimNode &n, qint64 t, int caller, int service, qint32 target, int resumeTask,
                               int reason)
{
    t = record(n, t, ServiceRequest, service, target);
    t = record(n, later(n, t, 1, 4), KernelRequest, service, target);
    t = record(n, later(n, t, 3, 25), KernelCompleted, service, target);
    TaskState &state = n.tasks[size_t(caller)];
    state.completionPending = true;
    state.completionParam1 = service;
    state.completionParam2 = target;
    return switchTo(n, later(n, t, 1, 3), resumeTask, reason);
}

qint64 Simulation::later(SimNode &n, qint64 t, int lowUs, int highUs)
{
    return t + n.rng.between(lowUs * nsPerUs, highUs * nsPerUs);
}

qint64 Simulation::firstSwitch(SimNode &n, qint64 t)
{
    // A trace starts where the recorder was switched on: at a dispatch.
    return switchTo(n, t, FirstUserTask + int(n.rng.below(quint32(n.userTaskCount))), Preempted);
}

// A frame arrives on a link. The link interrupt fetches it; a frame for this
// node goes to the Rx task, which puts it into a hub and waits for the next;
// any other frame is passed on towards its destination. Up to fifteen events.
qint64 Simulation::deliver(SimNode &n, qint64 t, Packet packet)
{
    const int interrupted = interruptedTask(n);
    const int inPort = portToward(n.id, packet.cameFrom);
    t = record(n, t, Interrupt, LinkIrq + inPort, local(n, inPort));
    const qint32 param2 = (packet.hop << 16) | packet.seq;

    if (packet.destination == n.id) {
        const qint32 param1 = (packet.sender << 8) | inPort;
        t = record(n, later(n, t, 2, 6), PacketReceiving, param1, param2);
        t = record(n, later(n, t, 3, 12), PacketReceived, param1, param2);
        ++n.summary.packetsReceived;

        t = switchTo(n, later(n, t, 1, 4), RxTask, Readied);
        const int hub = 1 + int(n.rng.below(quint32(n.header.hubs.size())));
        const int waiter = pickUserTask(n, TaskMode::Waiting, -1);
        int resume = interrupted;
        int reason = Returned;
        if (waiter >= 0 && n.tasks[size_t(waiter)].waitingHub == hub) {
            n.tasks[size_t(waiter)].mode = TaskMode::Ready;
            resume = waiter;
            reason = Readied;
        }
        t = callService(n, later(n, t, 4, 20), RxTask, SendToHub, local(n, hub), RxTask, Returned);
        return callService(n, later(n, t, 2, 8), RxTask, AnyPacket, local(n, RxTask), resume, reason);
    }

    const int next = nextHop(n.id, packet.destination);
    const qint32 param1 = (packet.sender << 8) | portToward(n.id, next);
    t = record(n, later(n, t, 2, 6), PacketRouting, param1, param2);
    t = record(n, later(n, t, 4, 15), PacketRouted, param1, param2);
    ++n.summary.packetsRouted;
    packet.hop += 1;
    packet.cameFrom = n.id;
    sendOverLink(n.id, next, t, packet);
    return switchTo(n, later(n, t, 1, 3), interrupted, Returned);
}

// The Tx task puts one queued frame on the link. Up to five events.
qint64 Simulation::transmit(SimNode &n, qint64 t, int destination)
{
    const int interrupted = interruptedTask(n);
    const int next = nextHop(n.id, destination);
    const qint32 param1 = (n.id << 8) | portToward(n.id, next);
    const qint32 param2 = allocateSeq(n); // hop 0
    t = switchTo(n, t, TxTask, Readied);
    t = record(n, later(n, t, 3, 10), PacketSending, param1, param2);
    // The notification comes when the link controller has sent the frame.
    t = record(n, later(n, t, 8, 40), PacketSent, param1, param2);
    ++n.summary.packetsSent;
    Packet packet;
    packet.sender = n.id;
    packet.seq = quint16(param2);
    packet.destination = destination;
    packet.hop = 1;
    packet.cameFrom = n.id;
    sendOverLink(n.id, next, t, packet);
    return switchTo(n, later(n, t, 1, 3), interrupted, Returned);
}

// The scheduler tick: wakes a sleeper, times out a hub wait, or ends a time
// slice. Up to five events.
qint64 Simulation::timerTick(SimNode &n, qint64 t)
{
    n.nextTick += n.tickPeriodNs;
    t = record(n, t, Interrupt, TimerIrq, local(n, int(n.tickCount++ & 0xFF)));

    // Nodes report their state to another node now and then.
    if (m_options.nodes > 1 && n.rng.percent(4))
        n.outbound.push_back({t + n.rng.between(5, 30) * nsPerUs, pickOtherNode(n)});

    const int sleeper = pickUserTask(n, TaskMode::Sleeping, -1);
    if (sleeper >= 0 && n.rng.percent(40)) {
        n.tasks[size_t(sleeper)].mode = TaskMode::Ready;
        t = record(n, later(n, t, 1, 3), KernelRequest, AwakeTask, local(n, sleeper));
        t = record(n, later(n, t, 2, 10), KernelCompleted, AwakeTask, local(n, sleeper));
        return switchTo(n, later(n, t, 1, 3), sleeper, Readied);
    }
    const int waiter = pickUserTask(n, TaskMode::Waiting, -1);
    if (waiter >= 0 && n.rng.percent(8)) {
        TaskState &state = n.tasks[size_t(waiter)];
        state.mode = TaskMode::Ready;
        const qint32 hub = local(n, state.waitingHub);
        t = record(n, later(n, t, 1, 3), KernelRequest, ReceiveFromHub, hub);
        t = record(n, later(n, t, 2, 10), KernelCompleted, ReceiveFromHub, hub);
        return switchTo(n, later(n, t, 1, 3), waiter, Readied);
    }
    const int current = interruptedTask(n);
    const int other = pickUserTask(n, TaskMode::Ready, current);
    if (other >= 0 && (current == IdleTask || n.rng.percent(25)))
        return switchTo(n, later(n, t, 2, 6), other, current == IdleTask ? Readied : Preempted);
    return t;
}

qint64 Simulation::ownActivity(SimNode &n, qint64 t)
{
    const int current = interruptedTask(n);
    if (current < FirstUserTask) {
        const int task = pickUserTask(n, TaskMode::Ready, -1);
        if (task >= 0)
            return switchTo(n, t, task, Readied);
        if (n.running != IdleTask)
            return switchTo(n, t, IdleTask, Blocked);
        const int irq = deviceIrqs[n.rng.below(quint32(std::size(deviceIrqs)))];
        return record(n, t, Interrupt, irq, local(n, int(n.rng.below(256))));
    }

    const quint32 roll = n.rng.below(100);
    if (roll < 26)
        return taskService(n, t, current);
    if (roll < 46)
        return hubService(n, t, current);
    if (roll < 58) {
        const qint32 value = (current << 8) | int(n.rng.below(16)); // marker code: task and checkpoint
        const qint32 param2 = qint32(n.markerCount++ & 0x7FFFFFFF);
        return record(n, t, UserMarker, (current << 16) | value, param2);
    }
    if (roll < 63) {
        const int port = m_options.nodes > 1 ? int(n.rng.below(2)) : LowerPort;
        const qint32 param2 = (int(n.syncRound++ & 0x7FFF) << 16) | allocateSeq(n);
        return record(n, t, SyncMarker, (n.id << 8) | port, param2);
    }
    if (roll < 72) {
        const int irq = deviceIrqs[n.rng.below(quint32(std::size(deviceIrqs)))];
        return record(n, t, Interrupt, irq, local(n, int(n.rng.below(256))));
    }
    if (roll < 88) {
        const int other = pickUserTask(n, TaskMode::Ready, current);
        return other >= 0 ? switchTo(n, t, other, Preempted) : switchTo(n, t, IdleTask, Blocked);
    }
    n.tasks[size_t(current)].mode = TaskMode::Sleeping;
    const int other = pickUserTask(n, TaskMode::Ready, current);
    return callService(n, t, current, SleepTask, local(n, current), other >= 0 ? other : IdleTask, Blocked);
}

qint64 Simulation::taskService(SimNode &n, qint64 t, int caller)
{
    const quint32 roll = n.rng.below(100);
    if (roll < 16) {
        const int suspended = pickUserTask(n, TaskMode::Suspended, -1);
        if (suspended >= 0) {
            n.tasks[size_t(suspended)].mode = TaskMode::Ready;
            return callService(n, t, caller, ResumeTask, local(n, suspended), caller, Returned);
        }
        const int victim = pickUserTask(n, TaskMode::Ready, caller);
        if (victim >= 0) {
            n.tasks[size_t(victim)].mode = TaskMode::Suspended;
            return callService(n, t, caller, SuspendTask, local(n, victim), caller, Returned);
        }
    } else if (roll < 28) {
        const int stopped = pickUserTask(n, TaskMode::Stopped, -1);
        if (stopped >= 0) {
            n.tasks[size_t(stopped)].mode = TaskMode::Ready;
            const bool startedRunsFirst = n.rng.percent(40);
            return callService(n, t, caller, StartTask, local(n, stopped),
                               startedRunsFirst ? stopped : caller, startedRunsFirst ? Readied : Returned);
        }
        const int victim = pickUserTask(n, TaskMode::Ready, caller);
        if (victim >= 0) {
            n.tasks[size_t(victim)].mode = TaskMode::Stopped;
            return callService(n, t, caller, StopTask, local(n, victim), caller, Returned);
        }
    } else if (roll < 42) {
        const int sleeper = pickUserTask(n, TaskMode::Sleeping, -1);
        if (sleeper >= 0) {
            n.tasks[size_t(sleeper)].mode = TaskMode::Ready;
            const bool sleeperRunsFirst = n.rng.percent(50);
            return callService(n, t, caller, AwakeTask, local(n, sleeper),
                               sleeperRunsFirst ? sleeper : caller, sleeperRunsFirst ? Readied : Returned);
        }
    } else if (roll < 55) {
        return callService(n, t, caller, Return, local(n, caller), caller, Returned);
    } else if (roll < 75) {
        return callService(n, t, caller, TaskLock, local(n, caller), caller, Returned);
    }
    return callService(n, t, caller, GetTime, local(n, caller), caller, Returned);
}

qint64 Simulation::hubService(SimNode &n, qint64 t, int caller)
{
    const bool send = n.rng.percent(55);
    if (m_options.nodes > 1 && n.rng.percent(25)) {
        // A hub of another node: the kernel forwards the call as a packet.
        SimNode &remote = nodeById(pickOtherNode(n));
        const int hub = remote.header.hubs.at(int(n.rng.below(quint32(remote.header.hubs.size())))).id;
        n.outbound.push_back({t + n.rng.between(20, 60) * nsPerUs, remote.id});
        return callService(n, t, caller, send ? SendToHub : ReceiveFromHub, (remote.id << 8) | hub, caller,
                           Returned);
    }

    const int hub = n.header.hubs.at(int(n.rng.below(quint32(n.header.hubs.size())))).id;
    if (send) {
        int resume = caller;
        int reason = Returned;
        for (int task = FirstUserTask; task < FirstUserTask + n.userTaskCount; ++task) {
            TaskState &state = n.tasks[size_t(task)];
            if (state.mode == TaskMode::Waiting && state.waitingHub == hub) {
                state.mode = TaskMode::Ready;
                if (n.rng.percent(60)) {
                    resume = task;
                    reason = Readied;
                }
                break;
            }
        }
        return callService(n, t, caller, SendToHub, local(n, hub), resume, reason);
    }
    if (n.rng.percent(50))
        return callService(n, t, caller, ReceiveFromHub, local(n, hub), caller, Returned);
    // Nothing in the hub yet: the caller waits for a sender.
    TaskState &state = n.tasks[size_t(caller)];
    state.mode = TaskMode::Waiting;
    state.waitingHub = hub;
    const int other = pickUserTask(n, TaskMode::Ready, caller);
    return callService(n, t, caller, ReceiveFromHub, local(n, hub), other >= 0 ? other : IdleTask, Blocked);
}

// The recorder's buffer is nearly full: only single events from here on,
// and frames that arrive now are no longer recorded.
qint64 Simulation::lastEvents(SimNode &n, qint64 t)
{
    while (!n.inbound.empty() && n.inbound.top().time <= t)
        n.inbound.pop();
    n.outbound.clear();
    if (n.nextTick <= t) {
        n.nextTick += n.tickPeriodNs;
        return record(n, t, Interrupt, TimerIrq, local(n, int(n.tickCount++ & 0xFF)));
    }
    const int current = interruptedTask(n);
    if (current >= FirstUserTask && n.rng.percent(50)) {
        const qint32 value = (current << 8) | int(n.rng.below(16));
        return record(n, t, UserMarker, (current << 16) | value, qint32(n.markerCount++ & 0x7FFFFFFF));
    }
    const int irq = deviceIrqs[n.rng.below(quint32(std::size(deviceIrqs)))];
    return record(n, t, Interrupt, irq, local(n, int(n.rng.below(256))));
}

// Routers and busy nodes fill their recorders faster than the others. A
// node ahead of the average slows its own work down and one behind speeds it
// up, so that all traces cover about the same stretch of time and the
// packets between them have both ends recorded.
qint64 Simulation::paceFactorPercent(const SimNode &n) const
{
    qint64 sumPermille = 0;
    for (const auto &node : m_nodes)
        sumPermille += qint64(node->written) * 1000 / node->target;
    const qint64 averagePermille = sumPermille / qint64(m_nodes.size());
    const qint64 leadPermille = qint64(n.written) * 1000 / n.target - averagePermille;
    return std::clamp<qint64>(100 + 8 * leadPermille, 25, 400);
}

int Simulation::pickUserTask(SimNode &n, TaskMode mode, int except) const
{
    int candidates[8];
    int count = 0;
    for (int task = FirstUserTask; task < FirstUserTask + n.userTaskCount; ++task) {
        if (task != except && n.tasks[size_t(task)].mode == mode)
            candidates[count++] = task;
    }
    return count == 0 ? -1 : candidates[n.rng.below(quint32(count))];
}

// Another node, the farther ones more often: most traffic then crosses at
// least one node in between and is routed there.
int Simulation::pickOtherNode(SimNode &n) const
{
    int total = 0;
    for (const auto &other : m_nodes)
        total += std::abs(other->id - n.id);
    int roll = int(n.rng.below(quint32(total)));
    for (const auto &other : m_nodes) {
        roll -= std::abs(other->id - n.id);
        if (roll < 0)
            return other->id;
    }
    return m_nodes.back()->id;
}

int Simulation::interruptedTask(const SimNode &n) const
{
    return n.running == KernelTask ? n.lastTask : n.running;
}

quint16 Simulation::allocateSeq(SimNode &n)
{
    const quint16 seq = n.nextSeq;
    n.nextSeq = n.nextSeq == 0xFFFF ? 1 : quint16(n.nextSeq + 1);
    return seq;
}

void Simulation::sendOverLink(int from, int to, qint64 t, const Packet &packet)
{
    SimNode &receiver = nodeById(to);
    if (receiver.finished())
        return;
    const qint64 latency =
        m_linkLatencyNs[size_t(std::min(from, to) - 1)] + m_network.between(0, 15 * nsPerUs);
    receiver.inbound.push({t + latency, m_arrivals++, packet});
}

} // namespace

TraceGenerator::TraceGenerator(const Options &options)
    : m_options(options)
{}

QString TraceGenerator::checkOptions(const Options &options)
{
    if (options.nodes < 1 || options.nodes > maxNodes)
        return QStringLiteral("The number of nodes must lie between 1 and %1.").arg(maxNodes);
    if (options.eventsPerNode < longestEpisode || options.eventsPerNode > maxEventsPerNode)
        return QStringLiteral("The number of events per node must lie between %1 and %2.")
            .arg(longestEpisode)
            .arg(maxEventsPerNode);
    return QString();
}

bool TraceGenerator::generate(const QString &directory)
{
    m_error = checkOptions(m_options);
    m_summaries.clear();
    if (!m_error.isEmpty())
        return false;
    if (!QDir().mkpath(directory)) {
        m_error = QStringLiteral("Cannot create the directory %1.").arg(QDir::toNativeSeparators(directory));
        return false;
    }
    Simulation simulation(m_options);
    if (!simulation.open(directory, &m_error))
        return false;
    simulation.run();
    if (!simulation.commit(&m_error))
        return false;
    m_summaries = simulation.summaries();
    return true;
}

QString TraceGenerator::fileNameFor(int nodeIndex)
{
    return QStringLiteral("node%1.trace").arg(nodeIndex + 1);
}
