#include "chart/rastertarget.h"

#include "chart/deferredpixels.h"
#include "chart/opaqueicon.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QRegion>
#include <QTransform>

#include <algorithm>
#include <cmath>

RasterTarget::RasterTarget(QPainter &painter, DeferredPixels *deferred)
{
    QPaintDevice *device = painter.device();
    if (!painter.isActive() || !device || device->devType() != QInternal::Image)
        return;
    auto *image = static_cast<QImage *>(device);
    switch (image->format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        break;
    default:
        return;
    }
    // A system clip (a paint event's region) is not the painter's clipping:
    // the engine tells of it.
    const QPaintEngine *engine = painter.paintEngine();
    if (image->devicePixelRatio() != 1.0 || !engine || !engine->systemClip().isEmpty() ||
        painter.opacity() != 1.0 || painter.compositionMode() != QPainter::CompositionMode_SourceOver)
        return;
    if (!pixelAligned(painter))
        return;
    const QTransform transform = painter.deviceTransform();
    m_offset = QPoint(int(transform.dx()), int(transform.dy()));
    m_image = image->rect();
    m_bounds = m_image;
    m_clipped = painter.hasClipping();
    if (m_clipped) {
        const QRect clip = clipRect(painter);
        if (clip.isNull())
            return;
        m_bounds &= clip.translated(m_offset);
    }
    // Not bits(): that would detach a shared image from the buffer the
    // painter took when it began.
    m_bits = const_cast<uchar *>(image->constBits());
    m_bytesPerLine = image->bytesPerLine();
    if (deferred && deferred->writesInto(m_bits))
        m_deferred = deferred;
}

QRect RasterTarget::clipRect(const QPainter &painter)
{
    // A region of one rectangle, exactly the clip's bounds: no path, no
    // fraction of a pixel.
    const QRegion region = painter.clipRegion();
    const QRectF bounds = painter.clipBoundingRect();
    if (region.rectCount() != 1 || QRectF(region.boundingRect()) != bounds)
        return QRect();
    return region.boundingRect();
}

void RasterTarget::fill(const QRect &rect, QRgb colour)
{
    const QRect cut = cutToBounds(rect);
    if (!m_bits || cut.isEmpty())
        return;
    if (m_deferred && m_deferred->writesInto(m_bits)) {
        if (const int slot = m_deferred->slotOf(colour); slot >= 0) {
            m_deferred->add(slot, cut);
            return;
        }
        m_deferred->cover(cut);
    }
    uchar *line = m_bits + cut.top() * m_bytesPerLine;
    if (cut.width() == 1) {
        // The chart's vertical lines: one store per scanline.
        line += cut.left() * qsizetype(sizeof(QRgb));
        for (int y = cut.top(); y <= cut.bottom(); ++y, line += m_bytesPerLine)
            *reinterpret_cast<QRgb *>(line) = colour;
        return;
    }
    for (int y = cut.top(); y <= cut.bottom(); ++y, line += m_bytesPerLine) {
        QRgb *pixel = reinterpret_cast<QRgb *>(line) + cut.left();
        std::fill(pixel, pixel + cut.width(), colour);
    }
}

void RasterTarget::point(int x, int y, QRgb colour)
{
    x += m_offset.x();
    y += m_offset.y();
    if (!m_bounds.contains(x, y))
        return;
    if (m_deferred && m_deferred->writesInto(m_bits)) {
        if (const int slot = m_deferred->slotOf(colour); slot >= 0) {
            m_deferred->add(slot, x, y);
            return;
        }
        m_deferred->cover(QRect(x, y, 1, 1));
    }
    reinterpret_cast<QRgb *>(m_bits + y * m_bytesPerLine)[x] = colour;
}

void RasterTarget::flush(const QRect &rect) const
{
    if (m_deferred && m_deferred->writesInto(m_bits))
        m_deferred->flushDevice(cutToBounds(rect));
}

void RasterTarget::flush(const QRect &rect, QRgb colour) const
{
    if (m_deferred && m_deferred->writesInto(m_bits))
        m_deferred->flushDevice(cutToBounds(rect), m_deferred->slotOf(colour));
}

void RasterTarget::stamp(const QPoint &topLeft, const OpaqueIcon &icon)
{
    const QPoint at = topLeft + m_offset;
    const QRect cut = QRect(at, icon.size) & m_bounds;
    if (!m_bits || cut.isEmpty())
        return;
    if (m_deferred && m_deferred->writesInto(m_bits))
        m_deferred->cover(at, icon);
    for (const OpaqueIcon::Run &run : icon.runs) {
        const int y = at.y() + run.y;
        const int left = qMax(at.x() + run.x, cut.left());
        const int right = qMin(at.x() + run.x + run.length - 1, cut.right());
        if (y < cut.top() || y > cut.bottom() || left > right)
            continue;
        const QRgb *from = icon.colours.data() + run.first + (left - at.x() - run.x);
        std::copy(from, from + (right - left + 1),
                  reinterpret_cast<QRgb *>(m_bits + y * m_bytesPerLine) + left);
    }
}

bool RasterTarget::pixelAligned(const QPainter &painter)
{
    const QTransform transform = painter.deviceTransform();
    return transform.type() <= QTransform::TxTranslate && transform.dx() == std::round(transform.dx()) &&
           transform.dy() == std::round(transform.dy());
}
