// Statistics of hand-made nodes against figures worked out by hand, the
// percentile rule at its edges, packet latencies on known clock shifts, and
// task totals against the execution times the node model keeps.

#include "nodefixture.h"
#include "testsupport.h"
#include "trace/eventcatalogue.h"
#include "trace/node.h"
#include "trace/nodestatistics.h"
#include "trace/packetstatistics.h"
#include "trace/task.h"

#include <QDirIterator>
#include <QtTest>

#include <memory>

namespace {

// Task 3 runs 100-130 and 200-300 (a switch to itself at 240 goes on), task 5
// 130-200 with an interrupt and a user marker (set by task 3) inside, the
// kernel 300-400; the switch at 400 is the last event and opens no time.
std::unique_ptr<Node> tasksNode()
{
    using namespace EventType;
    return nodeOf(1, {{TaskSwitch, 100, 0, 3},
                      {ServiceRequest, 110, 7, 0},
                      {TaskSwitch, 130, 0, 5},
                      {Isr, 150, 9, 0},
                      {UserMarker, 160, 3 << 16, 0},
                      {TaskSwitch, 200, 0, 3},
                      {ServiceCompleted, 210, 7, 0},
                      {TaskSwitch, 240, 0, 3},
                      {TaskSwitch, 300, 0, 0},
                      {Isr, 350, 9, 0},
                      {TaskSwitch, 400, 0, 5}});
}

// Tasks 3 and 4 both call service 7; task 3's completion comes after task 4's
// whole call and must pair with task 3's own request. Service 8 has a
// completion before any request and a request never completed.
std::unique_ptr<Node> servicesNode()
{
    using namespace EventType;
    return nodeOf(1, {{TaskSwitch, 0, 0, 3},
                      {ServiceRequest, 10, 7, 0},
                      {KernelServicingRequest, 12, 7, 0},
                      {KernelServicingCompleted, 20, 7, 0},
                      {TaskSwitch, 25, 0, 4},
                      {ServiceRequest, 30, 7, 0},
                      {ServiceCompleted, 35, 7, 0},
                      {TaskSwitch, 50, 0, 3},
                      {ServiceCompleted, 60, 7, 0},
                      {ServiceCompleted, 70, 8, 0},
                      {ServiceRequest, 80, 8, 0}});
}

template<typename Row> Row rowWith(const QVector<Row> &rows, int Row::*id, int value)
{
    for (const Row &row : rows) {
        if (row.*id == value)
            return row;
    }
    return Row{};
}

} // namespace

class TestStatistics : public QObject
{
    Q_OBJECT

private slots:
    void percentilesTakeTheNearestRank_data()
    {
        QTest::addColumn<QVector<qint64>>("samples"); // ascending
        QTest::addColumn<int>("percent");
        QTest::addColumn<qint64>("value");
        QTest::newRow("one sample is every percentile") << QVector<qint64>{7} << 99 << qint64(7);
        QTest::newRow("the median of two is the smaller") << QVector<qint64>{3, 9} << 50 << qint64(3);
        QTest::newRow("just past half of two is the larger") << QVector<qint64>{3, 9} << 51 << qint64(9);
        QTest::newRow("p95 of twenty is the nineteenth")
            << QVector<qint64>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20} << 95
            << qint64(19);
        QTest::newRow("p0 is the smallest") << QVector<qint64>{-4, 0, 6} << 0 << qint64(-4);
        QTest::newRow("p100 is the largest") << QVector<qint64>{-4, 0, 6} << 100 << qint64(6);
        QTest::newRow("no samples give 0") << QVector<qint64>{} << 50 << qint64(0);
    }

    void percentilesTakeTheNearestRank()
    {
        QFETCH(QVector<qint64>, samples);
        QFETCH(int, percent);
        QTEST(nearestRank(std::vector<qint64>(samples.cbegin(), samples.cend()), percent), "value");
    }

    // Equal values: best and worst are the first of them; the mean is exact.
    void summaryKeepsTheFirstOfEqualExtremes()
    {
        TimingCollector collector;
        const qint64 samples[] = {5, 2, 9, 2, 9};
        for (int i = 0; i < 5; ++i)
            collector.add(samples[i], {1, 10 + i});
        const TimingStats stats = collector.take();
        QCOMPARE(stats.count, 5);
        QCOMPARE(stats.total, qint64(27));
        QCOMPARE(stats.mean, 5.4);
        QCOMPARE(stats.best.eventIndex, 11);
        QCOMPARE(stats.worst.eventIndex, 12);
        QCOMPARE(stats.p50, qint64(5));
        QCOMPARE(collector.take().count, 0);
    }

    void taskActivations_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<int>("task");
        QTest::addColumn<int>("activations");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<qint64>("min");
        QTest::addColumn<qint64>("max");
        QTest::addColumn<int>("worstEvent");
        QTest::addColumn<double>("share");
        QTest::newRow("a task's two runs, a switch to itself going on")
            << 0 << 10 << 3 << 2 << qint64(130) << qint64(30) << qint64(100) << 5 << 130.0 / 3;
        QTest::newRow("interrupts and markers stay in the activation")
            << 0 << 10 << 5 << 1 << qint64(70) << qint64(70) << qint64(70) << 2 << 70.0 / 3;
        QTest::newRow("the kernel's run to the switch at the last event")
            << 0 << 10 << 0 << 1 << qint64(100) << qint64(100) << qint64(100) << 8 << 100.0 / 3;
        QTest::newRow("a range cuts the activation it starts in")
            << 3 << 6 << 5 << 1 << qint64(50) << qint64(50) << qint64(50) << 3 << 50.0 / 0.9;
        QTest::newRow("a range's time runs to the event after its last")
            << 3 << 6 << 3 << 1 << qint64(40) << qint64(40) << qint64(40) << 5 << 40.0 / 0.9;
        QTest::newRow("a task that did not run in the range")
            << 3 << 6 << 0 << 0 << qint64(0) << qint64(0) << qint64(0) << -1 << 0.0;
    }

    void taskActivations()
    {
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(int, task);
        const auto node = tasksNode();
        const auto rows = taskStatistics(*node, EventRange::of(*node, first, last));
        QCOMPARE(rows.size(), node->tasks().size());
        const TaskStatistics row = rowWith(rows, &TaskStatistics::taskId, task);
        QCOMPARE(row.taskId, task);
        QTEST(row.activations.count, "activations");
        QTEST(row.activations.total, "total");
        QTEST(row.activations.min, "min");
        QTEST(row.activations.max, "max");
        QTEST(row.activations.worst.eventIndex, "worstEvent");
        QFETCH(double, share);
        QVERIFY2(qAbs(row.share - share) < 1e-9, qPrintable(QString::number(row.share)));
    }

    void interruptsLastTillTheNextOrdinaryEvent()
    {
        const auto node = tasksNode();
        const auto rows = interruptStatistics(*node, EventRange::whole(*node));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].interrupt, 9);
        QCOMPARE(rows[0].time.count, 2);
        QCOMPARE(rows[0].time.min, qint64(50)); // past the marker at 160 to the switch at 200
        QCOMPARE(rows[0].time.max, qint64(50));
        QCOMPARE(rows[0].time.best.eventIndex, 3);
    }

    void serviceCallsPairPerTask_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<int>("service");
        QTest::addColumn<int>("calls");
        QTest::addColumn<int>("timed");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<qint64>("max");
        QTest::addColumn<int>("worstEvent");
        QTest::addColumn<int>("unmatchedRequests");
        QTest::addColumn<int>("unmatchedCompletions");
        QTest::addColumn<qint64>("kernelTotal");
        QTest::newRow("each completion closes its own task's request")
            << 0 << 10 << 7 << 2 << 2 << qint64(55) << qint64(50) << 1 << 0 << 0 << qint64(8);
        QTest::newRow("a completion first and a request last stay unmatched")
            << 0 << 10 << 8 << 1 << 0 << qint64(0) << qint64(0) << -1 << 1 << 1 << qint64(0);
        QTest::newRow("a request before the range leaves its completion unmatched")
            << 5 << 9 << 7 << 1 << 1 << qint64(5) << qint64(5) << 5 << 0 << 1 << qint64(0);
    }

    void serviceCallsPairPerTask()
    {
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(int, service);
        const auto node = servicesNode();
        const auto rows = serviceStatistics(*node, EventRange::of(*node, first, last));
        const ServiceStatistics row = rowWith(rows, &ServiceStatistics::serviceId, service);
        QCOMPARE(row.serviceId, service);
        QTEST(row.calls, "calls");
        QTEST(row.time.count, "timed");
        QTEST(row.time.total, "total");
        QTEST(row.time.max, "max");
        QTEST(row.time.worst.eventIndex, "worstEvent");
        QTEST(row.unmatchedRequests, "unmatchedRequests");
        QTEST(row.unmatchedCompletions, "unmatchedCompletions");
        QTEST(row.kernel.total, "kernelTotal");
    }

    void serviceCallersAreTheRequestingTasks()
    {
        const auto node = servicesNode();
        const auto row =
            rowWith(serviceStatistics(*node, EventRange::whole(*node)), &ServiceStatistics::serviceId, 7);
        QCOMPARE(row.callers.size(), 2);
        QCOMPARE(row.callers[0].taskId, 3);
        QCOMPARE(row.callers[0].time.total, qint64(50));
        QCOMPARE(row.callers[1].taskId, 4);
        QCOMPARE(row.callers[1].time.total, qint64(5));
    }

    void packetLegsOnShiftedClocks_data()
    {
        QTest::addColumn<int>("source");
        QTest::addColumn<int>("destination");
        QTest::addColumn<int>("hop");
        QTest::addColumn<int>("fromNode");
        QTest::addColumn<int>("toNode");
        QTest::addColumn<qint64>("latency");
        QTest::addColumn<int>("fromEvent");
        // Aligned time = offset + shift: node 1 +0, node 2 +50, node 3 -20.
        QTest::newRow("to the neighbour: the whole route") << 1 << 2 << 0 << 1 << 2 << qint64(50) << 3;
        QTest::newRow("to the neighbour: its one link") << 1 << 2 << 1 << 1 << 2 << qint64(50) << 3;
        QTest::newRow("through a router: the whole route") << 1 << 3 << 0 << 1 << 3 << qint64(100) << 1;
        QTest::newRow("through a router: sending to routing") << 1 << 3 << 1 << 1 << 2 << qint64(30) << 1;
        QTest::newRow("through a router: routing to receiving") << 1 << 3 << 2 << 2 << 3 << qint64(70) << 1;
    }

    void packetLegsOnShiftedClocks()
    {
        using namespace EventType;
        // param1: sender id in bits 8-15; param2: hop above the sequence number.
        const auto one = nodeOf(1, {{TaskSwitch, 1000, 0, 2},
                                    {PacketSending, 1100, 1 << 8, 5},
                                    {PacketSendingNotification, 1110, 1 << 8, 5},
                                    {PacketSending, 1200, 1 << 8, 6},
                                    {PacketSending, 1300, 1 << 8, 7},
                                    {PacketSending, 1400, 1 << 8, 8},
                                    {PacketSending, 1500, 1 << 8, 8}});
        const auto two = nodeOf(2, {{TaskSwitch, 5000, 0, 2},
                                    {PacketRouting, 5080, 1 << 8, 1 << 16 | 5},
                                    {PacketReceiving, 5200, 1 << 8, 1 << 16 | 6}});
        const auto three = nodeOf(3, {{TaskSwitch, 0, 0, 2}, {PacketReceiving, 220, 1 << 8, 2 << 16 | 5}});
        const PacketStatistics stats = packetStatistics({{one.get(), 0, EventRange::whole(*one)},
                                                         {two.get(), 50, EventRange::whole(*two)},
                                                         {three.get(), -20, EventRange::whole(*three)}});
        QCOMPARE(stats.packets, 4);
        QCOMPARE(stats.unreceived, 1); // sequence 7
        QCOMPARE(stats.ambiguous, 1);  // sequence 8, sent twice
        QCOMPARE(stats.legs.size(), 5);

        QFETCH(int, source);
        QFETCH(int, destination);
        QFETCH(int, hop);
        int found = 0;
        for (const PacketLegStatistics &leg : stats.legs) {
            if (leg.source != source || leg.destination != destination || leg.hop != hop)
                continue;
            ++found;
            QTEST(leg.fromNode, "fromNode");
            QTEST(leg.toNode, "toNode");
            QCOMPARE(leg.latency.count, 1);
            QTEST(leg.latency.total, "latency");
            QCOMPARE(leg.latency.best.nodeId, leg.fromNode);
            QTEST(leg.latency.best.eventIndex, "fromEvent");
        }
        QCOMPARE(found, 1);
    }

    // Over whole nodes the activations add up to the execution time the node
    // model keeps (in 32 bits), and the shares agree.
    void taskTotalsAreTheExecutionTimes_data()
    {
        QTest::addColumn<QString>("path");
        QDirIterator files(QStringLiteral(KESTREL_SOURCE_DIR), {QStringLiteral("*.trace")}, QDir::Files,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            if (path.contains(QLatin1String("/demo/")) || path.contains(QLatin1String("/tests/")))
                QTest::newRow(qPrintable(path.mid(int(qstrlen(KESTREL_SOURCE_DIR))))) << path;
        }
    }

    void taskTotalsAreTheExecutionTimes()
    {
        QFETCH(QString, path);
        const EventCatalogue catalogue;
        std::unique_ptr<Node> node;
        try {
            node = std::make_unique<Node>(path, nullptr, FROM_CMDLINE, &catalogue);
        } catch (const QString &refusal) {
            QSKIP(qPrintable(refusal));
        }
        for (const TaskStatistics &row : taskStatistics(*node, EventRange::whole(*node))) {
            const Task *task = node->task(row.taskId);
            QVERIFY(task);
            QCOMPARE(quint32(row.activations.total), task->executionTime());
            QVERIFY(qAbs(row.share - double(task->share())) < 1e-3);
        }
    }
};

QTEST_GUILESS_MAIN(TestStatistics)
#include "tst_statistics.moc"
