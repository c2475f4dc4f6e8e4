#pragma once

#include <vector>

class Node;
class OverviewScale;

// How busy one node is along the overview strip: for each column the share
// of its time (0 to 1) in which a task other than an idle one ran. Time the
// node has no events for counts as idle. A task is idle by its role (see
// Task::IDLE); a task the node does not declare counts as busy.
struct ActivityProfile
{
    std::vector<float> shares; // one per column of the scale
    // The columns from the node's first to its last event, [first, end);
    // empty for a node without events or outside the strip.
    int first = 0;
    int end = 0;

    // The node's profile with its events `shift` microseconds along the
    // aligned axis, in one pass over the events and one over the columns.
    static ActivityProfile of(const Node &node, int shift, const OverviewScale &scale);
};
