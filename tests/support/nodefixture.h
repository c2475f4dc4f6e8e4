#pragma once

#include "trace/node.h"

#include <QList>
#include <QVector>

#include <memory>

// A node of id `nodeId` whose service requests start at `times` (microseconds, in any order), each
// lasting until the next.
inline std::unique_ptr<Node> nodeAt(const QList<quint32> &times, int nodeId = 1)
{
    auto node = std::make_unique<Node>(nodeId);
    node->setCounterFrequencies(0, 1000000);
    for (const quint32 time : times)
        node->addEvent(EventType::ServiceRequest, 0, time, 0, 0);
    node->finish();
    return node;
}

// One event of a hand-made node: its type, time (microseconds on the node's own clock) and parameters.
struct Ev
{
    qint32 type;
    quint32 time;
    qint32 param1;
    qint32 param2;
};

// Without a catalogue arg1 is param1's low byte and arg2 param2 whole, so a
// task switch names its task in param2.
inline std::unique_ptr<Node> nodeOf(int nodeId, const QVector<Ev> &events)
{
    auto node = std::make_unique<Node>(nodeId);
    node->setCounterFrequencies(0, 1000000);
    for (const Ev &e : events)
        node->addEvent(e.type, 0, e.time, e.param1, e.param2);
    node->finish();
    return node;
}
