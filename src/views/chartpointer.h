#pragma once

#include "chart/axistime.h"

#include <QPoint>
#include <QString>

#include <optional>

class EventChart;

// What lies under the mouse in an event chart. Times are microseconds on the
// view's aligned axis in linear mode; in logarithmic mode, which shows one
// node, on that node's own axis (interpolated between its events).
struct ChartPointer
{
    bool overRows = false; // false: outside the rows, or over the external header
    double time = -1.0;    // -1 where there is no time (left of the axis, past a log node's end)
    QString node;          // the node whose rows are under the mouse; empty for the root row
    // The node's own clock there, as its trace counts it (microseconds, 32 bits
    // wrapping); -1 without a node or time.
    qint64 nodeTimestamp = -1;
    QString row; // the row's label
};

namespace ChartPointers {

// `position` is in the canvas' coordinates (the viewport's).
ChartPointer pointerAt(const EventChart &chart, const QPoint &position);
// The times at the left and right edges of the rows in view.
TimeSpan visibleTimes(const EventChart &chart);
// From the start of the current node's first selected event to the end of its
// last; none without a selection.
std::optional<TimeSpan> selectedTimes(const EventChart &chart);

} // namespace ChartPointers
