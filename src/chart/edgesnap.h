#pragma once

class Node;
class ViewRoot;

// Pulls a measuring cursor onto the nearest event edge, the start or the end
// of any event, when one lies within a few pixels of it: so that a cursor put
// by hand on a bar's end is on the microsecond the event ended.
class EdgeSnap
{
public:
    // Reaches `distance` pixels either way at `scale` pixels per unit.
    // Nothing snaps when `suppressed` (the user holds Alt), for a distance
    // below 1 or a scale that is not a positive number.
    EdgeSnap(float scale, int distance, bool suppressed = false);

    // Linear axis: `time` and the result in aligned microseconds, among the
    // events of every node of `root`, each node's shift added.
    double alignedTime(const ViewRoot &root, double time) const;
    // Logarithmic axis: `units` and the result in log units of `node`, among
    // that node's events.
    double logPosition(const Node &node, double units) const;

private:
    double m_reach = 0.0; // units either way; 0 snaps nothing
};
