#pragma once

#include "chart/timescale.h"
#include "trace/traceevent.h"

class Node;

// The events [first, end) of a node that a stretch of the chart shows; first
// is -1 and end 0 when there are none.
struct ShownEvents
{
    int first = -1;
    int end = 0;
};

// Between a node's time axis and the chart's x, at one scale, mode and
// horizontal scroll: built once per paint and once per mouse event.
//
// x is in pixels, 0 at the chart's left edge (right of an external header).
// Times are microseconds since the node's first event in linear mode,
// logarithmic units in logarithmic mode. `shift` is the node's clock offset
// from the alignment in microseconds; logarithmic mode ignores it (its views
// show one node, whose shift is 0). Positions are computed in single
// precision as the painted chart has always done; every conversion to a
// pixel truncates toward zero and saturates at the ends of the int range
// (only reachable by zooming in without end).
class ChartMapper
{
public:
    ChartMapper(float scale, bool logMode, int horizontalScroll);
    // The current mode and scale of `scale`.
    ChartMapper(const TimeScale &scale, int horizontalScroll);

    bool logMode() const { return m_logMode; }
    // Pixels per microsecond, or per logarithmic unit.
    float scale() const { return m_scale; }
    int horizontalScroll() const { return m_scroll; } // pixels

    // x of the event's first pixel.
    int leftX(const TraceEvent &event, int shift) const
    {
        return leftX(event.offset, event.logPosition, shift);
    }
    // The same from an event's positions on the two axes.
    int leftX(quint32 offset, float logPosition, int shift) const;
    // x of the event's last pixel: one pixel left of where the next event
    // starts, so an event without duration gets left x - 1 (and, truncated
    // toward zero, left x itself when it starts inside the first pixel).
    int rightX(const TraceEvent &event, int shift) const;
    // How many pixels `units` of time cover, truncated; for an event its
    // duration (not right x - left x + 1, whose ends are truncated apart).
    int widthOf(float units) const { return TimeScaleDetail::toPixel(double(m_scale * units)); }
    int widthOf(const TraceEvent &event) const { return widthOf(duration(event)); }
    // Half of widthOf, truncated on its own: where a hub arrow stands right
    // of its event's left x.
    int halfWidthOf(float units) const { return TimeScaleDetail::toPixel(double(m_scale * units * 0.5f)); }
    int halfWidthOf(const TraceEvent &event) const { return halfWidthOf(duration(event)); }
    // x of a time of the aligned axis (microseconds, shift included) or of a
    // logarithmic position, in the precision events are placed in.
    int xAt(float units) const { return TimeScaleDetail::toPixel(units * m_scale - m_fScroll); }
    // The left end of the node's rows: its first event's x, truncated before
    // the scroll is taken off. Not clamped to the int range.
    qint64 rowLeft(const Node &node, int shift) const;

    // The time under x; negative left of the node's first event.
    float timeAt(int x, int shift) const;
    // The time a move of `pixels` covers.
    float timeSpan(int pixels) const { return float(pixels) / m_scale; }
    // Whether the node's time 0 lies exactly at the chart's left edge.
    bool originAtLeftEdge(int shift) const;
    // The event whose time slice holds the time under x, truncated to a whole
    // unit (see Node::firstEventAt); -1 right of the node's last event.
    int eventUnder(const Node &node, int x, int shift) const;
    // The events a paint of the node's rows from x = left to x = right visits:
    // from the one running at `left`, its time counted from the rows' left end
    // as they are laid out, to the last that starts at or before the time
    // under `right`. That end is found by bisection where the node's positions
    // never decrease, else it is the first event beyond `right`.
    ShownEvents eventsBetween(const Node &node, int shift, int left, int right) const;

private:
    float duration(const TraceEvent &event) const
    {
        return m_logMode ? event.logDuration : float(event.duration);
    }
    float shiftIn(int shift) const { return m_logMode ? 0.0f : float(shift); }
    // Offsets reach 2^32 - 1 us and shifts may be negative while a node is
    // dragged, so the sum is taken in 64 bits before it becomes a float.
    static float shifted(quint32 offset, qint64 extra, int shift)
    {
        return float(qint64(offset) + extra + shift);
    }

    float m_scale;
    bool m_logMode;
    int m_scroll;    // pixels
    float m_fScroll; // the same in the precision positions are computed in
};

// Positions are asked for every event painted: kept inline.
inline int ChartMapper::leftX(quint32 offset, float logPosition, int shift) const
{
    using TimeScaleDetail::toPixel;
    if (m_logMode)
        return toPixel(logPosition * m_scale - m_fScroll);
    return toPixel(shifted(offset, 0, shift) * m_scale - m_fScroll);
}

inline int ChartMapper::rightX(const TraceEvent &event, int shift) const
{
    using TimeScaleDetail::toPixel;
    // The pixel position is a float; the last pixel is taken one to its left
    // in double, as the painted chart does.
    if (m_logMode)
        return toPixel(double((event.logPosition + event.logDuration) * m_scale - m_fScroll) - 1.0);
    return toPixel(double(shifted(event.offset, event.duration, shift) * m_scale - m_fScroll) - 1.0);
}
