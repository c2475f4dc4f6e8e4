#pragma once

#include "chart/chartrenderer.h"
#include "chart/nodeviewstate.h"

#include <QImage>
#include <QRect>

#include <vector>

class ViewItem;
class ViewRoot;

// The picture of an event chart's rows, kept between paints at the device
// pixel ratio. What it shows depends on two keys read at each update: the
// rows' key (the frame, the renderer's generation and what each row is and
// shows) and the overlays' key (the current node, and each node's selection
// and event list range, drawn under the events). A change of the rows' key
// paints the whole picture again; a change of the overlays' key alone draws
// again, from the primitives that paint kept, only where the old and the new
// overlays lie (everywhere for a new current node), which costs a small part
// of collecting them from the events; else the picture is reused.
class ChartPicture
{
public:
    enum Update { REUSED = 0, OVERLAYS_REDRAWN = 1, PAINTED = 2 };

    // Brings the picture up to date for `frame` at pixel ratio `ratio`
    // and tells what that took.
    Update update(ChartRenderer &renderer, ViewRoot &root, NodeViewStates &states,
                  const ChartRenderer::Frame &frame, qreal ratio);
    const QImage &image() const { return m_image; }
    Update lastUpdate() const { return m_lastUpdate; }

private:
    using Key = std::vector<qint64>;
    static Key rowsKey(const ChartRenderer &renderer, const ViewRoot &root, const ChartRenderer::Frame &frame,
                       qreal ratio);
    static void appendRows(const ViewItem &item, Key &key);
    static Key overlaysKey(const ViewRoot &root, const NodeViewStates &states);
    // Draws again from the kept primitives what the change to `overlays`
    // touches; false when the renderer kept none.
    bool redrawOverlays(ChartRenderer &renderer, QPainter &painter, ViewRoot &root, NodeViewStates &states,
                        const ChartRenderer::Frame &frame, const Key &overlays);

    QImage m_image;
    Key m_rowsKey;                     // empty: no picture on hand
    Key m_overlaysKey;                 // of the picture on hand
    std::vector<QRect> m_overlayRects; // where its hatching and selections lie, viewport pixels
    Update m_lastUpdate = PAINTED;
};
