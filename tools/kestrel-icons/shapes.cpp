#include "shapes.h"

#include <QtMath>

namespace Shapes {

void taskBar(const IconPainter &ip, const QRect &cells)
{
    // Two tones, like the shaded bars of the chart.
    ip.box(cells, Palette::Green);
    const int s = ip.stroke();
    const int inner = cells.height() - 2 * s;
    ip.fillRect(QRect(cells.left() + s, cells.top() + s, cells.width() - 2 * s, inner / 2),
                Palette::GreenLight);
    // The start corner, as the chart marks the start of a row's item.
    const qreal x = cells.left() + s;
    const qreal y = cells.top() + s;
    const qreal leg = qMin(cells.height() - 2 * s, 3 * s);
    QPainterPath corner;
    corner.moveTo(x, y);
    corner.lineTo(x + leg, y);
    corner.lineTo(x, y + leg);
    corner.closeSubpath();
    ip.fillShape(corner, Palette::Ink);
}

void hubPipe(const IconPainter &ip, const QRect &cells)
{
    const int s = ip.stroke();
    ip.box(cells, Palette::Mist, 1.5 * s);
    // Packets waiting in the queue; one pixel of air between them and the wall.
    const QRect inner = cells.adjusted(2 * s, 2 * s, -2 * s, -2 * s);
    const int count = 3;
    const int gap = s;
    const int width = (inner.width() - (count - 1) * gap) / count;
    const int lead = (inner.width() - (count * width + (count - 1) * gap)) / 2;
    for (int i = 0; i < count; ++i)
        ip.fillRect(QRect(inner.left() + lead + i * (width + gap), inner.top(), width, inner.height()),
                    Palette::Violet);
}

namespace {

// Pin positions along one edge of a chip, relative to the edge's start: a stroke wide with at
// least a stroke of air between them; three when they clear the corners, else two.
QList<qreal> pinOffsets(int length, int s)
{
    const int period = qMax(2 * s, (length + 1) / 4);
    const qreal centre = length / 2.0 - s / 2.0;
    if (2 * period + s <= length - 2 * s)
        return {centre - period, centre, centre + period};
    return {centre - period / 2.0, centre + period / 2.0};
}

} // namespace

void nodeChip(const IconPainter &ip, const QRect &body)
{
    const int s = ip.stroke();
    const int pinLength = qMax(s, qMin(body.width(), body.height()) / 5);
    // A small chip keeps pins on its left and right only, so that it does not turn into a cog.
    const bool fourSides = qMin(body.width(), body.height()) >= 9;
    if (fourSides) {
        for (const qreal along : pinOffsets(body.width(), s)) {
            ip.fillRect(QRectF(body.left() + along, body.top() - pinLength, s, pinLength), Palette::Ink);
            ip.fillRect(QRectF(body.left() + along, body.bottom() + 1, s, pinLength), Palette::Ink);
        }
    }
    for (const qreal along : pinOffsets(body.height(), s)) {
        ip.fillRect(QRectF(body.left() - pinLength, body.top() + along, pinLength, s), Palette::Ink);
        ip.fillRect(QRectF(body.right() + 1, body.top() + along, pinLength, s), Palette::Ink);
    }
    ip.box(body, Palette::Blue);
    if (fourSides) {
        const int inset = s + (body.width() - 2 * s) / 4;
        ip.fillRect(body.adjusted(inset, inset, -inset, -inset), Palette::BlueLight);
    }
}

void packet(const IconPainter &ip, const QRect &cells, const QColor &fill)
{
    ip.box(cells, fill);
    const qreal half = ip.stroke() / 2.0;
    const QRectF r = QRectF(cells).adjusted(half, half, -half, -half);
    ip.polyline(QPolygonF{r.topLeft(), QPointF(r.center().x(), r.top() + r.height() * 0.6), r.topRight()});
}

void serviceBox(const IconPainter &ip, const QRect &cells, bool kernel)
{
    const int s = ip.stroke();
    ip.box(cells, kernel ? Palette::Amber : Palette::Paper, s);
    if (!kernel) {
        // Two text lines: something is asked of it.
        const QRect inner = cells.adjusted(2 * s, 2 * s, -2 * s, -2 * s);
        for (int y = inner.top() + s - 1; y + s <= inner.bottom() + 1; y += 2 * s + 1)
            ip.hline(inner.left(), inner.right(), y, Palette::Slate);
        return;
    }
    // The kernel mark: a "K" drawn as one stem and two legs.
    const QRect inner = cells.adjusted(2 * s, 2 * s, -2 * s, -2 * s);
    const qreal stem = ip.mid(inner.left());
    const qreal joint = inner.top() + inner.height() / 2.0;
    ip.vline(inner.left(), inner.top(), inner.bottom());
    ip.line(QPointF(stem + s / 2.0, joint), QPointF(inner.right() + 1 - s / 2.0, inner.top() + s / 2.0));
    ip.line(QPointF(stem + s, joint - s / 2.0),
            QPointF(inner.right() + 1 - s / 2.0, inner.bottom() + 1 - s / 2.0));
}

QRect viewWindow(const IconPainter &ip, const QRect &cells)
{
    const int s = ip.stroke();
    ip.box(cells, Palette::Paper);
    const int title = ip.small() ? 3 : 4;
    ip.fillRect(QRect(cells.left() + s, cells.top() + s, cells.width() - 2 * s, title), Palette::Blue);
    return QRect(cells.left() + s, cells.top() + s + title, cells.width() - 2 * s,
                 cells.height() - 2 * s - title);
}

void chartBars(const IconPainter &ip, const QRect &area)
{
    const int s = ip.stroke();
    const int barHeight = s + 1;
    const int pad = s;
    const int w = area.width() - 2 * pad;
    const int upper = area.top() + (area.height() - 2 * barHeight) / 3;
    const int lower = area.bottom() + 1 - (area.height() - 2 * barHeight) / 3 - barHeight;
    ip.fillRect(QRect(area.left() + pad, upper, w / 2, barHeight), Palette::Green);
    ip.fillRect(QRect(area.left() + pad + w / 2 - s, lower, w - w / 2 + s, barHeight), Palette::Violet);
}

void folder(const IconPainter &ip, const QRect &cells, bool open)
{
    const int s = ip.stroke();
    const qreal half = s / 2.0;
    const QRectF r = QRectF(cells).adjusted(half, half, -half, -half);
    const qreal tabHeight = 2 * s;
    const qreal tabWidth = qRound(r.width() * 0.4);
    QPainterPath back;
    back.moveTo(r.left(), r.top());
    back.lineTo(r.left() + tabWidth, r.top());
    back.lineTo(r.left() + tabWidth + tabHeight, r.top() + tabHeight);
    back.lineTo(r.right(), r.top() + tabHeight);
    back.lineTo(r.right(), r.bottom());
    back.lineTo(r.left(), r.bottom());
    back.closeSubpath();
    ip.shape(back, Palette::Amber);

    const qreal frontTop = r.top() + tabHeight + 2 * s;
    QPainterPath front;
    if (open) {
        const qreal lean = 3 * s;
        front.moveTo(r.left() + lean, frontTop);
        front.lineTo(r.right(), frontTop);
        front.lineTo(r.right() - lean, r.bottom());
        front.lineTo(r.left(), r.bottom());
    } else {
        front.moveTo(r.left(), frontTop);
        front.lineTo(r.right(), frontTop);
        front.lineTo(r.right(), r.bottom());
        front.lineTo(r.left(), r.bottom());
    }
    front.closeSubpath();
    ip.shape(front, Palette::AmberLight);
}

void gear(const IconPainter &ip, const QPointF &centre, qreal radius)
{
    const int teeth = 8;
    const qreal inner = radius * 0.72;
    QPainterPath wheel;
    for (int i = 0; i < teeth; ++i) {
        // Each tooth spans a quarter of its sector at the tip and half at the root.
        const qreal base = 2 * M_PI * i / teeth;
        const qreal step = 2 * M_PI / teeth;
        const QList<QPair<qreal, qreal>> outline{{base - step * 0.25, inner},
                                                 {base - step * 0.13, radius},
                                                 {base + step * 0.13, radius},
                                                 {base + step * 0.25, inner}};
        for (const auto &[angle, r] : outline) {
            const QPointF p = centre + QPointF(std::cos(angle), std::sin(angle)) * r;
            if (wheel.elementCount() == 0)
                wheel.moveTo(p);
            else
                wheel.lineTo(p);
        }
    }
    wheel.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(centre, radius * 0.3, radius * 0.3);
    ip.shape(wheel.subtracted(hole), Palette::Slate);
}

void magnifier(const IconPainter &ip, const QRect &lens)
{
    const int s = ip.stroke();
    const QPointF c = QRectF(lens).center();
    const qreal r = lens.width() / 2.0;
    // The handle leaves the lens at 45 degrees towards the lower right.
    const QPointF from = c + QPointF(r, r) * 0.66;
    const QPointF to = c + QPointF(r, r) * 1.45;
    const qreal w = 0.5 * s + 1;
    const QPointF across = QPointF(-1, 1) / std::sqrt(2.0) * w;
    QPainterPath handle;
    handle.moveTo(from + across);
    handle.lineTo(to + across);
    handle.lineTo(to - across);
    handle.lineTo(from - across);
    handle.closeSubpath();
    ip.shape(handle, Palette::Ink);
    ip.ellipse(QRectF(lens), Palette::BlueLight);
}

void flag(const IconPainter &ip, int poleX, int top, int bottom, const QColor &fill)
{
    const int s = ip.stroke();
    const int height = (bottom - top) / 2 + 1;
    const qreal half = s / 2.0;
    const qreal left = poleX + s;
    const qreal right = ip.size() - 1 - half;
    QPainterPath cloth;
    cloth.moveTo(left, top + half);
    cloth.lineTo(right, top + half);
    cloth.lineTo(right - height / 2.0 + s, top + height / 2.0);
    cloth.lineTo(right, top + height - half);
    cloth.lineTo(left, top + height - half);
    cloth.closeSubpath();
    ip.shape(cloth, fill);
    ip.vline(poleX, top, bottom);
}

void closeBadge(const IconPainter &ip, const QRect &cells)
{
    const int s = ip.stroke();
    ip.ellipse(QRectF(cells), Palette::Red);
    const QRectF r = QRectF(cells).adjusted(cells.width() * 0.32, cells.height() * 0.32,
                                            -cells.width() * 0.32, -cells.height() * 0.32);
    QPen pen(Palette::Paper, s + (ip.small() ? 0.6 : 0.0), Qt::SolidLine, Qt::RoundCap);
    ip.painter().setPen(pen);
    ip.painter().drawLine(r.topLeft(), r.bottomRight());
    ip.painter().drawLine(r.topRight(), r.bottomLeft());
}

void recentBadge(const IconPainter &ip, const QRect &cells)
{
    const int s = ip.stroke();
    ip.ellipse(QRectF(cells), Palette::Paper);
    // Hands at ten past twelve, both from the centre pixel band.
    const int cx = cells.left() + (cells.width() - s) / 2;
    const int cy = cells.top() + (cells.height() - s) / 2;
    ip.vline(cx, cells.top() + 2 * s, cy + s - 1);
    ip.hline(cx, cells.right() - 2 * s, cy);
}

void notifyMark(const IconPainter &ip, const QRect &cells)
{
    ip.ellipse(QRectF(cells), Palette::Orange);
}

} // namespace Shapes
