// Statistics benchmark: the node tables (tasks, services, interrupts) of the
// large node kestrel-tracegen writes alone (1,159,225 events for 1,000,000
// asked), and the packet legs of a view of two such nodes, all over whole
// nodes. Prints figures; never fails a build.
//
//   bench_stats [events per node, as asked of kestrel-tracegen] [rounds]

#include "chart/packetinputs.h"
#include "chart/viewroot.h"
#include "trace/eventcatalogue.h"
#include "trace/node.h"
#include "trace/nodestatistics.h"
#include "trace/packetstatistics.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

std::vector<std::unique_ptr<Node>> loadProject(const QString &dir, int nodeCount, int events,
                                               const EventCatalogue &catalogue)
{
    const int rc =
        QProcess::execute(QStringLiteral(TRACEGEN_PATH),
                          {QStringLiteral("--nodes"), QString::number(nodeCount), QStringLiteral("--events"),
                           QString::number(events), QStringLiteral("--output"), dir});
    if (rc != 0)
        qFatal("kestrel-tracegen failed");
    std::vector<std::unique_ptr<Node>> loaded;
    for (int i = 1; i <= nodeCount; ++i) {
        const QString path = dir + QStringLiteral("/node%1.trace").arg(i);
        loaded.push_back(std::make_unique<Node>(path, nullptr, FROM_TRACER, &catalogue));
    }
    return loaded;
}

// Median milliseconds of `rounds` runs of `work`; `sink` keeps its result alive.
double timeRounds(int rounds, const std::function<int()> &work, int &sink)
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        sink += work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return median(times);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int events = argc > 1 ? QByteArray(argv[1]).toInt() : 1000000;
    const int rounds = argc > 2 ? QByteArray(argv[2]).toInt() : 5;

    const EventCatalogue catalogue;
    const QTemporaryDir singleDir;
    const auto single = loadProject(singleDir.path(), 1, events, catalogue);
    const Node &node = *single.front();
    const EventRange whole = EventRange::whole(node);
    const QTemporaryDir pairDir;
    const auto nodes = loadProject(pairDir.path(), 2, events, catalogue);
    ViewRoot root;
    for (const auto &each : nodes)
        root.addViewedNode(each.get());
    const QVector<PacketNodeInput> inputs = packetInputs(root);

    int sink = 0;
    const double tasks = timeRounds(
        rounds, [&] { return int(taskStatistics(node, whole).size()); }, sink);
    const double services = timeRounds(
        rounds, [&] { return int(serviceStatistics(node, whole).size()); }, sink);
    const double interrupts = timeRounds(
        rounds, [&] { return int(interruptStatistics(node, whole).size()); }, sink);
    const double packets = timeRounds(
        rounds, [&] { return packetStatistics(inputs).packets; }, sink);

    QTextStream out(stdout);
    out << QStringLiteral("statistics of a node of %1 events, median of %2 rounds, whole nodes:\n")
               .arg(node.eventCount())
               .arg(rounds);
    out << QStringLiteral("  tasks %1 ms, services %2 ms, interrupts %3 ms\n")
               .arg(tasks, 0, 'f', 2)
               .arg(services, 0, 'f', 2)
               .arg(interrupts, 0, 'f', 2);
    out << QStringLiteral("  packets of a view of two nodes (%1 events in all) %2 ms\n")
               .arg(nodes.front()->eventCount() + nodes.back()->eventCount())
               .arg(packets, 0, 'f', 2);
    out << QStringLiteral("  all tables %1 ms (checksum %2)\n")
               .arg(tasks + services + interrupts + packets, 0, 'f', 2)
               .arg(sink);
    return 0;
}
