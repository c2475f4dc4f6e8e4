#include "trace/node.h"

#include "trace/eventcatalogue.h"
#include "trace/hub.h"
#include "trace/itempresenter.h"
#include "trace/nodereader.h"
#include "trace/project.h"
#include "trace/task.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Opens `path` for reading when it is a regular file (a link is followed).
// A FIFO would block the open and the read, a device would never end, a
// directory cannot be read. The open does not wait (O_NONBLOCK) and the test
// is made on what was opened, so a file swapped after the caller looked at it
// is caught as well. The file is only ever opened read-only.
bool openRegularFile(QFile &file, const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat status = {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ||
        !file.open(fd, QIODevice::ReadOnly | QIODevice::Text, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

} // namespace

Node::Node(const QString &path, Project *project, int origin, const EventCatalogue *catalogue,
           const LoadProgress &progress, ReadMode mode)
    : TracerItem(NODE)
    , m_project(project)
    , m_origin(origin)
    , m_catalogue(catalogue)
{
    m_catalogued.fill(-1);
    readFile(path, progress, mode);
}

Node::Node(Detached, int origin, const EventCatalogue *catalogue, const std::atomic<bool> *cancel)
    : TracerItem(NODE)
    , m_origin(origin)
    , m_catalogue(catalogue)
    , m_detached(true)
    , m_cancel(cancel)
{
    m_catalogued.fill(-1);
}

void Node::readFile(const QString &path, const LoadProgress &progress, ReadMode mode)
{
    const QFileInfo info(path);
    m_directory = info.absolutePath();
    m_traceFileName = info.fileName();

    QFile file;
    if (!openRegularFile(file, path))
        throw QStringLiteral("Can't open tracefile '%1'.").arg(m_traceFileName);

    createTreeEntries();
    NodeReader(*this, &file, path, progress).read(mode);
    finish();
    if (ItemPresenter *presenter = ItemPresenter::current(); presenter && treeItem())
        presenter->setEntryText(treeItem(), label());
}

Node::Node(int nodeId, Project *project, const EventCatalogue *catalogue)
    : TracerItem(NODE)
    , m_nodeId(nodeId)
    , m_project(project)
    , m_catalogue(catalogue)
{
    m_catalogued.fill(-1);
    createTreeEntries();
}

Node::~Node()
{
    // Detach first: the parent entry must not delete what our shared pointers
    // still own. The members then go children before parents.
    if (ItemPresenter *presenter = ItemPresenter::current(); presenter && treeItem())
        presenter->detachEntry(treeItem());
    m_events.clear();
    m_services.clear();
    m_remoteHubs.clear();
    m_hubs.clear();
    m_tasks.clear();
    m_hubFolder.reset();
    m_taskFolder.reset();
}

void Node::attach(Project *project)
{
    m_detached = false;
    m_project = project;
    createTreeEntries();
    // A read in place draws the dropped items' colours first: they were made
    // before the read restarted.
    skipLightColours(std::exchange(m_droppedDraws, 0));
    for (const auto &[item, drawColour] : std::exchange(m_presentLater, {}))
        item->present(drawColour);
    if (ItemPresenter *presenter = ItemPresenter::current(); presenter && treeItem())
        presenter->setEntryText(treeItem(), label());
}

int Node::colourDraws() const
{
    return m_droppedDraws + int(std::count_if(m_presentLater.cbegin(), m_presentLater.cend(),
                                              [](const auto &later) { return later.second; }));
}

void Node::moveToThreadWithItems(QThread *thread)
{
    moveToThread(thread);
    for (const auto &task : std::as_const(m_tasks))
        task->moveToThread(thread);
    for (const auto *hubs : {&m_hubs, &m_remoteHubs}) {
        for (const auto &hub : *hubs)
            hub->moveToThread(thread);
    }
}

void Node::createTreeEntries()
{
    if (m_detached)
        return;
    createTreeItem(NODE, m_project ? m_project->treeItem() : nullptr);
    ItemPresenter *const presenter = ItemPresenter::current();
    if (!presenter)
        return;
    m_taskFolder = presenter->createEntry(*this, TASKS, treeItem());
    m_hubFolder = presenter->createEntry(*this, HUBS, treeItem());
}

void Node::reserveFromProgress(qint64 bytesRead, qint64 fileSize)
{
    // Files are written by one exporter, so the bytes per event seen so far
    // hold for the rest: sizing the vector once avoids both the copies of
    // growing and the slack that doubling leaves.
    if (bytesRead <= 0 || fileSize <= bytesRead)
        return;
    const double expected = double(eventCount()) * double(fileSize) / double(bytesRead) * 1.03 + 256;
    const double most = double(std::numeric_limits<int>::max() / int(sizeof(TraceEvent)));
    // Only a guess: a file with a long tail of zeros claims far more events
    // than it holds, and a reservation that cannot be had is no error.
    try {
        m_events.reserve(size_t(qMin(expected, most)));
    } catch (const std::bad_alloc &) {
    } catch (const std::length_error &) {
    }
}

void Node::clearContent()
{
    m_droppedDraws = colourDraws();
    m_presentLater.clear();
    // As the destructor: children before parents.
    m_currentTask = m_previousTask = nullptr;
    m_currentTaskId = m_previousTaskId = 0;
    std::vector<TraceEvent>().swap(m_events);
    m_packetRefs.clear();
    m_packetKeys.clear();
    m_services.clear();
    m_remoteHubs.clear();
    m_hubs.clear();
    m_tasks.clear();
    m_nodeId = 0;
    m_name.clear();
    m_firstSeq = m_lastSeq = m_totalTime = 0;
    m_logLength = 0;
    m_logLengthInt = 0;
    m_lowCounterHz = m_highCounterHz = 0;
    m_outOfOrder = false;
}

void Node::setCounterFrequencies(quint32 lowCounterHz, quint32 highCounterHz)
{
    m_lowCounterHz = lowCounterHz;
    m_highCounterHz = highCounterHz;
}

QString Node::label() const
{
    return QLatin1Char('[') + QString::number(m_nodeId) + QLatin1String("] ") + m_name;
}

NodeServiceInfo Node::service(int id) const
{
    return m_services.value(id);
}

Task *Node::task(int id) const
{
    return m_tasks.value(id).data();
}

const TraceEvent *Node::event(int index) const
{
    if (index < 0 || index >= eventCount())
        return nullptr;
    return &m_events[size_t(index)];
}

QTreeWidgetItem *Node::parentEntryFor(TracerItemCategory category) const
{
    switch (category) {
    case TASK:
        return m_taskFolder.data();
    case HUB:
        return m_hubFolder.data();
    case HIDDEN_HUB:
        return nullptr;
    default:
        return treeItem();
    }
}

quint32 Node::timestampFor(quint32 lowCounter, quint32 highCounter, quint32 lowCounterHz,
                           quint32 highCounterHz)
{
    double seconds = 0;
    if (highCounterHz != 0)
        seconds += double(highCounter) / double(highCounterHz);
    if (lowCounterHz != 0)
        seconds += double(lowCounter) / double(lowCounterHz);
    // The counters can describe any time up to ~2^32 s; keep the low 32 bits
    // of the microsecond count without converting an out-of-range double.
    constexpr double twoTo32 = 4294967296.0;
    const double micro = std::trunc(seconds * 1000000.0);
    if (micro < twoTo32)
        return quint32(micro);
    return quint32(quint64(std::fmod(micro, twoTo32)));
}

Hub *Node::hubFor(int hubNodeId, int hubId)
{
    if (hubNodeId == m_nodeId) {
        auto &hub = m_hubs[hubId];
        if (!hub)
            hub = QSharedPointer<Hub>::create(hubId, QString(), this, hubNodeId, QColor(Qt::black), true);
        return hub.data();
    }
    const int key = int(quint32(hubNodeId) << 8 | quint32(hubId));
    auto &hub = m_remoteHubs[key];
    if (!hub)
        hub = QSharedPointer<Hub>::create(hubId, QString(), this, hubNodeId, QColor(Qt::black), false);
    return hub.data();
}

bool Node::isCatalogued(qint32 type)
{
    const qint32 slot = type + 8;
    if (slot < 0 || slot >= qint32(m_catalogued.size()))
        return m_catalogue && m_catalogue->isCatalogued(type);
    if (m_catalogued[slot] < 0)
        m_catalogued[slot] = m_catalogue && m_catalogue->isCatalogued(type) ? 1 : 0;
    return m_catalogued[slot] != 0;
}

Task *Node::runningTask()
{
    if (m_currentTask && m_currentTask->id() == m_currentTaskId)
        return m_currentTask;
    auto &task = m_tasks[m_currentTaskId];
    if (!task) {
        task = QSharedPointer<Task>::create(m_currentTaskId, QStringLiteral("[unknown]"), this,
                                            Task::ROLE_FROM_NAME, QColor(Qt::black));
    }
    m_currentTask = task.data();
    return m_currentTask;
}

void Node::addEvent(qint32 type, quint32 lowCounter, quint32 highCounter, qint32 param1, qint32 param2)
{
    const int n = eventCount();
    TraceEvent e;
    e.catalogued = isCatalogued(type);
    e.timestamp = timestampFor(lowCounter, highCounter, m_lowCounterHz, m_highCounterHz);
    e.type = type;
    e.decoded = 1;
    e.currentTask = m_currentTaskId;

    if (EventType::isSync(type)) {
        e.arg1 = param1 & 0xFF;
        e.arg2 = param2;
        e.nodeId = (param1 >> 8) & 0xFF;
        e.hasNodeId = 1;
        e.isMarker = 1;
    } else if (type == EventType::UserMarker) {
        e.arg1 = param1 & 0xFFFF;
        e.arg2 = param2;
        e.nodeId = m_nodeId;
        e.currentTask = (param1 >> 16) & 0xFF;
        e.hasNodeId = 1;
        e.isMarker = 1;
    } else if (e.catalogued) {
        e.arg1 = param1 & 0xFF;
        e.arg2 = param2 & 0xFF;
        e.nodeId = (param2 >> 8) & 0xFF;
        e.hasNodeId = 1;
    } else {
        e.arg1 = param1 & 0xFF;
        e.arg2 = param2;
    }

    if (EventType::isSync(type)) {
        const quint32 key = packetKey(param1, param2);
        m_packetRefs.insert(key, PacketRef{n, quint16(quint32(param2) >> 16), type});
        m_packetKeys.insert(key);
        const quint32 seq = quint32(param2) & 0xFFFF;
        if (m_firstSeq == 0 || m_firstSeq > key)
            m_firstSeq = seq;
        if (m_lastSeq == 0 || m_lastSeq < key)
            m_lastSeq = seq;
    }

    // Markers take a place on both axes but never become anchors: the anchor
    // is the latest ordinary event, and its slice runs up to this event.
    if (n > 0) {
        int anchorIndex = n - 1;
        while (anchorIndex >= 0 && m_events[size_t(anchorIndex)].isMarker != 0)
            --anchorIndex;
        if (anchorIndex >= 0) {
            TraceEvent &anchor = m_events[size_t(anchorIndex)];
            if (e.timestamp < anchor.timestamp)
                e.timestamp += m_lowCounterHz;
            anchor.duration = e.timestamp - anchor.timestamp;
            anchor.logDuration = anchor.duration > 0 ? std::log(float(anchor.duration)) : 0.0f;
            e.logPosition = anchor.logPosition + anchor.logDuration;
            e.offset = e.timestamp - m_events[0].timestamp;
        }
    }

    if (type == EventType::TaskSwitch)
        m_currentTaskId = e.arg2;

    if (type != EventType::TaskSwitch) {
        const bool request = type == EventType::ServiceRequest || type == EventType::KernelServicingRequest;
        const auto service = request ? m_services.constFind(e.arg1) : m_services.cend();
        const qint32 code = service == m_services.cend() ? ServiceCode::Other : service->code;
        if (code == ServiceCode::SendToHub || code == ServiceCode::ReceiveFromHub) {
            Hub *hub = hubFor(e.nodeId, e.arg2);
            const bool send = code == ServiceCode::SendToHub;
            if (type == EventType::ServiceRequest)
                ++(send ? hub->m_sendRequests : hub->m_receiveRequests);
            else
                ++(send ? hub->m_sendKernelRequests : hub->m_receiveKernelRequests);
        }
    }

    Task *const current = runningTask();
    if (current->m_executionTime == 0)
        current->m_activationTime = e.timestamp;

    if (n > 0) {
        const TraceEvent &prev = m_events[size_t(n - 1)];
        const quint32 dT = e.offset - prev.offset;
        const float dLog = e.logPosition - prev.logPosition;
        if (Task *previous = m_previousTask) {
            previous->m_executionTime += dT;
            // A marker may lie further along the log axis than the event after
            // it, so dLog can be negative; the sum is held to the unsigned
            // range before it is truncated, as a conversion from outside it
            // is undefined.
            const float logTime = float(previous->m_logExecutionTime) + dLog;
            previous->m_logExecutionTime = quint32(std::clamp(logTime, 0.0f, 4294967040.0f));
        }
        m_totalTime += dT;
        m_logLength += dLog;
        m_outOfOrder = m_outOfOrder || e.offset < prev.offset || e.logPosition < prev.logPosition;
    }

    e.timecut = current->m_executionTime;
    if (type != EventType::UserMarker)
        e.currentTask = m_currentTaskId;
    m_events.push_back(e);
    m_previousTaskId = m_currentTaskId;
    m_previousTask = current;
}

void Node::finish()
{
    m_logLengthInt = quint32(std::trunc(qMax(0.0f, m_logLength)));
    for (const auto &task : std::as_const(m_tasks)) {
        // A node without elapsed time gives no task a share.
        task->m_share =
            m_totalTime == 0 ? 0.0f : float(double(task->m_executionTime) * 100.0 / double(m_totalTime));
    }
    // Reserved from the file size; give back what the events did not take.
    if (m_events.capacity() > m_events.size() + m_events.size() / 16 + 64)
        m_events.shrink_to_fit();
}

void Node::fillProperties(TracerItemCategory category, QTableWidget *table, int data1, int data2)
{
    if (ItemPresenter *presenter = ItemPresenter::current(); presenter && table)
        presenter->fillProperties(*this, category, table, data1, data2);
}

int Node::firstEventAt(int t, bool logMode) const
{
    if (m_events.empty())
        return -1;
    if (t < 0)
        t = 0;
    const auto startsAfter = [t, logMode](const TraceEvent &event) {
        return logMode ? event.logPosition > float(t) : qint64(event.offset) > qint64(t);
    };
    if (startsAfter(m_events.front()))
        return -1;
    const bool beyondLast =
        logMode ? float(t) > m_events.back().logPosition : qint64(t) > qint64(m_events.back().offset);
    if (beyondLast)
        return -1;
    // Positions never decrease along the events, so a binary search finds the
    // last event that starts at or before t.
    const auto firstAfter = std::partition_point(
        m_events.begin(), m_events.end(), [&](const TraceEvent &event) { return !startsAfter(event); });
    return int(firstAfter - m_events.begin()) - 1;
}
