#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <vector>

// One term of an event query, its names already looked up in the node.
struct QueryTerm
{
    enum Field { Type, Service, Task, Hub, Arg1, Arg2, Seq, Time, Text };

    // Both ends included.
    struct Range
    {
        qint64 low = 0;
        qint64 high = 0;
        bool contains(qint64 value) const { return value >= low && value <= high; }
    };

    Field field = Text;
    std::vector<Range> ranges;   // any of them matches; for Hub, hub ids on any node
    std::vector<qint64> hubKeys; // Hub: (hub node id << 8) | hub id of named hubs

    // Text: the words in lower case, Latin-1; whether a cell (ASCII digits,
    // signs, brackets, spaces) could hold them at all; the event types whose
    // names hold them.
    QByteArray text;
    bool inCells = false;
    std::vector<qint32> types;
    // Text: the declared services whose names hold the words. Hub: the
    // node's services that address a hub.
    std::vector<qint32> services;

    bool inRanges(qint64 value) const
    {
        for (const Range &range : ranges) {
            if (range.contains(value))
                return true;
        }
        return false;
    }
};

// Where a query is faulty and why.
struct QueryError
{
    QString text;     // "unknown task 'Idel'"
    int position = 0; // characters into the query where the fault starts
    int length = 0;   // characters of the faulty part, at least 1
};
