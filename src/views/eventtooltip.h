#pragma once

#include <QString>

class Node;

// The rich-text tooltip the event chart shows for event `eventIndex` of `node`:
// number, timestamp, duration and type; then port and sequence number for sync
// and packet events, or the service and the task or hub it addresses for all
// but task switches. Times are in microseconds ("usec"). An index the node has
// no event for gives an empty string.
//
// The addressed task or hub is looked up on the node the event names: the node
// itself, or a node of its project (a node without project finds only itself).
// An event whose type lies outside the catalogue names no node; it counts as an
// event of its own node.
QString eventTooltipHtml(const Node &node, int eventIndex);
