#include "chart/rulerpainter.h"

#include "chart/timeruler.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

constexpr int markLength = 5; // pixels up from the base line
constexpr int labelGap = 3;   // pixels between a mark and its label

} // namespace

RulerPainter::RulerPainter(QPainter &painter, const QFont &font)
    : m_painter(painter)
    , m_font(font)
{}

void RulerPainter::paint(const TimeRuler &ruler, const QRect &strip, int chartLeft) const
{
    m_painter.save();
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    m_painter.fillRect(strip, QColor(0xF2, 0xF2, 0xF2));
    m_painter.setPen(QColor(0x80, 0x80, 0x80));
    m_painter.drawLine(strip.left(), strip.bottom(), strip.right(), strip.bottom());
    m_painter.setClipRect(QRect(QPoint(chartLeft, strip.top()), strip.bottomRight()), Qt::IntersectClip);

    const QList<RulerTick> &ticks = ruler.ticks();
    m_painter.setPen(QColor(0x40, 0x40, 0x40));
    for (const RulerTick &tick : ticks)
        m_painter.drawLine(chartLeft + tick.x, strip.bottom() - markLength, chartLeft + tick.x,
                           strip.bottom());

    m_painter.setFont(m_font);
    m_painter.setPen(Qt::black);
    const QFontMetrics metrics = m_painter.fontMetrics();
    for (qsizetype i = 0; i < ticks.size(); ++i) {
        const int x = chartLeft + ticks[i].x;
        const int room =
            i + 1 < ticks.size() ? ticks[i + 1].x - ticks[i].x - 2 * labelGap : strip.right() - x - labelGap;
        if (metrics.horizontalAdvance(ticks[i].label) <= room)
            m_painter.drawText(QRect(x + labelGap, strip.top(), room, strip.height() - 1),
                               Qt::AlignLeft | Qt::AlignVCenter, ticks[i].label);
    }
    m_painter.restore();
}
