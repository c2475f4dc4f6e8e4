#pragma once

#include "trace/node.h"

#include <QList>

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
