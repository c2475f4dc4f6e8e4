#include "csvexport.h"

#include "trace/hub.h"
#include "trace/node.h"
#include "trace/statisticscsv.h"
#include "trace/task.h"

namespace {

const QLatin1String crlf("\r\n");

QString originName(int origin)
{
    switch (origin) {
    case 0:
        return QStringLiteral("FROM_TRACER");
    case 1:
        return QStringLiteral("FROM_CMDLINE");
    case 2:
        return QStringLiteral("FROM_RECEIVER");
    default:
        return QString();
    }
}

void writeHubRow(QTextStream &out, const Hub &hub)
{
    out << hub.hubNodeId() << ',' << hub.id() << ',' << CsvExport::field(hub.name()) << ','
        << (hub.isListed() ? 1 : 0) << ',' << hub.sendRequests() << ',' << hub.receiveRequests() << ','
        << hub.sendKernelRequests() << ',' << hub.receiveKernelRequests() << crlf;
}

} // namespace

namespace CsvExport {

QString field(const QString &text)
{
    return StatisticsCsv::field(text);
}

QString floatField(float value)
{
    return QString::number(double(value), 'g', 9);
}

void writeEvents(QTextStream &out, const Node &node)
{
    out << "index,timestamp,offset,logPosition,duration,logDuration,type,arg1,arg2,nodeId,currentTask,"
           "timecut,"
           "isMarker,flags"
        << crlf;
    for (int i = 0; i < node.eventCount(); ++i) {
        const TraceEvent &e = node.events()[size_t(i)];
        out << i << ',' << e.timestamp << ',' << e.offset << ',' << floatField(e.logPosition) << ','
            << e.duration << ',' << floatField(e.logDuration) << ',' << e.type << ',' << e.arg1 << ','
            << e.arg2 << ',' << e.nodeId << ',' << e.currentTask << ',' << e.timecut << ',' << e.isMarker
            << ',' << e.flags() << crlf;
    }
}

void writeTasks(QTextStream &out, const Node &node)
{
    out << "id,name,role,executionTime,logExecutionTime,activationTime,share" << crlf;
    for (const auto &task : node.tasks()) {
        out << task->id() << ',' << field(task->name()) << ',' << task->roleName() << ','
            << task->executionTime() << ',' << task->logExecutionTime() << ',' << task->activationTime()
            << ',' << floatField(task->share()) << crlf;
    }
}

void writeHubs(QTextStream &out, const Node &node)
{
    out << "nodeId,id,name,listed,sendRequests,receiveRequests,sendKernelRequests,receiveKernelRequests"
        << crlf;
    for (const auto &hub : node.hubs())
        writeHubRow(out, *hub);
    // Keyed by (node id << 8) | hub id, so already in node id, then hub id order.
    for (const auto &hub : node.remoteHubs())
        writeHubRow(out, *hub);
}

void writeSummary(QTextStream &out, const Node &node)
{
    out << "Node " << node.label() << '\n';
    out << "  Trace File: " << node.traceFileName() << '\n';
    out << "  Directory:  " << node.directory() << '\n';
    out << "  Source:     " << originName(node.origin()) << '\n';
    out << "  ID:         " << node.nodeId() << '\n';
    out << "  Name:       " << node.name() << '\n';
    out << "  Tasks:      " << node.tasks().size() << '\n';
    out << "  Hubs:       " << node.hubs().size() << '\n';
    out << "  Events:     " << node.eventCount() << '\n';
    out << "  SyncMarkes: " << node.packetRefs().size() << " [" << node.firstSeq() << " - " << node.lastSeq()
        << "]\n";
    out << "  Total time: " << node.totalTime() << "usec\n";
    out << "  Task shares:\n";
    for (const auto &task : node.tasks()) {
        out << "    [" << task->id() << "] " << task->name() << ": "
            << QString::number(double(task->share()), 'f', 2) << "% (" << task->executionTime() << "usec)\n";
    }
}

} // namespace CsvExport
