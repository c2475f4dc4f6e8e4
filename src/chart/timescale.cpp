#include "chart/timescale.h"

#include <QtGlobal>

#include <cmath>
#include <limits>

using TimeScaleDetail::toPixel;

namespace {

// chart width / length, less an ulp where the quotient was rounded up: then
// L × scale would exceed the width in single precision, and the chart would
// offer a zoom-out that only fits the scale again (one fit in about 25).
float fittedLinScale(int chartWidth, int units)
{
    float scale = float(chartWidth) / float(units);
    while (float(units) * scale > float(chartWidth))
        scale = std::nextafter(scale, 0.0f);
    return scale;
}

} // namespace

bool TimeScale::setLinearMode(bool linear)
{
    if (linear != m_logMode)
        return false;
    m_logMode = !linear;
    return true;
}

int TimeScale::contentWidth(int lengthLin, int lengthLog, int headerShift) const
{
    return toPixel(double(float(length(lengthLin, lengthLog)) * scale() + float(headerShift)) + 3.0);
}

bool TimeScale::canZoomOut(int chartWidth, int lengthLin, int lengthLog) const
{
    return float(chartWidth) < float(length(lengthLin, lengthLog)) * scale();
}

bool TimeScale::fitToWidth(const Viewport &viewport)
{
    const int available = viewport.chartWidth - 3 - viewport.headerShift;
    if (contentWidth(viewport.lengthLin, viewport.lengthLog, viewport.headerShift) >= available)
        return false;
    // Every viewed node a single event, or all at one time: there is nothing
    // to spread over the width, and dividing by the length would give inf.
    const int units = length(viewport.lengthLin, viewport.lengthLog);
    if (units <= 0)
        return false;
    if (m_logMode)
        m_logScale = float(available) / float(units);
    else
        m_linScale = fittedLinScale(viewport.chartWidth, units);
    return true;
}

TimeScale::Layout TimeScale::relayout(const Viewport &viewport)
{
    Viewport fitted = viewport;
    if (!viewport.hasRoot) {
        fitted.lengthLin = 0;
        fitted.lengthLog = 0;
        fitted.visibleRowCount = 0;
    }

    Layout layout;
    if (fitToWidth(fitted))
        layout.state = SCALE_CHANGED;
    layout.canvasWidth = contentWidth(fitted.lengthLin, fitted.lengthLog, fitted.headerShift);
    // The rows shown, two spare rows and 1 px.
    layout.canvasHeight = (fitted.visibleRowCount + 2) * fitted.rowHeight + 1;
    layout.horizontalPageStep = viewport.chartWidth;
    layout.verticalPageStep = viewport.chartHeight;
    if (viewport.hasRoot) {
        layout.horizontalMaximum = qMax(0, layout.canvasWidth - viewport.chartWidth);
        layout.verticalMaximum = qMax(0, layout.canvasHeight - viewport.chartHeight);
    }
    return layout;
}

int TimeScale::zoomIn(int scrollValue)
{
    const float factor = zoomFactor();
    if (m_logMode)
        m_logScale *= factor;
    else
        m_linScale *= factor;
    return toPixel(float(scrollValue) * factor);
}

std::optional<int> TimeScale::zoomOut(int scrollValue, int chartWidth, int lengthLin, int lengthLog)
{
    if (!canZoomOut(chartWidth, lengthLin, lengthLog))
        return std::nullopt;
    const float factor = zoomFactor();
    if (m_logMode)
        m_logScale /= factor;
    else
        m_linScale /= factor;
    return toPixel(float(scrollValue) / factor);
}

double TimeScale::timeAt(double chartX, int scrollValue) const
{
    return (chartX + double(scrollValue)) / double(scale());
}

int TimeScale::scrollFor(double units, double chartX) const
{
    return toPixel(std::round(units * double(scale()) - chartX));
}

int TimeScale::zoomInAt(int scrollValue, double chartX)
{
    const double anchor = timeAt(chartX, scrollValue);
    zoomIn(scrollValue);
    return scrollFor(anchor, chartX);
}

std::optional<int> TimeScale::zoomOutAt(int scrollValue, double chartX, int chartWidth, int lengthLin,
                                        int lengthLog)
{
    const double anchor = timeAt(chartX, scrollValue);
    if (!zoomOut(scrollValue, chartWidth, lengthLin, lengthLog))
        return std::nullopt;
    return scrollFor(anchor, chartX);
}

int TimeScale::fitRange(double first, double last, int chartWidth, int headerShift)
{
    if (last - first < 1.0) {
        const double middle = (first + last) / 2.0;
        first = middle - 0.5;
        last = middle + 0.5;
    }
    const int available = qMax(1, chartWidth - 3 - headerShift);
    // Rounded down to a float that keeps the range inside the width, as the
    // whole-chart fit does: otherwise a fit of everything would still offer a
    // zoom-out.
    float fitted = float(double(available) / (last - first));
    while (double(fitted) * (last - first) > double(available))
        fitted = std::nextafter(fitted, 0.0f);
    if (m_logMode)
        m_logScale = fitted;
    else
        m_linScale = fitted;
    return scrollFor(first, 0.0);
}
