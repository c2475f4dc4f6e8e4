#include "iconpainter.h"

#include <QLineF>
#include <QtMath>

IconPainter::IconPainter(QPainter &painter, int size, int stroke)
    : m_painter(painter)
    , m_size(size)
    , m_stroke(stroke)
{
    m_painter.setRenderHint(QPainter::Antialiasing, true);
}

QPen IconPainter::pen(const QColor &colour, Qt::PenCapStyle cap) const
{
    return QPen(colour, m_stroke, Qt::SolidLine, cap, Qt::MiterJoin);
}

void IconPainter::fillRect(const QRectF &area, const QColor &colour) const
{
    m_painter.fillRect(area, colour);
}

void IconPainter::box(const QRect &cells, const QColor &fill, qreal radius, const QColor &line) const
{
    const qreal half = m_stroke / 2.0;
    const QRectF inner = QRectF(cells).adjusted(half, half, -half, -half);
    m_painter.setPen(pen(line, Qt::SquareCap));
    m_painter.setBrush(fill);
    if (radius > 0)
        m_painter.drawRoundedRect(inner, radius, radius);
    else
        m_painter.drawRect(inner);
}

void IconPainter::hline(int x0, int x1, int y, const QColor &colour) const
{
    m_painter.setPen(pen(colour));
    m_painter.drawLine(QLineF(x0, mid(y), x1 + 1, mid(y)));
}

void IconPainter::vline(int x, int y0, int y1, const QColor &colour) const
{
    m_painter.setPen(pen(colour));
    m_painter.drawLine(QLineF(mid(x), y0, mid(x), y1 + 1));
}

void IconPainter::line(const QPointF &from, const QPointF &to, const QColor &colour) const
{
    m_painter.setPen(pen(colour, Qt::RoundCap));
    m_painter.drawLine(QLineF(from, to));
}

void IconPainter::polyline(const QPolygonF &points, const QColor &colour) const
{
    QPen p = pen(colour, Qt::FlatCap);
    p.setJoinStyle(Qt::MiterJoin);
    m_painter.setPen(p);
    m_painter.setBrush(Qt::NoBrush);
    m_painter.drawPolyline(points);
}

void IconPainter::shape(const QPainterPath &path, const QColor &fill, const QColor &line) const
{
    m_painter.setPen(pen(line, Qt::SquareCap));
    m_painter.setBrush(fill);
    m_painter.drawPath(path);
}

void IconPainter::fillShape(const QPainterPath &path, const QColor &fill) const
{
    m_painter.setPen(Qt::NoPen);
    m_painter.setBrush(fill);
    m_painter.drawPath(path);
}

void IconPainter::ellipse(const QRectF &bounds, const QColor &fill, const QColor &line) const
{
    const qreal half = m_stroke / 2.0;
    m_painter.setPen(pen(line));
    m_painter.setBrush(fill);
    m_painter.drawEllipse(bounds.adjusted(half, half, -half, -half));
}

void IconPainter::arrowHead(const QPointF &tip, const QPointF &direction, const QColor &colour) const
{
    const qreal length = std::hypot(direction.x(), direction.y());
    if (length <= 0)
        return;
    const QPointF along = direction / length;
    const QPointF across(-along.y(), along.x());
    const bool axisAligned = qFuzzyIsNull(along.x()) || qFuzzyIsNull(along.y());
    QPainterPath head;
    if (axisAligned && m_stroke == 1) {
        // At 16 pixels a slanted head blurs into a blob; a head of whole-pixel steps stays sharp.
        for (int step = 0; step < headSteps(); ++step) {
            const QPointF a = tip - along * step + across * (0.5 + step);
            const QPointF b = tip - along * (step + 1) - across * (0.5 + step);
            head.addRect(QRectF(a, b).normalized());
        }
        head = head.simplified();
    } else {
        const QPointF base = tip - along * headLength();
        head.moveTo(tip);
        head.lineTo(base + across * headHalfWidth());
        head.lineTo(base - across * headHalfWidth());
        head.closeSubpath();
    }
    fillShape(head, colour);
}

void IconPainter::arrow(const QPointF &from, const QPointF &tip, const QColor &colour) const
{
    const QPointF direction = tip - from;
    const qreal length = std::hypot(direction.x(), direction.y());
    if (length <= 0)
        return;
    // The shaft stops a little inside the head so that no square end pokes out beside it.
    const QPointF shaftEnd = tip - direction / length * (headLength() - 0.5);
    m_painter.setPen(pen(colour, Qt::FlatCap));
    m_painter.drawLine(QLineF(from, shaftEnd));
    arrowHead(tip, direction, colour);
}
