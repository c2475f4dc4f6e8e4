#pragma once

#include "chart/chartmetrics.h"

#include <QtGlobal>

#include <cmath>
#include <limits>
#include <optional>

// Pixel arithmetic shared by the time scale and ChartMapper.
namespace TimeScaleDetail {

// Truncates toward zero like int(value), but saturates where int() would be
// undefined: a scale zoomed in without end reaches pixels beyond the int range.
inline int toPixel(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (value <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(value);
}

} // namespace TimeScaleDetail

// The event chart's horizontal arithmetic: the scale of each mode, zooming,
// fitting to the window and the sizes and scroll ranges of the scrolled
// content; ChartMapper places events at one scale. Sizes are in pixels, times
// in microseconds (linear mode) or logarithmic units; scales are
// single-precision pixels per unit, computed in the same precision the
// painted chart uses, and every conversion to a pixel truncates toward zero. A pixel beyond the int range
// (only reachable by zooming in without end) saturates at the range's end.
class TimeScale
{
public:
    // The values of EventChart::EventChartState, which reports them.
    enum ChartState { MODE_CHANGED = 0, SCALE_CHANGED = 1, LAYOUT_CHANGED = 2 };

    static constexpr float LinZoomFactor = 1.2f;
    static constexpr float LogZoomFactor = 1.1f;

    // What the chart knows when it lays itself out.
    struct Viewport
    {
        int chartWidth = 0; // the chart's viewport
        int chartHeight = 0;
        int headerShift = 0; // S: the external header's width when it is shown, else 0
        int lengthLin = 0;   // the row model's lengths: microseconds
        int lengthLog = 0;   // logarithmic units
        int visibleRowCount = 0;
        int rowHeight = ChartMetrics::rowHeight;
        bool hasRoot = true; // false: nothing to scroll
    };

    // What a relayout sets on the chart. Both scroll ranges start at 0.
    struct Layout
    {
        int canvasWidth = 0;
        int canvasHeight = 0;
        int horizontalPageStep = 0;
        int verticalPageStep = 0;
        int horizontalMaximum = 0;
        int verticalMaximum = 0;
        ChartState state = LAYOUT_CHANGED; // SCALE_CHANGED when the scale was fitted
    };

    float linScale() const { return m_linScale; }
    float logScale() const { return m_logScale; }
    void setLinScale(float scale) { m_linScale = scale; }
    void setLogScale(float scale) { m_logScale = scale; }
    bool isLinearMode() const { return !m_logMode; }
    bool logMode() const { return m_logMode; }
    // Switches the mode and keeps both scales, so switching back returns to
    // the former zoom. False, with nothing changed, for the current mode.
    bool setLinearMode(bool linear);

    // Pixels per unit of the current mode.
    float scale() const { return m_logMode ? m_logScale : m_linScale; }
    // The zoom factor of the current mode.
    float zoomFactor() const { return m_logMode ? LogZoomFactor : LinZoomFactor; }
    // The chart length of the current mode.
    int length(int lengthLin, int lengthLog) const { return m_logMode ? lengthLog : lengthLin; }

    // W = int(L × scale + S + 3.0): the content with a 3 px margin right.
    int contentWidth(int lengthLin, int lengthLog, int headerShift) const;
    // Whether the content is wider than the chart, as real numbers: only then
    // does zooming out show more.
    bool canZoomOut(int chartWidth, int lengthLin, int lengthLog) const;

    // Fits the current mode's scale when the content is narrower than the
    // window. Logarithmic mode fills the width less header and margin,
    // linear mode the whole chart width (so it keeps at most S + 3 px to
    // scroll), with L × scale never above the width, so that canZoomOut is
    // false right after. A length of 0 or less keeps the former scale. True
    // when the scale was set.
    bool fitToWidth(const Viewport &viewport);
    // Fits the scale (above), then gives the canvas size, page steps and
    // scroll ranges; without a root both ranges are 0..0.
    Layout relayout(const Viewport &viewport);

    // Multiplies the current mode's scale by its factor; there is no upper
    // bound. Returns the scroll value that keeps the view's left edge at the
    // same time: int(v × factor) for the value v taken before.
    int zoomIn(int scrollValue);
    // Divides the current mode's scale by its factor and returns int(v /
    // factor); nothing when canZoomOut is false (the scale stays). The chart
    // relayouts afterwards, which may fit the scale again.
    std::optional<int> zoomOut(int scrollValue, int chartWidth, int lengthLin, int lengthLog);

    // Navigation about an anchor. Chart x is in pixels from the chart's left
    // edge (the viewport's x less the header shift S); a time is in the
    // current mode's units on the aligned axis (microseconds or logarithmic
    // units, node shifts included).

    // The time under chart x at `scrollValue`, in double precision.
    double timeAt(double chartX, int scrollValue) const;
    // The scroll value that puts `units` under chart x, rounded to the
    // nearest pixel, so the time stays within one pixel of x.
    int scrollFor(double units, double chartX) const;
    // zoomIn and zoomOut about chart x instead of the left edge: the time
    // under x stays under it. Zooming out stops, with nothing changed, when
    // canZoomOut is false.
    int zoomInAt(int scrollValue, double chartX);
    std::optional<int> zoomOutAt(int scrollValue, double chartX, int chartWidth, int lengthLin,
                                 int lengthLog);
    // Sets the current mode's scale so that [first, last] fills the chart
    // width less header and margin, and returns the scroll value that puts
    // `first` at the chart's left edge. A range shorter than one unit is
    // widened to one unit around its middle, so the scale stays finite.
    int fitRange(double first, double last, int chartWidth, int headerShift);

private:
    float m_linScale = 1.0f; // pixels per microsecond
    float m_logScale = 2.0f; // pixels per logarithmic unit
    bool m_logMode = false;
};
