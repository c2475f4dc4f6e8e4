#include "chart/overviewpainter.h"

#include "chart/viewroot.h"

#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr int shades = 32; // steps from idle to busy: neighbouring columns of one step share a fill
const QColor ground(0xF2, 0xF2, 0xF2);
const QColor idleColour(0xFF, 0xFF, 0xFF);
const QColor busyColour(0x1F, 0x4E, 0xA8);
const QColor bookmarkColour(0xD0, 0x40, 0x00);
const QColor matchColour(0xB0, 0x30, 0xC0);
const QColor frameColour(0x10, 0x10, 0x10);
const QColor innerFrameColour(0xFF, 0xB0, 0x00);

using Shades = std::array<QColor, shades + 1>;

const Shades &shadeTable()
{
    static const Shades table = [] {
        Shades colours;
        for (int i = 0; i <= shades; ++i) {
            const auto mix = [i](int idle, int busy) { return idle + (busy - idle) * i / shades; };
            colours[size_t(i)] =
                QColor(mix(idleColour.red(), busyColour.red()), mix(idleColour.green(), busyColour.green()),
                       mix(idleColour.blue(), busyColour.blue()));
        }
        return colours;
    }();
    return table;
}

int shadeOf(float share)
{
    return std::clamp(int(std::lround(double(share) * shades)), 0, shades);
}

} // namespace

int OverviewPainter::heightFor(int nodeCount)
{
    return 2 * margin + std::max(1, nodeCount) * bandHeight;
}

QRect OverviewPainter::visibleRect(const OverviewContent &content, const QRect &strip, int chartLeft)
{
    constexpr int minWidth = 3; // pixels
    const qint64 left = chartLeft + qint64(content.scale.xOf(content.visible.from));
    const qint64 right =
        std::max(left + minWidth - 1, chartLeft + qint64(content.scale.xOf(content.visible.to)));
    return heldRect(left, strip.top(), right - left + 1, strip.height() - 1);
}

OverviewPainter::OverviewPainter(QPainter &painter)
    : m_painter(painter)
{}

void OverviewPainter::paint(const OverviewContent &content, const QRect &strip, int chartLeft) const
{
    m_painter.save();
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    m_painter.fillRect(strip, ground);
    m_painter.setPen(QColor(0x80, 0x80, 0x80));
    m_painter.drawLine(strip.left(), strip.bottom(), strip.right(), strip.bottom());
    m_painter.setClipRect(QRect(QPoint(chartLeft, strip.top()), strip.bottomRight()), Qt::IntersectClip);

    if (content.bands) {
        int top = strip.top() + margin;
        for (const ActivityProfile &band : *content.bands) {
            paintBand(band, QRect(chartLeft, top, content.scale.columns(), bandHeight - 1), chartLeft);
            top += bandHeight;
        }
    }

    // In the margins, like a scroll bar's search hits: the bands stay readable.
    m_painter.setPen(matchColour);
    for (const int column : content.matches) {
        const int x = chartLeft + column;
        m_painter.drawLine(x, strip.top(), x, strip.top() + margin - 1);
        m_painter.drawLine(x, strip.bottom() - margin, x, strip.bottom() - 1);
    }

    m_painter.setPen(bookmarkColour);
    for (const qint64 time : content.bookmarks) {
        const int x = chartLeft + content.scale.xOf(double(time));
        m_painter.drawLine(x, strip.top(), x, strip.bottom() - 1);
    }

    // A frame only: the bands inside stay as readable as those outside.
    const QRect visible = visibleRect(content, strip, chartLeft);
    m_painter.setBrush(Qt::NoBrush);
    m_painter.setPen(frameColour);
    m_painter.drawRect(visible.adjusted(0, 0, -1, -1));
    m_painter.setPen(innerFrameColour);
    m_painter.drawRect(visible.adjusted(1, 1, -2, -2));
    m_painter.restore();
}

// Runs of columns with the same shade take one fill each.
void OverviewPainter::paintBand(const ActivityProfile &band, const QRect &row, int chartLeft) const
{
    const Shades &colours = shadeTable();
    const int end = std::min(band.end, int(band.shares.size()));
    int x = band.first;
    while (x < end) {
        const int shade = shadeOf(band.shares[size_t(x)]);
        int next = x + 1;
        while (next < end && shadeOf(band.shares[size_t(next)]) == shade)
            ++next;
        m_painter.fillRect(QRect(chartLeft + x, row.top(), next - x, row.height()), colours[size_t(shade)]);
        x = next;
    }
}
