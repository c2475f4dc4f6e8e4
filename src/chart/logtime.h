#pragma once

class Node;

// Between a node's own times (microseconds since its first event) and its
// positions on the logarithmic axis, interpolated linearly between the events
// around them. Log positions never decrease along the events, even where the
// clock steps back, so both are found by binary search.
namespace LogTime {

// The time of `node` at log position `units`: where events start there, the
// first one's (events shorter than 2 us take no log width, so several may).
// Negative where the node has no time: before its first or after its last
// event's start, or without events.
double timeAt(const Node &node, float units);

// The log position of the node's time `time`: the first event's that starts
// then, else interpolated between the events around it. Negative outside the
// node's events, as timeAt.
double positionAt(const Node &node, double time);

} // namespace LogTime
