#pragma once

#include "palette.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRect>

// Thin wrapper around QPainter that knows the icon's size and its one stroke weight, and
// draws on the pixel grid: rectangles are given as the pixel cells they cover and the
// outline is laid inside them, lines as the first pixel row or column of their band, so
// that axis-aligned strokes never straddle two pixels.
class IconPainter
{
public:
    IconPainter(QPainter &painter, int size, int stroke);

    QPainter &painter() const { return m_painter; }
    int size() const { return m_size; }
    int stroke() const { return m_stroke; }
    bool small() const { return m_size <= 16; }

    // Centre of a stroke band whose first pixel is `cell`, in device coordinates.
    qreal mid(int cell) const { return cell + m_stroke / 2.0; }
    // Arrowhead measures in pixels, scaled with the stroke so that heads look alike at each size.
    qreal headLength() const { return m_stroke == 1 ? headSteps() : 2.0 + 2.0 * m_stroke; }
    qreal headHalfWidth() const { return 1.0 + 2.0 * m_stroke; }
    // Pixel columns of a stepped 16 px arrowhead: 1, 3, 5 pixels wide.
    int headSteps() const { return 3; }

    void fillRect(const QRectF &area, const QColor &colour) const;
    void box(const QRect &cells, const QColor &fill, qreal radius = 0,
             const QColor &line = Palette::Ink) const;
    void hline(int x0, int x1, int y, const QColor &colour = Palette::Ink) const;
    void vline(int x, int y0, int y1, const QColor &colour = Palette::Ink) const;
    void line(const QPointF &from, const QPointF &to, const QColor &colour = Palette::Ink) const;
    void polyline(const QPolygonF &points, const QColor &colour = Palette::Ink) const;
    void shape(const QPainterPath &path, const QColor &fill, const QColor &line = Palette::Ink) const;
    void fillShape(const QPainterPath &path, const QColor &fill) const;
    void ellipse(const QRectF &bounds, const QColor &fill, const QColor &line = Palette::Ink) const;

    // Straight arrow with a filled head whose tip lies exactly on `tip`.
    void arrow(const QPointF &from, const QPointF &tip, const QColor &colour) const;
    void arrowHead(const QPointF &tip, const QPointF &direction, const QColor &colour) const;

private:
    QPen pen(const QColor &colour, Qt::PenCapStyle cap = Qt::FlatCap) const;

    QPainter &m_painter;
    int m_size;
    int m_stroke;
};
