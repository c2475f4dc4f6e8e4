#include "chart/arrowstamps.h"

#include <QImage>
#include <QPainter>
#include <QPen>
#include <QtMath>

namespace {

// Pixels around a shape's strokes within which the clip's edges may change
// how Qt cuts them; edges further off are as good as none.
constexpr int clipReach = 16;

} // namespace

std::array<QLineF, 2> ArrowStamps::headStrokes(const QPoint &from, const QPoint &to)
{
    // Two 12-pixel strokes at +-20 degrees to the reversed line direction.
    // Their ends are computed rather than drawn in a rotated painter: under a
    // rotation even an aliased pen leaves partly covered edge pixels, and a
    // head drawn twice would then differ from one drawn once.
    const qreal first = qDegreesToRadians(180.0 - QLineF(from, to).angle() + 20.0);
    const qreal second = first - qDegreesToRadians(40.0);
    const QPointF origin(to);
    return {QLineF(origin, origin + QPointF(12.0 * qCos(first), 12.0 * qSin(first))),
            QLineF(origin, origin + QPointF(12.0 * qCos(second), 12.0 * qSin(second)))};
}

const ArrowStamps::Runs *ArrowStamps::runs(const QPoint &tail, bool line, const QRect &clip)
{
    if (line && qAbs(tail.x()) > widestLean)
        return nullptr;
    const QPoint tip(0, 0);
    const bool head = hasHead(tail, tip);
    const QRect strokes = (line ? QRect(tail, tip).normalized() : QRect()) | (head ? headBox(tip) : QRect());
    const QRect near = clip & strokes.adjusted(-clipReach, -clipReach, clipReach, clipReach);
    static const Runs none;
    if (near.isEmpty())
        return &none;
    const Key key{tail.x(), tail.y(), int(line), near.left(), near.top(), near.right(), near.bottom()};
    const auto stored = m_shapes.find(key);
    if (stored != m_shapes.end())
        return &stored->second;
    // Zoomed in, nearly every arrow has a shape of its own: neither map may
    // grow without end.
    if (m_sightings.size() >= mostShapes)
        m_sightings.clear();
    if (++m_sightings[key] < storedAfter)
        return nullptr;
    m_sightings.erase(key);
    if (m_shapes.size() >= mostShapes)
        m_shapes.clear();
    return &m_shapes.emplace(key, draw(tail, line, near)).first->second;
}

ArrowStamps::Runs ArrowStamps::draw(const QPoint &tail, bool line, const QRect &clip)
{
    Runs runs;
    // Qt cuts a stroke at the clip and at the image's edge, and it matters
    // that the two coincide: the chart clips to its whole image.
    const QRect box = clip;
    QImage image(box.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.translate(-box.topLeft());
    painter.setClipRect(clip);
    // As the chart strokes an arrow: see PrimitivePainter::drawPacketArrow().
    painter.setPen(QPen(Qt::black, 1));
    const QPoint tip(0, 0);
    if (line)
        painter.drawLine(tail, tip);
    if (hasHead(tail, tip)) {
        for (const QLineF &stroke : headStrokes(tail, tip))
            painter.drawLine(stroke);
    }
    painter.end();
    const auto set = [&image](int x, int y) {
        return qAlpha(reinterpret_cast<const QRgb *>(image.constScanLine(y))[x]) != 0;
    };
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (!set(x, y))
                continue;
            const int top = y;
            while (y + 1 < image.height() && set(x, y + 1))
                ++y;
            runs.push_back(Run{box.left() + x, box.top() + top, y - top + 1});
        }
    }
    return runs;
}
