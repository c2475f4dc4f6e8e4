#include "chart/primitivepainter.h"

#include "chart/chartstyle.h"
#include "chart/drawop.h"
#include "chart/paintpass.h"

#include <QImage>
#include <QLinearGradient>
#include <QLineF>
#include <QPainter>
#include <QtMath>

namespace {

constexpr int H = ChartMetrics::rowHeight;

// Bar fills by variant: 0 a task switch, 1 the same task goes on, 2 another
// task follows. The flat and the gradient palettes pair hues differently.
const QRgb flatFills[3] = {0x80ff80, 0xff8080, 0x8080ff};
const QRgb gradientStops[3][4] = {
    {0x8080ff, 0xffffff, 0x8080ff, 0x4040c0},
    {0x80ff80, 0xffffff, 0x80ff80, 0x40c040},
    {0xff8080, 0xffffff, 0xff8080, 0xc04040},
};

} // namespace

PrimitivePainter::PrimitivePainter(QPainter &painter, const PaintPass &pass, const QRect &groupRect,
                                   bool literal)
    : m_painter(painter)
    , m_pass(pass)
    , m_group(groupRect)
    , m_literal(literal || !RasterTarget::pixelAligned(painter))
{
    if (!m_literal)
        m_raster = RasterTarget(painter, pass.deferred);
    const QColor &arrowColour = pass.syncPen.color();
    m_rasterArrows =
        m_raster.available() && arrowColour.alpha() == 255 && pass.syncPen == QPen(arrowColour, 1);
}

PrimitivePainter::~PrimitivePainter()
{
    // The clip to the image was this painter's own.
    clipToImage(false);
}

void PrimitivePainter::clipToImage(bool on)
{
    // A painter that clips already takes Qt's fast path, and keeps its clip.
    if (on == m_clippedToImage || !m_raster.available() || m_raster.clipped())
        return;
    if (on)
        m_painter.setClipRect(m_raster.bounds());
    else
        m_painter.setClipping(false);
    m_clippedToImage = on;
}

void PrimitivePainter::draw(const DrawOp &op)
{
    if (op.kind != DrawOp::PacketArrow)
        clipToImage(false);
    switch (op.kind) {
    case DrawOp::Bar:
        drawBar(op);
        break;
    case DrawOp::Connector:
        verticalLine(op.p[0], op.p[1], op.p[3], m_pass.black);
        break;
    case DrawOp::SyncMarker:
    case DrawOp::UserMarker:
        drawMarker(op);
        break;
    case DrawOp::HubArrow:
        drawHubArrow(op);
        break;
    case DrawOp::PacketArrow:
        drawPacketArrow(op);
        break;
    }
}

void PrimitivePainter::setPen(const QPen &pen)
{
    if (m_pen != &pen) {
        m_painter.setPen(pen);
        m_pen = &pen;
    }
}

const QBrush &PrimitivePainter::barBrush(int variant, int top, int bottom)
{
    if (m_brushTop != top || m_brushBottom != bottom) {
        // All bars of a row share their top and bottom: one brush per variant and row.
        for (int v = 0; v < 3; ++v) {
            if (m_pass.settings.gradientBars) {
                QLinearGradient gradient(0, top, 0, bottom);
                gradient.setColorAt(0.0, QColor(gradientStops[v][0]));
                gradient.setColorAt(0.25, QColor(gradientStops[v][1]));
                gradient.setColorAt(0.5, QColor(gradientStops[v][2]));
                gradient.setColorAt(1.0, QColor(gradientStops[v][3]));
                m_barBrushes[size_t(v)] = QBrush(gradient);
            } else {
                m_barBrushes[size_t(v)] = QBrush(QColor(flatFills[v]));
            }
        }
        m_brushTop = top;
        m_brushBottom = bottom;
    }
    return m_barBrushes[size_t(variant)];
}

void PrimitivePainter::drawBar(const DrawOp &op)
{
    const auto &p = op.p;
    const QRect rect(QPoint(p[0], p[1]), QPoint(p[2], p[3]));
    const QBrush &brush = barBrush(p[4], p[1], p[3]);
    const int w = rect.width();
    if (m_literal || w < 0) {
        beforePainter(rect.normalized(), 1);
        m_painter.fillRect(rect, brush);
        setPen(m_pass.black);
        m_painter.setBrush(Qt::NoBrush);
        m_painter.drawRect(rect);
        return;
    }
    // An aliased 1-pixel outline of a w x h rectangle covers w + 1 by h + 1
    // pixels and leaves w - 1 by h - 1 of the fill inside.
    fill(QRect(rect.left(), rect.top(), w + 1, rect.height() + 1), m_pass.black.color());
    if (w < 2)
        return;
    const QRect inside(rect.left() + 1, rect.top() + 1, w - 1, rect.height() - 1);
    if (brush.style() == Qt::SolidPattern) {
        fill(inside, brush.color());
        return;
    }
    // The outline's fill above dropped whatever was put off under the bar.
    m_painter.fillRect(inside, brush);
}

void PrimitivePainter::drawMarker(const DrawOp &op)
{
    // Over the task group: the icon on the "Tasks" row, the line down its
    // task rows, a square at each end.
    const int x = op.p[0];
    const bool sync = op.kind == DrawOp::SyncMarker;
    const ChartSettings &settings = m_pass.settings;
    const QColor &colour = sync ? settings.syncMarkerColor : settings.userMarkerColor;
    if (!sync)
        paintPixmap(QPoint(x - 1, m_group.top()), m_pass.style.userMarkerIcon());
    verticalLine(x, m_group.top() + H, m_group.bottom() + 1, sync ? m_pass.syncPen : m_pass.userPen);
    if (sync && settings.showSyncMarkerIcons)
        paintPixmap(QPoint(x - 8, m_group.top()), m_pass.style.markerIcon(op.p[1], m_pass.frame.catalogue));
    fill(QRect(x - 2, m_group.top() + H - 5, 5, 5), colour);
    fill(QRect(x - 2, m_group.bottom() + 2, 5, 5), colour);
}

void PrimitivePainter::drawHubArrow(const DrawOp &op)
{
    const int x = op.p[0];
    const int top = op.p[1];
    const int bottom = op.p[2];
    const int hy = op.p[3];
    const bool send = op.p[4] != 0;
    const bool below = op.p[5] != 0;
    QPoint from;
    QPoint to;
    int headY;
    if (send) {
        from = below ? QPoint(x, bottom + 3) : QPoint(x, top - 1);
        to = below ? QPoint(x, hy + 4) : QPoint(x, hy + 14);
        headY = below ? hy : hy + H;
    } else {
        from = below ? QPoint(x, hy + 4) : QPoint(x, hy + 14);
        to = below ? QPoint(x, bottom + 3) : QPoint(x, top);
        headY = below ? bottom + 7 : top - 4;
    }
    verticalLine(x, from.y(), to.y(), send ? m_pass.transmitPen : m_pass.receivePen);
    drawHubArrowHead(x, headY, to, send ? m_pass.transmitHeadPen : m_pass.receiveHeadPen);
    const ChartSettings &settings = m_pass.settings;
    fill(QRect(x - 7, hy + 5, 14, 8), send ? settings.transmitColor : settings.receiveColor);
}

void PrimitivePainter::drawPacketArrow(const DrawOp &op)
{
    const QPoint from(op.p[0], op.p[1]);
    const QPoint to(op.p[2], op.p[3]);
    const bool head = ArrowStamps::hasHead(from, to);
    if (m_rasterArrows && drawStoredArrow(from, to, head))
        return;
    // The pen is aliased, and opaque or not put off.
    const QRgb rgb = m_pass.syncPen.color().rgba();
    const int width = m_pass.syncPen.width();
    m_raster.flush(QRect(from, to).normalized().adjusted(-width, -width, width, width), rgb);
    if (head)
        m_raster.flush(ArrowStamps::headBox(to).adjusted(-width, -width, width, width), rgb);
    clipToImage(m_rasterArrows);
    setPen(m_pass.syncPen);
    m_painter.drawLine(from, to);
    if (head) {
        for (const QLineF &stroke : ArrowStamps::headStrokes(from, to))
            m_painter.drawLine(stroke);
    }
}

bool PrimitivePainter::drawStoredArrow(const QPoint &from, const QPoint &to, bool head)
{
    // The painter strokes an arrow clipped to the image (see clipToImage());
    // a clip of its own cuts that, as the raster target's writes are cut.
    const QRect headBox = ArrowStamps::headBox(to);
    const QRect strokes = QRect(from, to).normalized() | (head ? headBox : QRect());
    if (!strokes.adjusted(-1, -1, 1, 1).intersects(m_raster.bounds()))
        return true; // nothing of it shows
    const QRgb rgb = m_pass.syncPen.color().rgba();
    const QRect image = m_raster.image().translated(-to);
    if (from.x() == to.x()) {
        // Fitted to a long trace, a packet's flight is far shorter than a
        // pixel column: most arrows are vertical, a run and a head of one
        // of two shapes.
        m_raster.fill(QRect(from.x(), qMin(from.y(), to.y()), 1, qAbs(to.y() - from.y()) + 1), rgb);
        if (!head)
            return true;
        const QPoint tail(0, from.y() < to.y() ? -16 : 16);
        const ArrowStamps::Runs *runs = m_pass.style.arrowStamps().runs(tail, false, image);
        if (runs)
            writeRuns(to, *runs, rgb);
        else
            drawHeadStrokes(from, to);
        return true;
    }
    // A leaning arrow cut by the image's edge would be stored once per
    // place it is cut at.
    if (!image.contains(strokes.translated(-to)))
        return false;
    const ArrowStamps::Runs *runs = m_pass.style.arrowStamps().runs(from - to, true, image);
    if (!runs)
        return false;
    writeRuns(to, *runs, rgb);
    return true;
}

void PrimitivePainter::writeRuns(const QPoint &tip, const ArrowStamps::Runs &runs, QRgb colour)
{
    for (const ArrowStamps::Run &run : runs)
        m_raster.fill(QRect(tip.x() + run.x, tip.y() + run.y, 1, run.height), colour);
}

void PrimitivePainter::drawHeadStrokes(const QPoint &from, const QPoint &to)
{
    const int width = m_pass.syncPen.width();
    m_raster.flush(ArrowStamps::headBox(to).adjusted(-width, -width, width, width),
                   m_pass.syncPen.color().rgba());
    clipToImage(true);
    setPen(m_pass.syncPen);
    for (const QLineF &stroke : ArrowStamps::headStrokes(from, to))
        m_painter.drawLine(stroke);
}

void PrimitivePainter::verticalLine(int x, int y0, int y1, const QPen &pen)
{
    if (m_literal || pen.style() != Qt::SolidLine || pen.width() > 1) {
        beforePainter(QRect(QPoint(x, y0), QPoint(x, y1)).normalized(), pen.width() + 1);
        setPen(pen);
        m_painter.drawLine(x, y0, x, y1);
        return;
    }
    fill(QRect(x, qMin(y0, y1), 1, qAbs(y1 - y0) + 1), pen.color());
}

void PrimitivePainter::fill(const QRect &rect, const QColor &colour)
{
    if (m_raster.available() && colour.alpha() == 255) {
        m_raster.fill(rect, colour.rgba());
        return;
    }
    beforePainter(rect);
    m_painter.fillRect(rect, colour);
}

void PrimitivePainter::beforePainter(const QRect &rect, int margin) const
{
    m_raster.flush(rect.adjusted(-margin, -margin, margin, margin));
}

void PrimitivePainter::paintPixmap(const QPoint &at, const QPixmap &pixmap)
{
    const OpaqueIcon *icon = m_pass.style.opaqueIcon(pixmap);
    if (icon && m_raster.available()) {
        m_raster.stamp(at, *icon);
        return;
    }
    beforePainter(QRect(at, pixmap.deviceIndependentSize().toSize()), 1);
    m_painter.drawPixmap(at, pixmap);
}

void PrimitivePainter::drawHubArrowHead(int x, int headY, const QPoint &to, const QPen &pen)
{
    const QColor colour = pen.color();
    // Both strokes run at 45 degrees, four pixels across and down: an
    // aliased pen one pixel wide covers one pixel per row of each, ends
    // included.
    if (!m_literal && m_raster.available() && pen.width() <= 1 && pen.style() == Qt::SolidLine &&
        colour.alpha() == 255 && qAbs(to.y() - headY) == 4 && to.x() == x) {
        const int dy = to.y() > headY ? 1 : -1;
        for (int k = 0; k <= 4; ++k) {
            m_raster.point(x - 4 + k, headY + dy * k, colour.rgba());
            m_raster.point(x + 4 - k, headY + dy * k, colour.rgba());
        }
        return;
    }
    beforePainter(
        QRect(QPoint(x - 4, headY), to).normalized().united(QRect(QPoint(x + 4, headY), to).normalized()),
        pen.width() + 1);
    setPen(pen);
    m_painter.drawLine(QPoint(x - 4, headY), to);
    m_painter.drawLine(QPoint(x + 4, headY), to);
}
