#include "chart/paintindex.h"

#include "chart/chartmapper.h"
#include "chart/nodeshared.h"
#include "trace/eventcatalogue.h"
#include "trace/node.h"
#include "trace/task.h"

#include <QHash>
#include <QPair>

#include <algorithm>
#include <unordered_map>

namespace {

// Where an event's bar ends on each time axis; a bar reaching further has a
// right edge at least as far right in either mode.
double linearEnd(const TraceEvent &e)
{
    return double(e.offset) + double(e.duration);
}

float logEnd(const TraceEvent &e)
{
    return e.logPosition + e.logDuration;
}

} // namespace

PaintIndex::PaintIndex(const Node &node)
{
    const std::vector<TraceEvent> &events = node.events();
    const size_t count = events.size();
    m_mustShareColumn.assign(count, never);
    m_flags.assign(count, 0);
    m_previousOfTask.assign(count, -1);

    const auto isMarker = [](const TraceEvent &e) {
        return EventType::isSync(e.type) || e.type == EventType::UserMarker;
    };
    QHash<int, bool> kernelTask;
    for (const auto &task : node.tasks())
        kernelTask.insert(task->id(), task->role() == Task::KERNEL);

    QHash<int, int> lastOfTask;
    for (size_t i = 0; i < count; ++i) {
        const TraceEvent &e = events[i];
        if (isMarker(e)) {
            m_flags[i] = Special;
            continue;
        }
        if (i + 1 == count || events[i + 1].currentTask == e.currentTask)
            m_flags[i] |= TaskGoesOn;
        if (e.type == EventType::KernelServicingRequest && kernelTask.value(e.currentTask)) {
            const auto service = node.services().constFind(e.arg1);
            const int code = service == node.services().cend() ? ServiceCode::Other : service->code;
            // Hub sends and receives draw an arrow to the hub's row.
            if (code == ServiceCode::SendToHub || code == ServiceCode::ReceiveFromHub)
                m_flags[i] |= Special | HubArrow | (code == ServiceCode::SendToHub ? HubSend : 0);
        }
        auto last = lastOfTask.find(e.currentTask);
        if (last != lastOfTask.end()) {
            m_previousOfTask[i] = *last;
            if (events[size_t(*last)].type == EventType::TaskSwitch)
                m_flags[i] |= AfterSwitch;
            *last = int(i);
        } else {
            lastOfTask.insert(e.currentTask, int(i));
        }
    }

    // Backwards: the next bar of the task, and the next switch between the same two tasks.
    QHash<int, int> nextOfTask;
    QHash<quint64, int> nextSwitchOfPair;
    QHash<quint64, int> nextMarkerOfTask;
    // By task, node, hub and direction: equal arrows, as far as the event tells.
    QHash<QPair<qint64, qint64>, int> nextArrowOfHub;
    for (size_t i = count; i-- > 0;) {
        const TraceEvent &e = events[i];
        if (isMarker(e)) {
            // A plain sync marker or a user marker looks the same wherever its
            // column is; packet events draw arrows to their partners besides.
            if (e.type == EventType::SyncMarker || e.type == EventType::UserMarker) {
                const quint64 key = quint64(quint32(e.type)) << 32 | quint32(e.currentTask);
                auto next = nextMarkerOfTask.find(key);
                if (next != nextMarkerOfTask.end()) {
                    m_mustShareColumn[i] = *next;
                    *next = int(i);
                } else {
                    nextMarkerOfTask.insert(key, int(i));
                }
            }
            continue;
        }
        int need = never;
        auto next = nextOfTask.find(e.currentTask);
        if (!(m_flags[i] & Special && !(m_flags[i] & HubArrow)) && next != nextOfTask.end()) {
            const TraceEvent &later = events[size_t(*next)];
            if (linearEnd(e) <= linearEnd(later) && logEnd(e) <= logEnd(later))
                need = *next;
        }
        if (e.type == EventType::TaskSwitch && i > 0) {
            // The connector comes from the task of the event before.
            const quint64 pair = quint64(quint32(events[i - 1].currentTask)) << 32 | quint32(e.currentTask);
            auto sameSwitch = nextSwitchOfPair.find(pair);
            if (sameSwitch == nextSwitchOfPair.end()) {
                need = never;
                nextSwitchOfPair.insert(pair, int(i));
            } else {
                need = std::max(need, *sameSwitch);
                *sameSwitch = int(i);
            }
        }
        if (m_flags[i] & HubArrow) {
            const QPair<qint64, qint64> key(qint64(e.currentTask) << 32 | quint32(e.nodeId),
                                            qint64(e.arg2) << 1 | (m_flags[i] & HubSend ? 1 : 0));
            auto sameArrow = nextArrowOfHub.find(key);
            if (sameArrow == nextArrowOfHub.end()) {
                need = never;
                nextArrowOfHub.insert(key, int(i));
            } else {
                if (need != never) {
                    const TraceEvent &later = events[size_t(*sameArrow)];
                    m_pairedEvents.push_back(int(i));
                    m_arrowPairs.push_back({*sameArrow, std::max(float(e.duration), float(later.duration)),
                                            std::max(e.logDuration, later.logDuration)});
                }
                need = std::max(need, *sameArrow);
                *sameArrow = int(i);
            }
        }
        m_mustShareColumn[i] = need;
        if (next != nextOfTask.end())
            *next = int(i);
        else
            nextOfTask.insert(e.currentTask, int(i));
    }
    // Found backwards; kept without the slack of growing.
    std::reverse(m_pairedEvents.begin(), m_pairedEvents.end());
    std::reverse(m_arrowPairs.begin(), m_arrowPairs.end());
    m_pairedEvents.shrink_to_fit();
    m_arrowPairs.shrink_to_fit();
    buildCoarseLevels();
}

const PaintIndex::ArrowPair *PaintIndex::pairOf(int i) const
{
    const auto found = std::lower_bound(m_pairedEvents.cbegin(), m_pairedEvents.cend(), i);
    if (found == m_pairedEvents.cend() || *found != i)
        return nullptr;
    return &m_arrowPairs[size_t(found - m_pairedEvents.cbegin())];
}

std::size_t PaintIndex::heldBytes() const
{
    std::size_t bytes = sizeof(*this);
    const auto add = [&bytes](const auto &vector) { bytes += vector.capacity() * sizeof(vector[0]); };
    add(m_mustShareColumn);
    for (const std::vector<int> &level : m_coarse)
        add(level);
    add(m_coarse);
    add(m_blockSurvivors);
    add(m_flags);
    add(m_previousOfTask);
    add(m_pairedEvents);
    add(m_arrowPairs);
    return bytes;
}

void PaintIndex::buildCoarseLevels()
{
    m_blockSurvivors.assign((m_mustShareColumn.size() + survivorBlock - 1) / survivorBlock, 0);
    for (size_t k = 0; k < m_mustShareColumn.size(); ++k) {
        const size_t block = k / survivorBlock;
        if (m_mustShareColumn[k] >= int((block + 1) * survivorBlock))
            m_blockSurvivors[block] |= std::uint64_t(1) << (k % survivorBlock);
    }
    m_coarse.resize(levels);
    const std::vector<int> *finer = &m_mustShareColumn;
    for (std::vector<int> &level : m_coarse) {
        level.assign((finer->size() + blockSize - 1) / blockSize, 0);
        for (size_t k = 0; k < finer->size(); ++k)
            level[k / blockSize] = std::max(level[k / blockSize], (*finer)[k]);
        finer = &level;
    }
    if (m_arrowPairs.empty())
        return;
    const auto [shortLinear, longLinear] =
        std::minmax_element(m_arrowPairs.cbegin(), m_arrowPairs.cend(),
                            [](const ArrowPair &x, const ArrowPair &y) { return x.linear < y.linear; });
    const auto [shortLog, longLog] = std::minmax_element(
        m_arrowPairs.cbegin(), m_arrowPairs.cend(),
        [](const ArrowPair &x, const ArrowPair &y) { return x.logarithmic < y.logarithmic; });
    m_pairLinear[0] = shortLinear->linear;
    m_pairLinear[1] = longLinear->linear;
    m_pairLogarithmic[0] = shortLog->logarithmic;
    m_pairLogarithmic[1] = longLog->logarithmic;
}

bool PaintIndex::pairsCollapse(const ChartMapper &mapper) const
{
    // Pixels grow with the duration: the shortest and the longest decide.
    const float *durations = mapper.logMode() ? m_pairLogarithmic : m_pairLinear;
    return mapper.halfWidthOf(durations[0]) == 0 && mapper.halfWidthOf(durations[1]) == 0;
}

std::shared_ptr<const PaintIndex> PaintIndex::shared(const Node &node)
{
    return sharedOfNode<PaintIndex>(node);
}
