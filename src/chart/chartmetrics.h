#pragma once

// The chart's fixed measures, in pixels.
namespace ChartMetrics {
constexpr int rowHeight = 18;    // every row of the chart, the header's too
constexpr int headerWidth = 200; // the external header's column
constexpr int rulerHeight = 20;  // the time ruler's strip above the rows
} // namespace ChartMetrics
