#include "trace/eventcsv.h"

#include "trace/eventcatalogue.h"
#include "trace/eventcells.h"
#include "trace/node.h"
#include "trace/statisticscsv.h"
#include "trace/task.h"

namespace {

const QLatin1String crlf("\r\n");

QString typeName(const Node &node, qint32 type)
{
    return node.catalogue() ? node.catalogue()->sysEvent(type).name : QString();
}

QString taskName(const Node &node, qint32 id)
{
    const Task *task = node.task(id);
    return task ? task->name() : QString();
}

} // namespace

namespace EventCsv {

QString rows(const Node &node, const std::vector<int> &events)
{
    QString csv;
    for (int column = 0; column < EventCells::columns; ++column)
        csv += StatisticsCsv::field(EventCells::title(column)) + QLatin1Char(',');
    csv += QLatin1String("Task,Type code,Type name,Arg1 value,Arg2 value,Offset (usec)") + crlf;
    char text[EventCells::maxLength];
    for (const int index : events) {
        const TraceEvent *event = node.event(index);
        if (!event)
            continue;
        for (int column = 0; column < EventCells::columns; ++column)
            csv += QLatin1String(text, EventCells::write(*event, index, column, node.nodeId(), text)) +
                   QLatin1Char(',');
        csv += StatisticsCsv::field(taskName(node, event->currentTask)) + QLatin1Char(',') +
               QString::number(event->type) + QLatin1Char(',') +
               StatisticsCsv::field(typeName(node, event->type)) + QLatin1Char(',') +
               QString::number(event->arg1) + QLatin1Char(',') + QString::number(event->arg2) +
               QLatin1Char(',') + QString::number(event->offset) + crlf;
    }
    return csv;
}

} // namespace EventCsv
