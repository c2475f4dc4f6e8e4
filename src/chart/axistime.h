#pragma once

class ChartMapper;
class Node;

// A stretch of the view's aligned linear time axis, in microseconds.
struct TimeSpan
{
    double from = 0.0;
    double to = 0.0;
};

// Between times of the aligned linear axis and the chart's axis in either
// mode. In logarithmic mode the chart shows one node, whose events give the
// times: positions between two events are interpolated linearly.
namespace AxisTime {

// The log position of `node` at `time` (microseconds since its first event):
// the inverse of LogTime::timeAt, held to the node's first and last events;
// 0 for a node without events.
double logPositionAt(const Node &node, double time);

// Where the chart's axis (microseconds in linear mode, log units in
// logarithmic mode) has the aligned time `time`. `node` and `shift` (its
// clock offset, microseconds) are the logarithmic view's node; linear mode
// needs neither.
double axisUnitsAt(double time, bool logMode, const Node *node, int shift);

// The aligned times at the chart's left edge and `width` pixels right of it,
// at the mapper's scale, mode and scroll. In logarithmic mode they are held
// to the node's first and last events; without a node there, both are 0.
TimeSpan visibleSpan(const ChartMapper &mapper, int width, const Node *node, int shift);

} // namespace AxisTime
