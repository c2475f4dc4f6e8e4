#pragma once

#include "chart/chartmapper.h"
#include "chart/chartmetrics.h"
#include "chart/chartrenderer.h"
#include "chart/viewroot.h"

#include <QPen>
#include <QRect>

class ChartStyle;
class DeferredPixels;
struct DrawOp;

// What the passes of one paint share, made once: the frame, where events lie,
// the pens and what the paint covers.
struct PaintPass
{
    // `clip` in viewport coordinates; the chart's rows lie right of an
    // external header.
    PaintPass(const ChartRenderer::Frame &frame, ViewRoot &root, NodeViewStates &states,
              const ChartSettings &settings, ChartStyle &style, const QRect &clip);

    const ChartRenderer::Frame &frame;
    ViewRoot &root;
    NodeViewStates &states;
    const ChartSettings &settings;
    ChartStyle &style;
    const ChartMapper mapper;
    ChartGeometry geometry;
    bool internalHeader = false;
    // Merging hides a primitive under a later one: only sound when every
    // primitive replaces the pixels it covers.
    bool levelOfDetail = true;
    QPen black;
    QPen syncPen;
    QPen userPen;
    QPen transmitPen;
    QPen receivePen;
    QPen transmitHeadPen;
    QPen receiveHeadPen;
    // Bars are cut to a few pixels beyond the surface (painter coordinates):
    // zoomed far in, a long event's edges saturate at the ends of the int
    // range, and a rectangle that wide overflows QRect's width and is not
    // filled at all.
    int barLeftLimit = 0;
    int barRightLimit = 0;
    // What this paint covers, in the rows' coordinates: a row outside it is
    // not drawn, so it hides nothing of the rows that are.
    QRect clip;
    // While set, pixels of the sync pen's colour are put off: whatever the
    // painter draws must first flush them where it draws (see DeferredPixels).
    DeferredPixels *deferred = nullptr;

    // The events of the node whose task rows are being drawn: all its rows
    // visit the same ones, found once.
    struct Span
    {
        const ViewNode *node = nullptr;
        int right = 0; // the visible right edge, chart x
        ShownEvents events;
    };
    Span span;

    // The top of the item's row, viewport pixels.
    int rowTop(const ViewItem &item) const
    {
        return item.row() * ChartMetrics::rowHeight - frame.verticalScroll;
    }
    // False when nothing of the bar is left on the surface: it ends left of
    // it or starts right of it.
    bool clampBar(DrawOp &bar) const;
};
