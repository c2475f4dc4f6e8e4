#include "chart/chartimage.h"

#include "chart/chartmapper.h"
#include "chart/chartmetrics.h"
#include "chart/chartrenderer.h"
#include "chart/chartstyle.h"
#include "chart/overviewactivity.h"
#include "chart/overviewpainter.h"
#include "chart/rulerpainter.h"
#include "chart/timeruler.h"
#include "chart/timescale.h"
#include "chart/viewroot.h"
#include "trace/node.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>

#include <algorithm>

namespace {

struct Axis
{
    TimeScale scale;
    int scroll = 0; // pixels
};

// The range's scale and scroll, or the scale fitted to `rows` as a window
// zoomed out all the way shows it.
Axis axisFor(const ViewRoot &root, const ChartImageOptions &options, QSize rows, int header)
{
    Axis axis;
    axis.scale.setLinearMode(!options.logMode);
    if (options.hasRange && options.to > options.from) {
        const float available = float(rows.width() - header - 3);
        axis.scale.setLinScale(available / float(options.to - options.from));
        axis.scroll = int(float(options.from) * axis.scale.linScale());
        return axis;
    }
    axis.scale.setLinScale(1e-9f);
    axis.scale.setLogScale(1e-9f);
    TimeScale::Viewport viewport;
    viewport.chartWidth = rows.width();
    viewport.chartHeight = rows.height();
    viewport.headerShift = header;
    viewport.lengthLin = root.lengthLin();
    viewport.lengthLog = root.lengthLog();
    viewport.visibleRowCount = ViewRoot::visibleRowCount(&root);
    axis.scale.relayout(viewport);
    return axis;
}

void paintRows(QPainter &painter, ViewRoot &root, const QList<Node *> &nodes,
               const ChartImageOptions &options, const Axis &axis, QSize rows)
{
    // A view's list would show some of the current node's events and hatch
    // the rest; an image has no list, so it shows them all.
    NodeViewStates states;
    if (!nodes.isEmpty())
        states[nodes.first()->traceFileName()].listLast = nodes.first()->eventCount() - 1;
    ChartRenderer renderer;
    renderer.setLevelOfDetail(options.levelOfDetail);
    ChartRenderer::Frame frame;
    frame.scale = &axis.scale;
    frame.horizontalScroll = axis.scroll;
    frame.viewport = rows;
    frame.externalHeader = options.externalHeader;
    frame.catalogue = options.catalogue;
    frame.title = nodes.isEmpty() ? QString() : nodes.first()->directory();
    frame.background = QGuiApplication::palette().color(QPalette::Window);
    renderer.paint(painter, root, states, QRect(QPoint(0, 0), rows), frame);
}

void paintOverview(QPainter &painter, const ViewRoot &root, const ChartMapper &mapper, const Node *logNode,
                   const QRect &strip, int header)
{
    OverviewActivity activity;
    OverviewContent content;
    content.scale = OverviewScale(root.lengthLin(), strip.width() - header);
    content.bands = &activity.profiles(root, content.scale.columns());
    content.visible = AxisTime::visibleSpan(mapper, strip.width() - header, logNode, 0);
    OverviewPainter(painter).paint(content, strip, header);
}

} // namespace

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

    const int header = options.externalHeader ? ChartMetrics::headerWidth : 0;
    const int rulerHeight = options.ruler ? std::min(ChartMetrics::rulerHeight, options.size.height()) : 0;
    const int overviewHeight = options.overview
                                   ? std::min(OverviewPainter::heightFor(int(root.nodes().size())),
                                              options.size.height() - rulerHeight)
                                   : 0;
    const int top = rulerHeight + overviewHeight;
    const QSize rows(options.size.width(), options.size.height() - top);
    const Axis axis = axisFor(root, options, rows, header);
    if (top == 0) {
        paintRows(painter, root, nodes, options, axis, rows);
        return;
    }

    painter.save();
    painter.translate(0, top);
    painter.setClipRect(QRect(QPoint(0, 0), rows), Qt::IntersectClip);
    paintRows(painter, root, nodes, options, axis, rows);
    painter.restore();
    const ChartMapper mapper(axis.scale, axis.scroll);
    const Node *logNode = options.logMode && !nodes.isEmpty() ? nodes.first() : nullptr;
    if (options.ruler) {
        const TimeRuler ruler(mapper, rows.width() - header, logNode);
        RulerPainter(painter, ChartStyle().rowFont())
            .paint(ruler, QRect(0, 0, options.size.width(), rulerHeight), header);
    }
    if (options.overview)
        paintOverview(painter, root, mapper, logNode,
                      QRect(0, rulerHeight, options.size.width(), overviewHeight), header);
}
