#pragma once

#include <QFont>
#include <QRect>

class QPainter;
class TimeRuler;

// Draws a time ruler's strip: a light ground, a base line along its bottom,
// a short mark at each tick and the tick's label right of the mark, in
// `font`. A label that would reach the next tick or the strip's end is left
// out, its mark kept.
class RulerPainter
{
public:
    RulerPainter(QPainter &painter, const QFont &font);

    // Paints `strip` (painter coordinates) whole; the ticks' x count from
    // `chartLeft`, where the chart's x 0 lies, and nothing is drawn left of it.
    void paint(const TimeRuler &ruler, const QRect &strip, int chartLeft) const;

private:
    QPainter &m_painter;
    QFont m_font;
};
