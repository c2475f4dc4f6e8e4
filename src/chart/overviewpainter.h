#pragma once

#include "chart/activityprofile.h"
#include "chart/axistime.h"
#include "chart/overviewscale.h"

#include <QList>
#include <QRect>

#include <vector>

class QPainter;

// What one paint of the overview strip shows: the activity band of each node
// of the view, top to bottom in the order of its rows, the aligned times
// the chart shows, and the bookmarks' aligned times (microseconds).
struct OverviewContent
{
    const std::vector<ActivityProfile> *bands = nullptr;
    OverviewScale scale{1, 1};
    TimeSpan visible;
    QList<qint64> bookmarks;
    std::vector<int> matches; // columns of the strip holding a find match, ascending, each once
};

// Draws the overview strip: on a light ground, one band per node, shaded
// from the rows' white (idle) to a strong blue (busy all the time) over the
// columns the node has events for; a tick in the margins above and below the
// bands per column with a find match; a tick across the strip per bookmark; the
// visible range as a framed rectangle over it all.
class OverviewPainter
{
public:
    static constexpr int bandHeight = 7; // pixels per node, a 1 px gap included
    static constexpr int margin = 3;     // pixels above the first band and below the last

    // The strip's height for `nodeCount` bands; room for one without nodes.
    static int heightFor(int nodeCount);
    // The visible range's rectangle in `strip` (painter coordinates), the
    // strip's column 0 at `chartLeft`; at least 3 px wide, so that it can be
    // seen and grabbed however far the chart is zoomed in.
    static QRect visibleRect(const OverviewContent &content, const QRect &strip, int chartLeft);

    explicit OverviewPainter(QPainter &painter);

    // Paints `strip` whole; nothing of the bands lies left of `chartLeft`.
    void paint(const OverviewContent &content, const QRect &strip, int chartLeft) const;

private:
    void paintBand(const ActivityProfile &band, const QRect &row, int chartLeft) const;

    QPainter &m_painter;
};
