// Multi-node view benchmark: a view of several large nodes that share
// packets. Times adding each node to a fresh view (the clock alignment runs
// on every add) and one fitted full paint of all of them. Prints figures;
// never fails a build.
//
//   bench_multinode [events per node] [rounds] [nodes]

#include "chart/chartmetrics.h"
#include "chart/chartrenderer.h"
#include "chart/timescale.h"
#include "chart/viewroot.h"
#include "trace/eventcatalogue.h"
#include "trace/node.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

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

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const int events = argc > 1 ? QByteArray(argv[1]).toInt() : 1000000;
    const int rounds = argc > 2 ? QByteArray(argv[2]).toInt() : 5;
    const int count = argc > 3 ? QByteArray(argv[3]).toInt() : 8;
    QGuiApplication app(argc, argv);
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
    const PaintTimes paint = fittedPaintMs(*root, catalogue, rounds);
    out << QStringLiteral("\n  fitted full paint of all nodes: %1 ms (processor time %2 ms)\n")
               .arg(paint.wall, 0, 'f', 2)
               .arg(paint.cpu, 0, 'f', 2);

    // A second view of a node the first view still shows: its first paint.
    std::vector<double> seconds;
    for (int round = 0; round < rounds; ++round) {
        ViewRoot second;
        QElapsedTimer timer;
        timer.start();
        second.addViewedNode(nodes.front().get());
        fittedPaintMs(second, catalogue, 1, false);
        seconds.push_back(msSince(timer));
    }
    out << QStringLiteral("  a second view of node 1 (%1 events), its first fitted paint: %2 ms\n")
               .arg(nodes.front()->eventCount())
               .arg(median(seconds), 0, 'f', 2);
    return 0;
}
