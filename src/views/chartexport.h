#pragma once

#include <QImage>
#include <QSize>
#include <QString>

class EventChart;
class QPainter;
class QWidget;

// The picture an event chart shows, at its zoom and size, written to an
// image file: the ruler and the overview strips when shown, the header, the
// rows and the measuring cursors' lines; not the scroll bars.
namespace ChartExport {

// The picture's size in logical pixels: the viewport's width, and its
// height with the strips above it.
QSize pictureSize(const EventChart &chart);
// Paints the picture with its top left corner at the painter's origin.
// Without level of detail every primitive is drawn as a painter call, as a
// vector device needs them; the pixels are the same either way.
void paint(EventChart &chart, QPainter &painter, bool levelOfDetail);
// The picture at the chart's device pixel ratio: what a grab of the chart shows.
QImage image(EventChart &chart);
// Writes SVG when `path` ends in ".svg" (in any case), else PNG; false when
// the file could not be written.
bool write(EventChart &chart, const QString &path);
// Asks for a PNG or SVG file, the type by the chosen filter unless the name
// carries a suffix of its own, and writes it; tells the user when that fails.
void exportWithDialog(EventChart &chart, QWidget *parent);

} // namespace ChartExport
