#pragma once

#include "chart/arrowstamps.h"
#include "chart/rastertarget.h"

#include <QBrush>
#include <QLineF>
#include <QRect>

#include <array>

class QPainter;
class QPen;
class QPixmap;
struct DrawOp;
struct PaintPass;

// Draws the primitives of one task row. Literal drawing makes the calls the
// chart has always been drawn with (a filled rectangle and its outline, lines); the
// fast drawing reaches the same pixels with solid fills only where a
// primitive is made of axis-aligned runs, which costs a fraction per call,
// and on a plain image writes them itself. Scaled or moved by part of a
// pixel, the two would differ: drawing is literal then.
class PrimitivePainter
{
public:
    // `groupRect` is the rectangle of the row's task group, over which
    // markers are drawn.
    PrimitivePainter(QPainter &painter, const PaintPass &pass, const QRect &groupRect, bool literal);
    ~PrimitivePainter();
    PrimitivePainter(const PrimitivePainter &) = delete;
    PrimitivePainter &operator=(const PrimitivePainter &) = delete;

    void draw(const DrawOp &op);

private:
    void drawBar(const DrawOp &op);
    void drawMarker(const DrawOp &op);
    void drawHubArrow(const DrawOp &op);
    void drawPacketArrow(const DrawOp &op);
    // Draws a packet arrow from its stored shape, or nothing where none of
    // it shows; false when the painter must stroke it.
    bool drawStoredArrow(const QPoint &from, const QPoint &to, bool head);
    void writeRuns(const QPoint &tip, const ArrowStamps::Runs &runs, QRgb colour);
    // A packet arrow's head, stroked by the painter.
    void drawHeadStrokes(const QPoint &from, const QPoint &to);
    // The head of an arrow to or from a hub: two strokes from headY, four
    // pixels left and right of x, to `to`.
    void drawHubArrowHead(int x, int headY, const QPoint &to, const QPen &pen);
    // A 1-pixel solid line from (x, y0) to (x, y1), both ends included.
    void verticalLine(int x, int y0, int y1, const QPen &pen);
    const QBrush &barBrush(int variant, int top, int bottom);
    void setPen(const QPen &pen);
    // Around the lines the painter strokes on a plain image: see m_clippedToImage.
    void clipToImage(bool on);
    // A solid fill: straight into the image where it can be, else by the painter.
    void fill(const QRect &rect, const QColor &colour);
    // Before the painter draws within `rect` grown by `margin` pixels: see PaintPass::deferred.
    void beforePainter(const QRect &rect, int margin = 0) const;
    void paintPixmap(const QPoint &at, const QPixmap &pixmap);

    QPainter &m_painter;
    const PaintPass &m_pass;
    const QRect m_group;
    const bool m_literal;
    RasterTarget m_raster;       // usable only for fast drawing on a plain image
    bool m_rasterArrows = false; // vertical packet arrows written into the image
    const QPen *m_pen = nullptr; // the pen last set, to skip setting it again
    // Unclipped, Qt's raster engine strokes an aliased line through its
    // general span blending, two to three times slower per pixel than with a
    // clip rectangle, where it writes each pixel itself. Clipped to the whole
    // image, an opaque 1-pixel line comes out the same, even where it runs
    // off the image; a pixmap cut by the image's edge may not. So the clip
    // stays on from one packet arrow to the next and is lifted before
    // anything else.
    bool m_clippedToImage = false;
    std::array<QBrush, 3> m_barBrushes;
    int m_brushTop = -1;
    int m_brushBottom = -1;
};
