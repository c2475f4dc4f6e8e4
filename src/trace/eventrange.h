#pragma once

#include <QtGlobal>

class Node;

// A run of consecutive events of one node, first to last inclusive, as the
// event list selects them. Its time runs from event `first` to the event after
// `last` (to `last` itself when that is the node's final event), the span that
// the selection's "Total duration" gives: every event's time slice up to the
// next event belongs to the range.
struct EventRange
{
    int first = 0;
    int last = -1; // before first: no events

    bool isEmpty() const { return last < first; }
    bool contains(int index) const { return index >= first && index <= last; }

    // The range held to the node's events; an empty range stays empty.
    EventRange within(const Node &node) const;

    // Every event of the node.
    static EventRange whole(const Node &node);
    // `first` and `last` held to the node's events; an order reversed as a
    // drag upwards gives it is turned round.
    static EventRange of(const Node &node, int first, int last);
    // The events whose offset (microseconds on the node's own axis, 0 at its
    // first event) lies in [from, to]. Empty when none does.
    static EventRange ofOffsets(const Node &node, qint64 from, qint64 to);
};
