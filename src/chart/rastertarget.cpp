#include "chart/rastertarget.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QRegion>
#include <QTransform>

#include <algorithm>
#include <cmath>

RasterTarget::RasterTarget(QPainter &painter)
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
    const QRect cut = rect.translated(m_offset) & m_bounds;
    if (!m_bits || cut.isEmpty())
        return;
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

bool RasterTarget::pixelAligned(const QPainter &painter)
{
    const QTransform transform = painter.deviceTransform();
    return transform.type() <= QTransform::TxTranslate && transform.dx() == std::round(transform.dx()) &&
           transform.dy() == std::round(transform.dy());
}
