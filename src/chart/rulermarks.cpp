#include "chart/rulermarks.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>

#include <algorithm>

namespace {

constexpr int flagWidth = 7;  // pixels of the pennant right of its pole
constexpr int flagHeight = 6; // pixels
constexpr int textGap = 2;    // pixels between a pennant and its name
const QColor flagColor(0x20, 0x90, 0x30);
const QColor nameGround(0xE2, 0xF2, 0xE2);
const QColor matchColor(0xB0, 0x30, 0xC0);
constexpr int matchHeight = 5; // pixels of a match's tick, down from the strip's top

} // namespace

void RulerMarks::paint(QPainter &painter, const QFont &font, const QRect &strip, int left) const
{
    painter.save();
    painter.setClipRect(QRect(QPoint(left, strip.top()), strip.bottomRight()), Qt::IntersectClip);
    painter.setFont(font);
    paintMatches(painter, strip);
    paintFlags(painter, strip);
    paintHandles(painter, strip);
    paintDelta(painter, strip, left);
    painter.restore();
}

void RulerMarks::paintMatches(QPainter &painter, const QRect &strip) const
{
    painter.setPen(matchColor);
    for (const int x : matches)
        painter.drawLine(x, strip.top(), x, strip.top() + matchHeight - 1);
}

void RulerMarks::paintFlags(QPainter &painter, const QRect &strip) const
{
    QList<Flag> sorted = flags;
    std::sort(sorted.begin(), sorted.end(), [](const Flag &a, const Flag &b) { return a.x < b.x; });
    const QFontMetrics metrics = painter.fontMetrics();
    for (qsizetype i = 0; i < sorted.size(); ++i) {
        const int x = sorted[i].x;
        painter.setPen(flagColor);
        painter.drawLine(x, strip.top() + 1, x, strip.bottom());
        painter.setBrush(flagColor);
        painter.drawPolygon(
            QPolygon({QPoint(x, strip.top() + 1), QPoint(x + flagWidth, strip.top() + 1 + flagHeight / 2),
                      QPoint(x, strip.top() + 1 + flagHeight)}));
        // The name where it ends before the next flag.
        const int textLeft = x + flagWidth + textGap;
        const int room = (i + 1 < sorted.size() ? sorted[i + 1].x : strip.right()) - textLeft - textGap;
        const int textWidth = metrics.horizontalAdvance(sorted[i].name);
        if (textWidth <= room) {
            // On a ground of its own: it covers the tick labels it meets.
            const QRect box(textLeft - 1, strip.top(), textWidth + 2, metrics.height());
            painter.fillRect(box, nameGround);
            painter.setPen(Qt::black);
            painter.drawText(box, Qt::AlignCenter, sorted[i].name);
        }
    }
}

void RulerMarks::paintHandles(QPainter &painter, const QRect &strip) const
{
    const QFontMetrics metrics = painter.fontMetrics();
    for (const Handle &handle : handles) {
        const int width = std::max(2 * handleReach, metrics.horizontalAdvance(handle.label) + 4);
        const QRect box(handle.x - width / 2, strip.bottom() - metrics.height(), width, metrics.height());
        painter.setPen(handle.color);
        painter.drawLine(handle.x, strip.top(), handle.x, strip.bottom());
        painter.fillRect(box, handle.color);
        painter.setPen(Qt::white);
        painter.drawText(box, Qt::AlignCenter, handle.label);
    }
}

void RulerMarks::paintDelta(QPainter &painter, const QRect &strip, int chartLeft) const
{
    if (delta.isEmpty() || handles.size() < 2)
        return;
    const int left = std::min(handles[0].x, handles[1].x) + handleReach;
    const int right = std::max(handles[0].x, handles[1].x) - handleReach;
    const QFontMetrics metrics = painter.fontMetrics();
    const int width = metrics.horizontalAdvance(delta) + 6;
    // Between the handles where it fits, else right of the right one.
    const int boxLeft = right - left >= width ? (left + right - width) / 2 : right + 2 * handleReach;
    // Kept whole in the strip while a handle is scrolled out of it.
    const QRect box(std::max(chartLeft, std::min(boxLeft, strip.right() - width)), strip.top(), width,
                    metrics.height());
    painter.fillRect(box, QColor(0xFF, 0xFF, 0xE0));
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    painter.drawText(box, Qt::AlignCenter, delta);
}
