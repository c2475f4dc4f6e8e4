#pragma once

#include "iconpainter.h"

#include <QRect>

// The shapes the icons share. Rectangles are pixel cells (see IconPainter); every shape
// scales its details with the painter's stroke so that it works at 16 and at 24 pixels.
namespace Shapes {

// A task: one bar of the event chart, with the chart's start-corner mark.
void taskBar(const IconPainter &ip, const QRect &cells);
// A hub: a kernel message queue, drawn as a pipe holding packets.
void hubPipe(const IconPainter &ip, const QRect &cells);
// A node: a chip; the pins stand outside `body`.
void nodeChip(const IconPainter &ip, const QRect &body);
// A packet between nodes: an envelope.
void packet(const IconPainter &ip, const QRect &cells, const QColor &fill = Palette::VioletLight);
// A service that a request goes into; the kernel's own carries the kernel mark.
void serviceBox(const IconPainter &ip, const QRect &cells, bool kernel);
// A view window with its title bar; returns the pixel cells of its content area.
QRect viewWindow(const IconPainter &ip, const QRect &cells);
// Two bars on two swimlines: the content of a chart view.
void chartBars(const IconPainter &ip, const QRect &area);
void folder(const IconPainter &ip, const QRect &cells, bool open);
void gear(const IconPainter &ip, const QPointF &centre, qreal radius);
void magnifier(const IconPainter &ip, const QRect &lens);
void flag(const IconPainter &ip, int poleX, int top, int bottom, const QColor &fill);

// Marks laid over the lower right or upper right of another shape.
void closeBadge(const IconPainter &ip, const QRect &cells);
void recentBadge(const IconPainter &ip, const QRect &cells);
void notifyMark(const IconPainter &ip, const QRect &cells);

} // namespace Shapes
