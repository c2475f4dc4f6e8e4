#include "statscommand.h"

#include "chart/packetinputs.h"
#include "chart/viewroot.h"
#include "trace/node.h"
#include "trace/statisticscsv.h"

namespace {

const char *const tables[] = {"tasks", "services", "interrupts", "packets"};

EventRange rangeOf(const Node &node, const std::optional<StatsCommand::OffsetWindow> &window)
{
    return window ? EventRange::ofOffsets(node, window->from, window->to) : EventRange::whole(node);
}

QVector<PacketNodeInput> packetInputs(const QList<Node *> &nodes,
                                      const std::optional<StatsCommand::OffsetWindow> &window)
{
    ViewRoot root;
    for (Node *node : nodes)
        root.addViewedNode(node);
    QVector<PacketNodeInput> inputs = packetInputs(root);
    for (PacketNodeInput &input : inputs)
        input.range = rangeOf(*input.node, window);
    return inputs;
}

void writeTable(QTextStream &out, const QList<Node *> &nodes, const QString &table,
                const std::optional<StatsCommand::OffsetWindow> &window)
{
    if (table == QLatin1String("packets")) {
        StatisticsCsv::writePackets(out, packetStatistics(packetInputs(nodes, window)).legs);
        return;
    }
    QVector<TaskStatistics> tasks;
    QVector<ServiceStatistics> services;
    QVector<InterruptStatistics> interrupts;
    for (const Node *node : nodes) {
        const EventRange range = rangeOf(*node, window);
        if (table == QLatin1String("tasks"))
            tasks += taskStatistics(*node, range);
        else if (table == QLatin1String("services"))
            services += serviceStatistics(*node, range);
        else
            interrupts += interruptStatistics(*node, range);
    }
    if (table == QLatin1String("tasks"))
        StatisticsCsv::writeTasks(out, tasks);
    else if (table == QLatin1String("services"))
        StatisticsCsv::writeServices(out, services);
    else
        StatisticsCsv::writeInterrupts(out, interrupts);
}

} // namespace

namespace StatsCommand {

bool isTable(const QString &name)
{
    for (const char *table : tables) {
        if (name == QLatin1String(table))
            return true;
    }
    return false;
}

void write(QTextStream &out, const QList<Node *> &nodes, const QString &table,
           const std::optional<OffsetWindow> &window)
{
    if (!table.isEmpty()) {
        writeTable(out, nodes, table, window);
        return;
    }
    for (const char *each : tables)
        writeTable(out, nodes, QLatin1String(each), window);
}

} // namespace StatsCommand
