#pragma once

#include <QImage>
#include <QList>
#include <QSize>

class EventCatalogue;
class Node;
class QPainter;

// The chart a view of the given nodes shows, as an image: what kestrel-cli
// render writes, and what tests and benchmarks compare.
struct ChartImageOptions
{
    QSize size{1600, 900};
    bool logMode = false; // one node only
    bool externalHeader = true;
    bool levelOfDetail = true;
    bool ruler = false;    // a time ruler strip at the top, the rows below it in the same size
    bool overview = false; // the overview strip below the ruler (or at the top), above the rows
    bool hasRange = false; // show [from, to] of the aligned time axis, linear mode
    qint64 from = 0;       // microseconds
    qint64 to = 0;
    const EventCatalogue *catalogue = nullptr; // the sync markers' icons; none without
};

// Rows aligned as in a view window, the first node current, the time axis
// fitted to the width (or to the range), with the stored chart settings.
QImage renderChartImage(const QList<Node *> &nodes, const ChartImageOptions &options);
// The same onto any painter, whose surface measures options.size in its
// logical coordinates.
void paintChartImage(QPainter &painter, const QList<Node *> &nodes, const ChartImageOptions &options);
