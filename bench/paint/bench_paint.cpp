// Paint benchmark: one full paint of the event chart into a 1600x900 image,
// with the level of detail on and off, side by side in one run. Prints
// figures and ratios; never fails a build.

#include "app/tracer.h"
#include "benchsupport.h"
#include "chart/axistime.h"
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

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <functional>

namespace {

const QSize imageSize(1600, 900);

QString generate(const QString &dir, int nodes, int events)
{
    return BenchSupport::generateProject(QStringLiteral(TRACEGEN_PATH), dir, nodes, events);
}

struct View
{
    QString name;
    ViewRoot root;
    TimeScale scale;
    int scroll = 0;
};

TimeScale::Viewport imageViewport(const View &view)
{
    TimeScale::Viewport viewport;
    viewport.chartWidth = imageSize.width();
    viewport.chartHeight = imageSize.height();
    viewport.headerShift = ChartMetrics::headerWidth;
    viewport.lengthLin = view.root.lengthLin();
    viewport.lengthLog = view.root.lengthLog();
    viewport.visibleRowCount = ViewRoot::visibleRowCount(&view.root);
    return viewport;
}

// Fits the chart to the image as a view zoomed out all the way shows it.
void fit(View &view)
{
    view.scale.setLinScale(1e-9f);
    view.scale.relayout(imageViewport(view));
}

// What one Ctrl+wheel notch does before the repaint: a zoom step about the
// pointer, here a third into the chart, and the layout at the new scale.
void zoomStepAtCursor(View &view)
{
    const double cursorX = (imageSize.width() - ChartMetrics::headerWidth) / 3.0;
    view.scroll = view.scale.zoomInAt(view.scroll, cursorX);
    const TimeScale::Layout layout = view.scale.relayout(imageViewport(view));
    view.scroll = qBound(0, view.scroll, layout.horizontalMaximum);
}

// Milliseconds of one paint: the median of `rounds`, after one warm-up paint.
// `step`, when given, changes the view inside the timed part of every round,
// each time starting from the view as it was given.
double paintMs(View &view, const EventCatalogue *catalogue, bool levelOfDetail, int rounds,
               const std::function<void(View &)> &step = {})
{
    const TimeScale startScale = view.scale;
    const int startScroll = view.scroll;
    ChartRenderer renderer;
    renderer.setSettings(ChartSettings());
    renderer.setLevelOfDetail(levelOfDetail);
    ChartRenderer::Frame frame;
    frame.scale = &view.scale;
    frame.horizontalScroll = view.scroll;
    frame.viewport = imageSize;
    frame.catalogue = catalogue;
    QImage image(imageSize, QImage::Format_RGB32);
    NodeViewStates states;
    QList<double> times;
    for (int i = 0; i <= rounds; ++i) {
        view.scale = startScale;
        view.scroll = startScroll;
        QPainter painter(&image);
        QElapsedTimer timer;
        timer.start();
        if (step) {
            step(view);
            frame.horizontalScroll = view.scroll;
        }
        renderer.paint(painter, view.root, states, image.rect(), frame);
        painter.end();
        if (i > 0)
            times.append(timer.nsecsElapsed() / 1e6);
    }
    return BenchSupport::median(times);
}

// The strips above the rows as a chart window shows them: milliseconds to
// compute the activity of every node once, to paint the overview strip, and
// to paint ruler, overview and rows together (medians of `rounds`).
struct StripTimes
{
    double activity = 0;
    double overview = 0;
    double whole = 0;
};

StripTimes stripMs(View &view, const EventCatalogue *catalogue, int rounds)
{
    const int header = ChartMetrics::headerWidth;
    const int overviewHeight = OverviewPainter::heightFor(int(view.root.nodes().size()));
    const int top = ChartMetrics::rulerHeight + overviewHeight;
    const QSize rows(imageSize.width(), imageSize.height() - top);
    const ChartMapper mapper(view.scale, view.scroll);
    StripTimes result;

    OverviewActivity activity;
    OverviewContent content;
    content.scale = OverviewScale(view.root.lengthLin(), imageSize.width() - header);
    QElapsedTimer timer;
    timer.start();
    content.bands = &activity.profiles(view.root, content.scale.columns());
    result.activity = timer.nsecsElapsed() / 1e6;

    ChartRenderer renderer;
    renderer.setSettings(ChartSettings());
    ChartRenderer::Frame frame;
    frame.scale = &view.scale;
    frame.horizontalScroll = view.scroll;
    frame.viewport = rows;
    frame.catalogue = catalogue;
    const QFont font = ChartStyle().rowFont();
    QImage image(imageSize, QImage::Format_RGB32);
    NodeViewStates states;
    QList<double> overviewTimes;
    QList<double> wholeTimes;
    for (int i = 0; i <= rounds; ++i) {
        QPainter painter(&image);
        timer.start();
        const TimeRuler ruler(mapper, imageSize.width() - header);
        RulerPainter(painter, font)
            .paint(ruler, QRect(0, 0, imageSize.width(), ChartMetrics::rulerHeight), header);
        const qint64 overviewStart = timer.nsecsElapsed();
        // What the strip asks for at every paint: its cached profiles and the span shown.
        content.bands = &activity.profiles(view.root, content.scale.columns());
        content.visible = AxisTime::visibleSpan(mapper, imageSize.width() - header, nullptr, 0);
        OverviewPainter(painter).paint(
            content, QRect(0, ChartMetrics::rulerHeight, imageSize.width(), overviewHeight), header);
        const qint64 overviewEnd = timer.nsecsElapsed();
        painter.translate(0, top);
        renderer.paint(painter, view.root, states, QRect(QPoint(0, 0), rows), frame);
        painter.end();
        if (i > 0) {
            overviewTimes.append((overviewEnd - overviewStart) / 1e6);
            wholeTimes.append(timer.nsecsElapsed() / 1e6);
        }
    }
    result.overview = BenchSupport::median(overviewTimes);
    result.whole = BenchSupport::median(wholeTimes);
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    const auto [events, rounds] = BenchSupport::setUp(argc, argv, 5);
    QApplication app(argc, argv);

    Tracer tracer;
    BenchSupport::startHeadless(tracer);
    QTemporaryDir big;
    QTemporaryDir multi;
    Node *large = tracer.createNode(generate(big.path(), 1, events) + QStringLiteral("/node1.trace"),
                                    tracer.rootEntry(), FROM_TRACER);
    generate(multi.path(), 3, events / 10);
    QList<Node *> three;
    for (int i = 1; i <= 3; ++i)
        three.append(tracer.createNode(multi.path() + QStringLiteral("/node%1.trace").arg(i),
                                       tracer.rootEntry(), FROM_TRACER));

    View fitted;
    fitted.name = QStringLiteral("%1 events fitted to 1600 px").arg(large->eventCount());
    fitted.root.addViewedNode(large);
    fitted.root.setCurrentNode(large);
    fit(fitted);

    // About 2,000 events in view, from the middle of the trace.
    View zoomed;
    zoomed.root.addViewedNode(large);
    zoomed.root.setCurrentNode(large);
    const double span = double(zoomed.root.lengthLin()) * 2000.0 / large->eventCount();
    zoomed.scale.setLinScale(float((imageSize.width() - ChartMetrics::headerWidth - 3) / span));
    zoomed.scroll = int(float(zoomed.root.lengthLin() / 2) * zoomed.scale.linScale());
    zoomed.name = QStringLiteral("zoomed to about 2,000 events (%1 us)").arg(qint64(span));

    View nodes;
    int threeEvents = 0;
    for (Node *node : std::as_const(three)) {
        nodes.root.addViewedNode(node);
        threeEvents += node->eventCount();
    }
    nodes.root.setCurrentNode(three.first());
    fit(nodes);
    nodes.name = QStringLiteral("three nodes with packets, %1 events, fitted").arg(threeEvents);

    View stepped;
    stepped.root.addViewedNode(large);
    stepped.root.setCurrentNode(large);
    fit(stepped);

    QTextStream out(stdout);
    out << QStringLiteral("one full paint of a %1x%2 chart, median of %3 rounds\n")
               .arg(imageSize.width())
               .arg(imageSize.height())
               .arg(rounds);
    // For profiling: KESTREL_BENCH_ONLY=fitted|zoomed|nodes|step paints that
    // view only, and with the level of detail only.
    const QString only = qEnvironmentVariable("KESTREL_BENCH_ONLY");
    for (View *view : {&fitted, &zoomed, &nodes}) {
        if (only == QLatin1String("step"))
            continue;
        if (!only.isEmpty() && view != (only == QLatin1String("fitted")   ? &fitted
                                        : only == QLatin1String("zoomed") ? &zoomed
                                                                          : &nodes))
            continue;
        const double with = paintMs(*view, tracer.catalogue(), true, rounds);
        const double without = only.isEmpty() ? paintMs(*view, tracer.catalogue(), false, rounds) : 0.0;
        out << QStringLiteral("%1:\n  level of detail %2 ms, without %3 ms, %4x faster\n")
                   .arg(view->name)
                   .arg(with, 0, 'f', 2)
                   .arg(without, 0, 'f', 2)
                   .arg(without / with, 0, 'f', 1);
        out.flush();
    }
    if (only.isEmpty() || only == QLatin1String("fitted")) {
        const StripTimes strips = stripMs(fitted, tracer.catalogue(), rounds);
        out << QStringLiteral("%1 with ruler and overview:\n  activity of the node once %2 ms, overview "
                              "paint %3 ms, ruler + overview + rows %4 ms\n")
                   .arg(fitted.name)
                   .arg(strips.activity, 0, 'f', 2)
                   .arg(strips.overview, 0, 'f', 3)
                   .arg(strips.whole, 0, 'f', 2);
        out.flush();
    }
    if (only.isEmpty() || only == QLatin1String("step")) {
        const double step = paintMs(stepped, tracer.catalogue(), true, rounds, zoomStepAtCursor);
        out << QStringLiteral(
                   "a zoom step at the cursor, %1 events fitted:\n  zoom, layout and repaint %2 ms\n")
                   .arg(large->eventCount())
                   .arg(step, 0, 'f', 2);
    }
    return 0;
}
