// Multi-node view benchmark: a view of several large nodes that share
// packets. Times adding each node to a fresh view (the clock alignment runs
// on every add), one fitted full paint of all of them, and in the chart
// widget a click that only moves the selection: its repaint from the kept
// picture beside a full paint of the rows, as every click made before the
// chart kept its picture. Prints figures; never fails a build.
//
//   bench_multinode [events per node] [rounds] [nodes]

#include "chart/chartmetrics.h"
#include "chart/chartrenderer.h"
#include "chart/timescale.h"
#include "chart/viewroot.h"
#include "trace/eventcatalogue.h"
#include "trace/node.h"
#include "views/eventchart.h"
#include "views/eventchartcanvas.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QWindow>

#include <algorithm>
#include <ctime>
#include <memory>
#include <vector>

namespace {

const QSize imageSize(1600, 900);

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

double msSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// Milliseconds of processor time this thread has used: on a shared machine
// the wall clock also counts the time others hold the processor.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

struct PaintTimes
{
    double wall = 0; // ms, medians
    double cpu = 0;
};

std::vector<std::unique_ptr<Node>> loadProject(const QString &dir, int nodes, int events,
                                               const EventCatalogue &catalogue)
{
    const int rc =
        QProcess::execute(QStringLiteral(TRACEGEN_PATH),
                          {QStringLiteral("--nodes"), QString::number(nodes), QStringLiteral("--events"),
                           QString::number(events), QStringLiteral("--output"), dir});
    if (rc != 0)
        qFatal("kestrel-tracegen failed");
    std::vector<std::unique_ptr<Node>> loaded;
    for (int i = 1; i <= nodes; ++i) {
        const QString path = dir + QStringLiteral("/node%1.trace").arg(i);
        loaded.push_back(std::make_unique<Node>(path, nullptr, FROM_TRACER, &catalogue));
    }
    return loaded;
}

// Milliseconds of each add, in order, to a fresh view.
std::vector<double> timeAdds(ViewRoot &root, const std::vector<std::unique_ptr<Node>> &nodes)
{
    std::vector<double> adds;
    for (const auto &node : nodes) {
        QElapsedTimer timer;
        timer.start();
        root.addViewedNode(node.get());
        adds.push_back(msSince(timer));
    }
    return adds;
}

PaintTimes fittedPaintMs(ViewRoot &root, const EventCatalogue &catalogue, int rounds, bool warmUp = true)
{
    TimeScale scale;
    scale.setLinScale(1e-9f);
    TimeScale::Viewport viewport;
    viewport.chartWidth = imageSize.width();
    viewport.chartHeight = imageSize.height();
    viewport.headerShift = ChartMetrics::headerWidth;
    viewport.lengthLin = root.lengthLin();
    viewport.lengthLog = root.lengthLog();
    viewport.visibleRowCount = ViewRoot::visibleRowCount(&root);
    scale.relayout(viewport);

    ChartRenderer renderer;
    renderer.setSettings(ChartSettings());
    ChartRenderer::Frame frame;
    frame.scale = &scale;
    frame.viewport = imageSize;
    frame.catalogue = &catalogue;
    QImage image(imageSize, QImage::Format_RGB32);
    NodeViewStates states;
    std::vector<double> times;
    std::vector<double> cpuTimes;
    for (int i = warmUp ? 0 : 1; i <= rounds; ++i) { // the first paint warms up
        QPainter painter(&image);
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = threadCpuMs();
        renderer.paint(painter, root, states, image.rect(), frame);
        painter.end();
        if (i > 0) {
            times.push_back(msSince(timer));
            cpuTimes.push_back(threadCpuMs() - cpuStart);
        }
    }
    return PaintTimes{median(times), median(cpuTimes)};
}

// Median ms of a left click on the first task row of the view's first node,
// each at another x so that it selects another event, and of the viewport's
// repaint after it. With `fullPaint` the rows are painted in full on each
// repaint; the renderer's generation grows, as a settings change makes it.
struct ClickTimes
{
    double repaint = 0;
    double click = 0; // the press and the repaint
};

ClickTimes selectionClickMs(ViewRoot &root, int rounds, bool fullPaint)
{
    NodeViewStates states;
    // A press selects only in a view with a current node.
    root.setCurrentNode(root.nodes().front()->node());
    EventChart chart(&root, &states, QString());
    chart.resize(imageSize);
    chart.show();
    chart.fitTime();
    // The window must be on screen before a repaint paints.
    for (int wait = 0; wait < 100 && !(chart.windowHandle() && chart.windowHandle()->isExposed()); ++wait)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    chart.viewport()->repaint();
    const ViewItem *row = root.nodes().front()->taskTrain()->child(0);
    const int y = row->row() * ChartMetrics::rowHeight + ChartMetrics::rowHeight / 2;
    std::vector<double> repaints;
    std::vector<double> clicks;
    for (int i = 0; i <= rounds; ++i) { // the first click warms up
        const QPointF at(imageSize.width() / 2 + 7 * i, y);
        QMouseEvent press(QEvent::MouseButtonPress, at, chart.canvas()->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, chart.canvas()->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        if (fullPaint)
            chart.renderer().setLevelOfDetail(true);
        QElapsedTimer timer;
        timer.start();
        QCoreApplication::sendEvent(chart.canvas(), &press);
        QCoreApplication::sendEvent(chart.canvas(), &release);
        QElapsedTimer repaint;
        repaint.start();
        chart.viewport()->repaint();
        // A click that selected nothing new would time a copy of the picture.
        if (!fullPaint && chart.picture().lastUpdate() != ChartPicture::OVERLAYS_REDRAWN)
            qWarning("click %d at x %g did not move the selection", i, at.x());
        if (i > 0) {
            repaints.push_back(msSince(repaint));
            clicks.push_back(msSince(timer));
        }
    }
    // What the clicks left must be what a paint from scratch shows.
    ChartRenderer fresh;
    fresh.setSettings(chart.renderer().settings());
    NodeViewStates copy = states;
    QImage image(chart.frame().viewport, QImage::Format_RGB32);
    QPainter painter(&image);
    fresh.paint(painter, root, copy, image.rect(), chart.frame());
    if (image != chart.picture().image())
        qWarning("the picture after the clicks differs from a fresh paint");
    return {median(repaints), median(clicks)};
}

void printClicks(QTextStream &out, const QString &view, ViewRoot &root, int rounds)
{
    const ClickTimes full = selectionClickMs(root, rounds, true);
    const ClickTimes kept = selectionClickMs(root, rounds, false);
    out << QStringLiteral("  selection click in %1, ms: repaint %2 full / %3 kept (%4x); "
                          "click and repaint %5 full / %6 kept\n")
               .arg(view)
               .arg(full.repaint, 0, 'f', 2)
               .arg(kept.repaint, 0, 'f', 2)
               .arg(full.repaint / std::max(kept.repaint, 1e-3), 0, 'f', 0)
               .arg(full.click, 0, 'f', 2)
               .arg(kept.click, 0, 'f', 2);
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly)
               ? QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2)
               : QStringLiteral("unknown");
}

} // namespace

// Adding `node` to `root` and the first fitted paint after it, in milliseconds.
double addAndPaintMs(ViewRoot &root, Node *node, const EventCatalogue &catalogue)
{
    QElapsedTimer timer;
    timer.start();
    root.addViewedNode(node);
    fittedPaintMs(root, catalogue, 1, false);
    return msSince(timer);
}

// A second view of a node the first view still shows: its first paint.
void printSecondView(QTextStream &out, const std::vector<std::unique_ptr<Node>> &nodes,
                     const EventCatalogue &catalogue, int rounds)
{
    std::vector<double> seconds;
    for (int round = 0; round < rounds; ++round) {
        ViewRoot second;
        seconds.push_back(addAndPaintMs(second, nodes.front().get(), catalogue));
    }
    out << QStringLiteral("  a second view of node 1 (%1 events), its first fitted paint: %2 ms\n")
               .arg(nodes.front()->eventCount())
               .arg(median(seconds), 0, 'f', 2);
}

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const int events = argc > 1 ? QByteArray(argv[1]).toInt() : 1000000;
    const int rounds = argc > 2 ? QByteArray(argv[2]).toInt() : 5;
    const int count = argc > 3 ? QByteArray(argv[3]).toInt() : 8;
    QApplication app(argc, argv);
    const EventCatalogue catalogue;
    QTemporaryDir dir;
    const auto nodes = loadProject(dir.path(), count, events, catalogue);

    std::vector<std::vector<double>> adds(static_cast<size_t>(count));
    std::unique_ptr<ViewRoot> root;
    for (int round = 0; round < rounds; ++round) {
        root = std::make_unique<ViewRoot>();
        const std::vector<double> times = timeAdds(*root, nodes);
        for (size_t i = 0; i < times.size(); ++i)
            adds[i].push_back(times[i]);
    }
    QTextStream out(stdout);
    qint64 total = 0;
    for (const auto &node : nodes)
        total += node->eventCount();
    out << QStringLiteral("view of %1 nodes, %2 events in all, median of %3 rounds\n")
               .arg(count)
               .arg(total)
               .arg(rounds);
    out << QStringLiteral("  adding each node, ms:");
    for (const auto &times : adds)
        out << QLatin1Char(' ') << QString::number(median(times), 'f', 2);
    const QString only = qEnvironmentVariable("KESTREL_BENCH_ONLY");
    // Profiling the later steps needs no rounds of the fitted paint.
    const bool later = only == QLatin1String("second") || only == QLatin1String("grown");
    const PaintTimes paint = fittedPaintMs(*root, catalogue, later ? 1 : rounds);
    out << QStringLiteral("\n  fitted full paint of all nodes: %1 ms (processor time %2 ms)\n")
               .arg(paint.wall, 0, 'f', 2)
               .arg(paint.cpu, 0, 'f', 2);
    // For profiling: KESTREL_BENCH_ONLY=fitted stops here, =second after the
    // second view, =grown after adding the last node; =grown skips the second view.
    if (only == QLatin1String("fitted"))
        return 0;

    if (only != QLatin1String("grown"))
        printSecondView(out, nodes, catalogue, rounds);
    if (only == QLatin1String("second"))
        return 0;

    // What adding a node costs before it shows: the add, then the first paint
    // of the whole view, which finds every node's packet arrows anew.
    std::vector<double> shown;
    for (int round = 0; round < rounds; ++round) {
        ViewRoot grown;
        for (size_t i = 0; i + 1 < nodes.size(); ++i)
            grown.addViewedNode(nodes[i].get());
        fittedPaintMs(grown, catalogue, 1, false);
        shown.push_back(addAndPaintMs(grown, nodes.back().get(), catalogue));
    }
    out << QStringLiteral("  adding node %1 and the first fitted paint after it: %2 ms\n")
               .arg(nodes.size())
               .arg(median(shown), 0, 'f', 2);
    if (only == QLatin1String("grown"))
        return 0;

    // The smaller view: the first two nodes.
    ViewRoot pair;
    for (size_t i = 0; i < std::min<size_t>(2, nodes.size()); ++i)
        pair.addViewedNode(nodes[i].get());
    out << QStringLiteral("  load average before the clicks: %1\n").arg(loadAverage());
    printClicks(out, QStringLiteral("all %1 nodes").arg(count), *root, rounds);
    printClicks(out, QStringLiteral("%1 of them").arg(pair.nodes().size()), pair, rounds);
    out << QStringLiteral("  load average after: %1\n").arg(loadAverage());
    return 0;
}
