#pragma once

#include <QString>

#include <vector>

class Node;

// Events of a node as CSV (RFC 4180: fields quoted where they hold a comma,
// a quote or a line break, lines ending in CRLF), for the clipboard.
namespace EventCsv {

// A header row, then one row per event of `events` (indexes into the node's
// events, in the order given): the event list's six cells as it shows them,
// numbers without digit grouping, then the running task's name and the raw
// values: the type code and its catalogue name, both decoded arguments and
// the offset from the node's first event (usec).
QString rows(const Node &node, const std::vector<int> &events);

} // namespace EventCsv
