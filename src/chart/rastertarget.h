#pragma once

#include <QPoint>
#include <QRect>
#include <QRgb>

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
    // without clipping, opacity or transform beyond a whole-pixel translation,
    // in source-over mode; else an unusable target.
    explicit RasterTarget(QPainter &painter);

    bool available() const { return m_bits != nullptr; }
    // Whether the painter maps logical pixels one to one onto device pixels
    // (at most a whole-pixel translation), so that a fill and an outline
    // covering the same pixels in logical coordinates do so on the device.
    static bool pixelAligned(const QPainter &painter);

    // Fills `rect` (the painter's logical coordinates), cut to the image.
    // Colours that are not opaque must go through the painter instead.
    void fill(const QRect &rect, QRgb colour);
    // Whether every pixel of `rect` (logical coordinates) lies on the image.
    bool covers(const QRect &rect) const
    {
        return m_bits && QRect(0, 0, m_width, m_height).contains(rect.translated(m_offset));
    }
    // The whole image in the painter's logical coordinates.
    QRect imageRect() const { return QRect(0, 0, m_width, m_height).translated(-m_offset); }
    // One pixel, dropped outside the image.
    void point(int x, int y, QRgb colour)
    {
        x += m_offset.x();
        y += m_offset.y();
        if (x >= 0 && y >= 0 && x < m_width && y < m_height)
            reinterpret_cast<QRgb *>(m_bits + y * m_bytesPerLine)[x] = colour;
    }

private:
    uchar *m_bits = nullptr;
    qsizetype m_bytesPerLine = 0;
    int m_width = 0;
    int m_height = 0;
    QPoint m_offset; // logical to image coordinates
};
