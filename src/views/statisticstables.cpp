#include "views/statisticstables.h"

#include "chart/packetinputs.h"
#include "trace/nodestatistics.h"
#include "trace/packetstatistics.h"
#include "trace/statisticscsv.h"

#include <QTextStream>

#include <functional>
#include <utility>

namespace {

// The writer's text and its records; the rows' labels and timings are the caller's to add.
StatisticsTable writtenTable(const QString &title, const QString &quantity,
                             const std::function<void(QTextStream &)> &write)
{
    StatisticsTable table;
    table.title = title;
    table.quantity = quantity;
    {
        QTextStream out(&table.csv);
        write(out);
    }
    table.rows = parseCsv(table.csv);
    if (!table.rows.isEmpty())
        table.columns = table.rows.takeFirst();
    return table;
}

void describeRow(StatisticsTable &table, const QString &label, const TimingStats &timing)
{
    table.labels.append(label);
    table.timings.append(timing);
}

StatisticsTable taskTable(const Node &node, EventRange range)
{
    const QVector<TaskStatistics> tasks = taskStatistics(node, range);
    StatisticsTable table =
        writtenTable(QStringLiteral("Tasks"), QStringLiteral("activation time"),
                     [&tasks](QTextStream &out) { StatisticsCsv::writeTasks(out, tasks); });
    for (const TaskStatistics &row : tasks)
        describeRow(table, row.name, row.activations);
    return table;
}

StatisticsTable serviceTable(const QVector<ServiceStatistics> &services)
{
    StatisticsTable table =
        writtenTable(QStringLiteral("Services"), QStringLiteral("call time"),
                     [&services](QTextStream &out) { StatisticsCsv::writeServices(out, services); });
    for (const ServiceStatistics &row : services)
        describeRow(table, row.name, row.time);
    return table;
}

StatisticsTable callerTable(const QVector<ServiceStatistics> &services)
{
    StatisticsTable table =
        writtenTable(QStringLiteral("Service Callers"), QStringLiteral("call time"),
                     [&services](QTextStream &out) { StatisticsCsv::writeServiceCallers(out, services); });
    for (const ServiceStatistics &service : services) {
        for (const ServiceCallerStatistics &caller : service.callers)
            describeRow(table, QStringLiteral("%1 called by %2").arg(service.name, caller.taskName),
                        caller.time);
    }
    return table;
}

StatisticsTable interruptTable(const Node &node, EventRange range)
{
    const QVector<InterruptStatistics> interrupts = interruptStatistics(node, range);
    StatisticsTable table =
        writtenTable(QStringLiteral("Interrupts"), QStringLiteral("duration"),
                     [&interrupts](QTextStream &out) { StatisticsCsv::writeInterrupts(out, interrupts); });
    for (const InterruptStatistics &row : interrupts)
        describeRow(table, QStringLiteral("Interrupt %1").arg(row.interrupt), row.time);
    return table;
}

QString legLabel(const PacketLegStatistics &leg)
{
    const QString route = QStringLiteral("Node %1 to node %2").arg(leg.source).arg(leg.destination);
    if (leg.hop == 0)
        return route + QStringLiteral(", end to end");
    return route +
           QStringLiteral(", hop %1 from node %2 to %3").arg(leg.hop).arg(leg.fromNode).arg(leg.toNode);
}

StatisticsTable packetTable(const ViewRoot &root)
{
    const QVector<PacketLegStatistics> legs = packetStatistics(packetInputs(root)).legs;
    StatisticsTable table =
        writtenTable(QStringLiteral("Packet Routes"), QStringLiteral("latency"),
                     [&legs](QTextStream &out) { StatisticsCsv::writePackets(out, legs); });
    for (const PacketLegStatistics &leg : legs)
        describeRow(table, legLabel(leg), leg.latency);
    return table;
}

} // namespace

QVector<StatisticsTable> statisticsTables(const Node &node, EventRange range, const ViewRoot &root)
{
    const QVector<ServiceStatistics> services = serviceStatistics(node, range);
    return {taskTable(node, range), serviceTable(services), callerTable(services),
            interruptTable(node, range), packetTable(root)};
}

QVector<QStringList> parseCsv(const QString &text)
{
    QVector<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c != QLatin1Char('"'))
                field += c;
            else if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"'))
                field += text.at(++i);
            else
                quoted = false;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            record.append(std::exchange(field, QString()));
        } else if (c == QLatin1Char('\n')) {
            record.append(std::exchange(field, QString()));
            records.append(std::exchange(record, QStringList()));
        } else if (c != QLatin1Char('\r')) {
            field += c;
        }
    }
    if (!field.isEmpty() || !record.isEmpty()) {
        record.append(field);
        records.append(record);
    }
    return records;
}
