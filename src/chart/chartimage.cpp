#include "chart/chartimage.h"

#include "chart/chartmetrics.h"
#include "chart/chartrenderer.h"
#include "chart/timescale.h"
#include "chart/viewroot.h"
#include "trace/node.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>

QImage renderChartImage(const QList<Node *> &nodes, const ChartImageOptions &options)
{
    QImage image(options.size, QImage::Format_RGB32);
    QPainter painter(&image);
    paintChartImage(painter, nodes, options);
    return image;
}

void paintChartImage(QPainter &painter, const QList<Node *> &nodes, const ChartImageOptions &options)
{
    ViewRoot root;
    for (Node *node : nodes)
        root.addViewedNode(node);
    if (!nodes.isEmpty())
        root.setCurrentNode(nodes.first());

    TimeScale scale;
    scale.setLinearMode(!options.logMode);
    const int header = options.externalHeader ? ChartMetrics::headerWidth : 0;
    int scroll = 0;
    if (options.hasRange && options.to > options.from) {
        const float available = float(options.size.width() - header - 3);
        scale.setLinScale(available / float(options.to - options.from));
        scroll = int(float(options.from) * scale.linScale());
    } else {
        // As a window shows the chart when zoomed out all the way: fitted.
        scale.setLinScale(1e-9f);
        scale.setLogScale(1e-9f);
        TimeScale::Viewport viewport;
        viewport.chartWidth = options.size.width();
        viewport.chartHeight = options.size.height();
        viewport.headerShift = header;
        viewport.lengthLin = root.lengthLin();
        viewport.lengthLog = root.lengthLog();
        viewport.visibleRowCount = ViewRoot::visibleRowCount(&root);
        scale.relayout(viewport);
    }

    // A view's list would show some of the current node's events and hatch
    // the rest; an image has no list, so it shows them all.
    NodeViewStates states;
    if (!nodes.isEmpty())
        states[nodes.first()->traceFileName()].listLast = nodes.first()->eventCount() - 1;
    ChartRenderer renderer;
    renderer.setLevelOfDetail(options.levelOfDetail);
    ChartRenderer::Frame frame;
    frame.scale = &scale;
    frame.horizontalScroll = scroll;
    frame.viewport = options.size;
    frame.externalHeader = options.externalHeader;
    frame.catalogue = options.catalogue;
    frame.title = nodes.isEmpty() ? QString() : nodes.first()->directory();
    frame.background = QGuiApplication::palette().color(QPalette::Window);
    renderer.paint(painter, root, states, QRect(QPoint(0, 0), options.size), frame);
}
