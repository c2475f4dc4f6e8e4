#pragma once

#include <QPoint>
#include <QRect>
#include <QRgb>

class DeferredPixels;
struct OpaqueIcon;
class QImage;
class QPainter;

// Writes opaque colours straight into the 32-bit image a painter paints on.
// Qt's raster engine spends about as much on each scanline of a fill as on
// a run of pixels, and the chart fills mostly one-pixel-wide runs: written
// here they cost a store each. Only valid while the painter would copy the
// colour unchanged: see available().
class RasterTarget
{
public:
    // Unusable: every call draws nothing.
    RasterTarget() = default;
    // The painter's image, when it paints on a 32-bit QImage of pixel ratio 1
    // clipped to at most one whole-pixel rectangle, without opacity or
    // transform beyond a whole-pixel translation, in source-over mode; else
    // an unusable target. Every write is cut to the clip. With `deferred`
    // active on the same image, writes of its colour are put off there, and
    // every other write cancels what it put off under it.
    explicit RasterTarget(QPainter &painter, DeferredPixels *deferred = nullptr);

    bool available() const { return m_bits != nullptr; }
    // Whether the painter maps logical pixels one to one onto device pixels
    // (at most a whole-pixel translation), so that a fill and an outline
    // covering the same pixels in logical coordinates do so on the device.
    static bool pixelAligned(const QPainter &painter);

    // Fills `rect` (the painter's logical coordinates), cut to the image and clip.
    // Colours that are not opaque must go through the painter instead.
    void fill(const QRect &rect, QRgb colour);
    // Whether every pixel of `rect` (logical coordinates) lies on the image;
    // the clip cuts what is written here as it cuts Qt's drawing.
    bool covers(const QRect &rect) const { return m_bits && m_image.contains(rect.translated(m_offset)); }
    // The image, in the painter's logical coordinates.
    QRect image() const { return m_image.translated(-m_offset); }
    // What may be written, in the painter's logical coordinates.
    QRect bounds() const { return m_bounds.translated(-m_offset); }
    // Whether the painter clips: Qt then strokes lines on its fast path already, and the clip stays.
    bool clipped() const { return m_clipped; }
    // One pixel, dropped outside the image and clip.
    void point(int x, int y, QRgb colour);
    // Before the painter draws within `rect` (logical coordinates): writes
    // what was put off there, so that the drawing lands over it.
    void flush(const QRect &rect) const;
    // Before the painter draws within `rect` only aliased opaque `colour`:
    // writes what was put off there in other colours. What is put off in
    // that colour may stay so.
    void flush(const QRect &rect, QRgb colour) const;
    // Writes the opaque pixels of `icon` with its top left at topLeft
    // (logical coordinates), as the painter draws it.
    void stamp(const QPoint &topLeft, const OpaqueIcon &icon);

private:
    friend class DeferredPixels;

    // The painter's clip (logical coordinates) when it is one whole-pixel rectangle; null when not.
    static QRect clipRect(const QPainter &painter);
    // `rect` (logical coordinates) moved into the image and cut to m_bounds,
    // as QRect's & gives it, without its call: a fitted paint asks this for
    // every pixel run it writes.
    QRect cutToBounds(const QRect &rect) const
    {
        if (rect.width() <= 0 || rect.height() <= 0 || m_bounds.isEmpty())
            return rect.translated(m_offset) & m_bounds;
        const int left = qMax(rect.left() + m_offset.x(), m_bounds.left());
        const int right = qMin(rect.right() + m_offset.x(), m_bounds.right());
        const int top = qMax(rect.top() + m_offset.y(), m_bounds.top());
        const int bottom = qMin(rect.bottom() + m_offset.y(), m_bounds.bottom());
        return left > right || top > bottom ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
    }

    uchar *m_bits = nullptr;
    qsizetype m_bytesPerLine = 0;
    QRect m_image;  // device pixels
    QRect m_bounds; // the image cut to the clip
    bool m_clipped = false;
    QPoint m_offset; // logical to image coordinates
    DeferredPixels *m_deferred = nullptr;
};
