#include "sqliteexport.h"

#include "trace/hub.h"
#include "trace/node.h"
#include "trace/nodestatistics.h"
#include "trace/task.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <vector>

namespace {

const char *const schema[] = {
    "CREATE TABLE nodes (node_id INTEGER PRIMARY KEY, name TEXT, file TEXT, shift INTEGER, "
    "events INTEGER, total_time INTEGER)",
    "CREATE TABLE tasks (node_id INTEGER, task_id INTEGER, name TEXT, role TEXT, execution_time INTEGER, "
    "activation_time INTEGER, share REAL, PRIMARY KEY (node_id, task_id))",
    "CREATE TABLE hubs (node_id INTEGER, hub_node_id INTEGER, hub_id INTEGER, name TEXT, listed INTEGER, "
    "send_requests INTEGER, receive_requests INTEGER, send_kernel_requests INTEGER, "
    "receive_kernel_requests INTEGER)",
    "CREATE TABLE services (node_id INTEGER, service_id INTEGER, name TEXT, code INTEGER, "
    "target_is_task INTEGER, PRIMARY KEY (node_id, service_id))",
    "CREATE TABLE events (node_id INTEGER, idx INTEGER, timestamp INTEGER, offset INTEGER, "
    "aligned_time INTEGER, duration INTEGER, log_position REAL, log_duration REAL, type INTEGER, "
    "arg1 INTEGER, arg2 INTEGER, event_node_id INTEGER, current_task INTEGER, timecut INTEGER, "
    "is_marker INTEGER, catalogued INTEGER, activation_task INTEGER, activation_time INTEGER, "
    "completion INTEGER, call_time INTEGER, PRIMARY KEY (node_id, idx))",
    "CREATE TABLE packets (key INTEGER, source INTEGER, destination INTEGER, sequence INTEGER, hop INTEGER, "
    "from_node INTEGER, from_event INTEGER, from_time INTEGER, to_node INTEGER, to_event INTEGER, "
    "to_time INTEGER, latency INTEGER)",
    "CREATE INDEX events_by_node_time ON events (node_id, aligned_time)",
    "CREATE INDEX events_by_time ON events (aligned_time)",
    "CREATE INDEX packets_by_from ON packets (from_node, from_time)",
    "CREATE INDEX packets_by_to ON packets (to_node, to_time)",
};

// Fails with the driver's text; every insert of a table goes through one prepared query.
class Writer
{
public:
    explicit Writer(const QSqlDatabase &db)
        : m_db(db)
    {}

    void exec(const QString &statement)
    {
        QSqlQuery query(m_db);
        if (!query.exec(statement))
            throw query.lastError().text();
    }

    void insert(const char *table, const QVariantList &values)
    {
        QSqlQuery &query = m_inserts[QLatin1String(table)];
        if (query.lastQuery().isEmpty()) {
            query = QSqlQuery(m_db);
            QStringList marks;
            for (qsizetype i = 0; i < values.size(); ++i)
                marks << QStringLiteral("?");
            if (!query.prepare(QStringLiteral("INSERT INTO %1 VALUES (%2)")
                                   .arg(QLatin1String(table), marks.join(QLatin1Char(',')))))
                throw query.lastError().text();
        }
        for (qsizetype i = 0; i < values.size(); ++i)
            query.bindValue(int(i), values[i]);
        if (!query.exec())
            throw query.lastError().text();
    }

private:
    QSqlDatabase m_db;
    QHash<QString, QSqlQuery> m_inserts;
};

void writeItems(Writer &writer, const PacketNodeInput &input)
{
    const Node &node = *input.node;
    writer.insert("nodes", {node.nodeId(), node.name(), node.traceFileName(), input.shift, node.eventCount(),
                            node.totalTime()});
    for (const auto &task : node.tasks())
        writer.insert("tasks", {node.nodeId(), task->id(), task->name(), task->roleName(),
                                task->executionTime(), task->activationTime(), double(task->share())});
    for (const auto &hubs : {node.hubs(), node.remoteHubs()}) {
        for (const auto &hub : hubs)
            writer.insert("hubs", {node.nodeId(), hub->hubNodeId(), hub->id(), hub->name(), hub->isListed(),
                                   hub->sendRequests(), hub->receiveRequests(), hub->sendKernelRequests(),
                                   hub->receiveKernelRequests()});
    }
    for (const NodeServiceInfo &service : node.services())
        writer.insert("services",
                      {node.nodeId(), int(service.id), service.name, service.code, service.targetIsTask});
}

// What the statistics derive per event: the activation an event starts, the
// completion a request pairs with.
struct Derived
{
    QVariant activationTask;
    QVariant activationTime;
    QVariant completion;
    QVariant callTime;
};

std::vector<Derived> derivedValues(const Node &node, EventRange range)
{
    std::vector<Derived> derived(node.events().size());
    forEachActivation(node, range, [&](const TaskActivation &a) {
        derived[size_t(a.first)].activationTask = a.taskId;
        derived[size_t(a.first)].activationTime = a.duration;
    });
    forEachServiceCall(node, range, [&](const ServiceCall &call) {
        if (call.request < 0 || call.completion < 0)
            return;
        derived[size_t(call.request)].completion = call.completion;
        derived[size_t(call.request)].callTime = qint64(node.events()[size_t(call.completion)].offset) -
                                                 qint64(node.events()[size_t(call.request)].offset);
    });
    return derived;
}

void writeEvents(Writer &writer, const PacketNodeInput &input)
{
    const Node &node = *input.node;
    const EventRange range = input.range.within(node);
    const std::vector<Derived> derived = derivedValues(node, range);
    for (int i = range.first; i <= range.last; ++i) {
        const TraceEvent &e = node.events()[size_t(i)];
        const Derived &d = derived[size_t(i)];
        writer.insert("events", {node.nodeId(),
                                 i,
                                 e.timestamp,
                                 e.offset,
                                 qint64(e.offset) + input.shift,
                                 e.duration,
                                 double(e.logPosition),
                                 double(e.logDuration),
                                 e.type,
                                 e.arg1,
                                 e.arg2,
                                 e.hasNodeId ? QVariant(e.nodeId) : QVariant(),
                                 e.currentTask,
                                 e.timecut,
                                 e.isMarker,
                                 int(e.catalogued),
                                 d.activationTask,
                                 d.activationTime,
                                 d.completion,
                                 d.callTime});
    }
}

void writePackets(Writer &writer, const QVector<PacketNodeInput> &inputs)
{
    for (const PacketLeg &leg : packetRoutes(inputs).legs)
        writer.insert("packets", {leg.key, leg.source, leg.destination, int(leg.key & 0xFFFF), leg.hop,
                                  leg.from.nodeId, leg.from.eventIndex, leg.from.time, leg.to.nodeId,
                                  leg.to.eventIndex, leg.to.time, leg.to.time - leg.from.time});
}

void writeAll(QSqlDatabase &db, const QVector<PacketNodeInput> &inputs)
{
    if (!db.open())
        throw db.lastError().text();
    Writer writer(db);
    db.transaction();
    for (const char *statement : schema)
        writer.exec(QLatin1String(statement));
    for (const PacketNodeInput &input : inputs) {
        if (!input.node)
            continue;
        writeItems(writer, input);
        writeEvents(writer, input);
    }
    writePackets(writer, inputs);
    if (!db.commit())
        throw db.lastError().text();
}

} // namespace

namespace SqliteExport {

QString write(const QString &path, const QVector<PacketNodeInput> &inputs)
{
    const QString connection = QStringLiteral("kestrel-export");
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        try {
            writeAll(db, inputs);
        } catch (const QString &text) {
            error = text.isEmpty() ? QStringLiteral("SQLite error") : text;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return error;
}

} // namespace SqliteExport
