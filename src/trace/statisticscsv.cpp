#include "trace/statisticscsv.h"

namespace {

const QLatin1String crlf("\r\n");

QStringList columns(const char *text)
{
    return QString::fromLatin1(text).split(QLatin1Char(','));
}

void writeHeader(QTextStream &out, const QStringList &columns)
{
    out << columns.join(QLatin1Char(',')) << crlf;
}

// total,min,mean,max,p50,p95,p99
void writeTiming(QTextStream &out, const TimingStats &stats)
{
    out << stats.total << ',' << stats.min << ',' << StatisticsCsv::number(stats.mean) << ',' << stats.max
        << ',' << stats.p50 << ',' << stats.p95 << ',' << stats.p99;
}

} // namespace

namespace StatisticsCsv {

QString field(const QString &text)
{
    const bool quote = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
                       text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
    if (!quote)
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString number(double value)
{
    return QString::number(value, 'g', 9);
}

QStringList taskColumns()
{
    return columns("nodeId,taskId,name,activations,total,min,mean,max,p50,p95,p99,share");
}

QStringList serviceColumns()
{
    return columns("nodeId,service,name,calls,total,min,mean,max,p50,p95,p99");
}

QStringList serviceCallerColumns()
{
    return columns("nodeId,service,name,taskId,task,calls,total,min,mean,max,p50,p95,p99");
}

QStringList interruptColumns()
{
    return columns("nodeId,interrupt,count,total,min,mean,max,p50,p95,p99");
}

QStringList packetColumns()
{
    return columns("source,destination,hop,fromNode,toNode,packets,total,min,mean,max,p50,p95,p99");
}

void writeTasks(QTextStream &out, const QVector<TaskStatistics> &rows)
{
    writeHeader(out, taskColumns());
    for (const TaskStatistics &row : rows) {
        out << row.nodeId << ',' << row.taskId << ',' << field(row.name) << ',' << row.activations.count
            << ',';
        writeTiming(out, row.activations);
        out << ',' << number(row.share) << crlf;
    }
}

void writeServices(QTextStream &out, const QVector<ServiceStatistics> &rows)
{
    writeHeader(out, serviceColumns());
    for (const ServiceStatistics &row : rows) {
        out << row.nodeId << ',' << row.serviceId << ',' << field(row.name) << ',' << row.calls << ',';
        writeTiming(out, row.time);
        out << crlf;
    }
}

void writeServiceCallers(QTextStream &out, const QVector<ServiceStatistics> &rows)
{
    writeHeader(out, serviceCallerColumns());
    for (const ServiceStatistics &row : rows) {
        for (const ServiceCallerStatistics &caller : row.callers) {
            out << row.nodeId << ',' << row.serviceId << ',' << field(row.name) << ',' << caller.taskId << ','
                << field(caller.taskName) << ',' << caller.calls << ',';
            writeTiming(out, caller.time);
            out << crlf;
        }
    }
}

void writeInterrupts(QTextStream &out, const QVector<InterruptStatistics> &rows)
{
    writeHeader(out, interruptColumns());
    for (const InterruptStatistics &row : rows) {
        out << row.nodeId << ',' << row.interrupt << ',' << row.time.count << ',';
        writeTiming(out, row.time);
        out << crlf;
    }
}

void writePackets(QTextStream &out, const QVector<PacketLegStatistics> &rows)
{
    writeHeader(out, packetColumns());
    for (const PacketLegStatistics &row : rows) {
        out << row.source << ',' << row.destination << ',' << row.hop << ',' << row.fromNode << ','
            << row.toNode << ',' << row.latency.count << ',';
        writeTiming(out, row.latency);
        out << crlf;
    }
}

} // namespace StatisticsCsv
