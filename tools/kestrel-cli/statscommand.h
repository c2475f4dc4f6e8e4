#pragma once

#include <QList>
#include <QString>
#include <QTextStream>

#include <optional>

class Node;

// `kestrel-cli stats`: the statistics tables of the given nodes as CSV.
namespace StatsCommand {

// Microseconds FROM and TO on each node's own offset axis: the events whose
// offset lies in [from, to] (see EventRange::ofOffsets).
struct OffsetWindow
{
    qint64 from = 0;
    qint64 to = 0;
};

// Whether `name` is a table: tasks, services, interrupts or packets.
bool isTable(const QString &name);

// Writes table `table`, or all four one after another when it is empty, each
// with its header. Tasks, services and interrupts list the nodes in the order
// given; packets align the nodes' clocks as a view of all of them does.
void write(QTextStream &out, const QList<Node *> &nodes, const QString &table,
           const std::optional<OffsetWindow> &window);

} // namespace StatsCommand
