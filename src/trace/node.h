#pragma once

#include "trace/traceevent.h"
#include "trace/traceritem.h"

#include <QHash>
#include <QMap>
#include <QMultiHash>
#include <QPixmap>
#include <QSet>
#include <QSharedPointer>
#include <QVector>

#include <array>
#include <atomic>
#include <functional>
#include <utility>
#include <vector>

class EventCatalogue;
class Hub;
class NodeItem;
class NodeParse;
class Project;
class Task;
class QIODevice;
class QThread;

// How a request to open a trace file arose.
enum NodeOrigin { FROM_TRACER = 0, FROM_CMDLINE = 1, FROM_RECEIVER = 2 };

// A kernel service as one node declared it, matched against the catalogue.
struct NodeServiceInfo
{
    qint16 id = 0;
    qint32 code = 255; // catalogue code; 255 when only the catalogue's empty name matched
    QString name;
    QPixmap icon;
    QString iconPath;
    bool targetIsTask = true;
};

// Everything read from one trace file: the node's identity, tasks, hubs,
// services and its events with every derived time value.
class Node : public TracerItem
{
    Q_OBJECT
public:
    class XmlNodeHandler;
    class XmlNodeErrorHandler;

    // Told now and then while a file is read: bytes read so far and the
    // file's size, both in bytes.
    using LoadProgress = std::function<void(qint64 bytesRead, qint64 fileSize)>;

    // How a file is read: by the trace scanner, which hands every file it does
    // not fully understand to the XML reader, or by the XML reader alone, to
    // compare the two. Both give the same node and the same messages.
    enum class ReadMode { ScanFirst, XmlReaderOnly };

    // Reads the trace file at `path` into a node of `project`, matching its
    // services and event types against `catalogue` (null: nothing matches).
    // Throws the finished user message as a QString when the file cannot be
    // opened or read; nothing of the node survives that.
    Node(const QString &path, Project *project, int origin, const EventCatalogue *catalogue,
         const LoadProgress &progress = {}, ReadMode mode = ReadMode::ScanFirst);
    // An empty node, filled by hand through setCounterFrequencies(), addEvent()
    // and finish(): for generators and tests that build events directly.
    explicit Node(int nodeId = 0, Project *project = nullptr, const EventCatalogue *catalogue = nullptr);
    ~Node() override;

    // Whether the node was read without a project (see NodeParse): its tasks
    // and hubs then have neither tree entries nor drawn colours yet.
    bool isDetached() const { return m_detached; }
    // Hangs a detached node under `project` (may be null) on the main
    // thread: makes the tree entries and draws the colours its read left
    // out, in the order a node read in place makes and draws them, so the
    // rand() sequence and the tree come out the same.
    void attach(Project *project);

    // Appends one event read from the file and derives its time values, the
    // running task, execution times, packet keys and hub counters.
    void addEvent(qint32 type, quint32 lowCounter, quint32 highCounter, qint32 param1, qint32 param2);
    // Computes what needs every event: the integer log length and task shares.
    void finish();

    void setCounterFrequencies(quint32 lowCounterHz, quint32 highCounterHz);

    int nodeId() const { return m_nodeId; }
    const QString &name() const { return m_name; }
    const QString &traceFileName() const { return m_traceFileName; }
    const QString &directory() const { return m_directory; }
    Project *project() const { return m_project; }
    int origin() const { return m_origin; }
    const EventCatalogue *catalogue() const { return m_catalogue; }
    // "[id] name", as the tree, the views and the chart show a node.
    QString label() const;

    const QMap<int, QSharedPointer<Task>> &tasks() const { return m_tasks; }
    const QMap<int, QSharedPointer<Hub>> &hubs() const { return m_hubs; }
    // Hubs of other nodes met in this node's hub service events, keyed by (node id << 8) | hub id.
    const QMap<int, QSharedPointer<Hub>> &remoteHubs() const { return m_remoteHubs; }
    const QMap<int, NodeServiceInfo> &services() const { return m_services; }
    // The declared service, or the default entry (code 255, targets a task).
    NodeServiceInfo service(int id) const;
    Task *task(int id) const;

    const std::vector<TraceEvent> &events() const { return m_events; }
    int eventCount() const { return int(m_events.size()); }
    // Events are only read through here by index from outside; an index out of
    // range gives null.
    const TraceEvent *event(int index) const;
    // Whether the events' positions on both time axes (offset, logPosition)
    // never decrease along the event sequence, so that a pixel column's
    // events can be found by bisection. Noted as the events are added: a
    // pass over them all would cost a huge node's first paint a tenth of a
    // second.
    bool inTimeOrder() const { return !m_outOfOrder; }

    const QMultiHash<quint32, PacketRef> &packetRefs() const { return m_packetRefs; }
    const QSet<quint32> &packetKeys() const { return m_packetKeys; }
    quint32 firstSeq() const { return m_firstSeq; }
    quint32 lastSeq() const { return m_lastSeq; }

    quint32 totalTime() const { return m_totalTime; } // microseconds
    float logLength() const { return m_logLength; }
    quint32 logLengthInt() const { return m_logLengthInt; }
    quint32 lowCounterHz() const { return m_lowCounterHz; }
    quint32 highCounterHz() const { return m_highCounterHz; }

    // The tree entry that a task, hub or other item of `category` hangs under;
    // null for hidden hubs.
    QTreeWidgetItem *parentEntryFor(TracerItemCategory category) const;
    QTreeWidgetItem *taskFolder() const { return m_taskFolder.data(); }
    QTreeWidgetItem *hubFolder() const { return m_hubFolder.data(); }

    // The node, task-folder, hub-folder and event-range tables; nothing for
    // other categories. A range (data1 first, data2 last selected event) that
    // leaves the event vector leaves the table empty.
    void fillProperties(TracerItemCategory category, QTableWidget *table, int data1, int data2) override;

    // Event timestamp in microseconds, low 32 bits, from the two counters and
    // their frequencies; a frequency of 0 leaves its term out.
    static quint32 timestampFor(quint32 lowCounter, quint32 highCounter, quint32 lowCounterHz,
                                quint32 highCounterHz);

    // The index i of the event whose time slice holds time t (microseconds, or
    // logarithmic units in logarithmic mode): start(i) <= t < start(i + 1), the
    // last of several events that start at t. A negative t counts as 0; t beyond
    // the last event, and a node without events, give -1.
    int firstEventAt(int t, bool logMode) const;

private:
    friend class XmlNodeHandler;
    friend class NodeReader;
    friend class NodeItem;
    friend class NodeParse;

    struct Detached
    {};
    // An empty node of no project that keeps its items' entries and colours
    // for attach(); its read stops once `cancel` (may be null) turns true.
    Node(Detached, int origin, const EventCatalogue *catalogue, const std::atomic<bool> *cancel);

    // Opens and reads the file into this empty node; throws as the reading constructor.
    void readFile(const QString &path, const LoadProgress &progress, ReadMode mode);
    bool cancelled() const { return m_cancel && m_cancel->load(std::memory_order_relaxed); }
    // A detached node's new task or hub, kept for attach().
    void presentLater(NodeItem *item, bool drawColour) { m_presentLater.emplace_back(item, drawColour); }
    // The colours a detached read has drawn so far, made items dropped included.
    int colourDraws() const;
    // The node and its items go to `thread`, from the thread that made them.
    void moveToThreadWithItems(QThread *thread);

    void createTreeEntries();
    // Back to the state before the file was read: no tasks, hubs, services,
    // events or sums, node id 0, no name.
    void clearContent();
    void reserveFromProgress(qint64 bytesRead, qint64 fileSize);
    Hub *hubFor(int hubNodeId, int hubId);
    bool isCatalogued(qint32 type);
    Task *runningTask();

    int m_nodeId = 0;
    QString m_traceFileName;
    QString m_name;
    QString m_directory;
    Project *m_project = nullptr;
    int m_origin = 0;
    const EventCatalogue *m_catalogue = nullptr;
    QSharedPointer<QTreeWidgetItem> m_taskFolder;
    QSharedPointer<QTreeWidgetItem> m_hubFolder;
    QMap<int, QSharedPointer<Task>> m_tasks;
    QMap<int, QSharedPointer<Hub>> m_hubs;
    QMap<int, QSharedPointer<Hub>> m_remoteHubs;
    QMap<int, NodeServiceInfo> m_services;
    std::vector<TraceEvent> m_events;
    QMultiHash<quint32, PacketRef> m_packetRefs;
    QSet<quint32> m_packetKeys;
    quint32 m_firstSeq = 0;
    quint32 m_lastSeq = 0;
    quint32 m_totalTime = 0;
    float m_logLength = 0;
    quint32 m_logLengthInt = 0;
    quint32 m_lowCounterHz = 0;
    quint32 m_highCounterHz = 0;

    // The running task while reading: the task current after the last event
    // read, and the one current before it. They start at 0 for every file, so
    // a file reads the same whatever was read before it.
    int m_currentTaskId = 0;
    int m_previousTaskId = 0;
    // The tasks behind those ids, so that an event costs no table lookups.
    Task *m_currentTask = nullptr;
    Task *m_previousTask = nullptr;
    // Whether each type code from -8 to 255 is catalogued: -1 not looked up yet.
    std::array<qint8, 264> m_catalogued;
    bool m_outOfOrder = false; // see inTimeOrder()

    bool m_detached = false;
    const std::atomic<bool> *m_cancel = nullptr;
    // A detached node's items in the order they were made, each with whether
    // it draws a colour, and the draws of items a restarted read dropped.
    std::vector<std::pair<NodeItem *, bool>> m_presentLater;
    int m_droppedDraws = 0;
};
