#include "nodefixture.h"
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

// count total min-max @worst event
QString timing(const TimingStats &s)
{
    return QStringLiteral("%1 %2 %3-%4 @%5")
        .arg(s.count)
        .arg(s.total)
        .arg(s.min)
        .arg(s.max)
        .arg(s.worst.eventIndex);
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
        QTest::newRow("the median of two is the smaller") << QVector<qint64>{3, 9} << 50 << qint64(3);
        QTest::newRow("just past half of two is the larger") << QVector<qint64>{3, 9} << 51 << qint64(9);
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
        QCOMPARE(timing(stats) + QStringLiteral(" mean %1 p50 %2 best @%3")
                                     .arg(stats.mean)
                                     .arg(stats.p50)
                                     .arg(stats.best.eventIndex),
                 QStringLiteral("5 27 2-9 @12 mean 5.4 p50 5 best @11"));
        QCOMPARE(collector.take().count, 0);
    }

    void taskActivations_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<int>("task");
        QTest::addColumn<QString>("activations"); // count total min-max @worst event
        QTest::addColumn<double>("share");
        QTest::newRow("a task's two runs, a switch to itself going on")
            << 0 << 10 << 3 << "2 130 30-100 @5" << 130.0 / 3;
        QTest::newRow("interrupts and markers stay in the activation")
            << 0 << 10 << 5 << "1 70 70-70 @2" << 70.0 / 3;
        QTest::newRow("the kernel's run to the switch at the last event")
            << 0 << 10 << 0 << "1 100 100-100 @8" << 100.0 / 3;
        QTest::newRow("a range cuts the activation it starts in")
            << 3 << 6 << 5 << "1 50 50-50 @3" << 50.0 / 0.9;
        QTest::newRow("a range's time runs to the event after its last")
            << 3 << 6 << 3 << "1 40 40-40 @5" << 40.0 / 0.9;
        QTest::newRow("a task that did not run in the range") << 3 << 6 << 0 << "0 0 0-0 @-1" << 0.0;
    }

    void taskActivations()
    {
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(int, task);
        QFETCH(double, share);
        const auto node = tasksNode();
        const auto rows = taskStatistics(*node, EventRange::of(*node, first, last));
        QCOMPARE(rows.size(), node->tasks().size());
        const TaskStatistics row = rowWith(rows, &TaskStatistics::taskId, task);
        QCOMPARE(row.taskId, task);
        QTEST(timing(row.activations), "activations");
        QVERIFY2(qAbs(row.share - share) < 1e-9, qPrintable(QString::number(row.share)));
    }

    // Past the marker at 160 to the switch at 200, and from 350 to the last event.
    void interruptsLastTillTheNextOrdinaryEvent()
    {
        const auto node = tasksNode();
        const auto rows = interruptStatistics(*node, EventRange::whole(*node));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(QString::number(rows[0].interrupt) + QLatin1Char(' ') + timing(rows[0].time),
                 QStringLiteral("9 2 100 50-50 @3"));
    }

    void serviceCallsPairPerTask_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<int>("service");
        // calls, unmatched requests/completions, timing, kernel total, then each caller's task: time
        QTest::addColumn<QString>("calls");
        QTest::newRow("each completion closes its own task's request and times its caller")
            << 0 << 10 << 7 << "2 0/0 2 55 5-50 @1 8, 3: 50, 4: 5";
        QTest::newRow("a completion first and a request last stay unmatched")
            << 0 << 10 << 8 << "1 1/1 0 0 0-0 @-1 0, 3: 0";
        QTest::newRow("a request before the range leaves its completion unmatched")
            << 5 << 9 << 7 << "1 0/1 1 5 5-5 @5 0, 4: 5";
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
        QString callers;
        for (const ServiceCallerStatistics &caller : row.callers)
            callers += QStringLiteral(", %1: %2").arg(caller.taskId).arg(caller.time.total);
        QTEST(QStringLiteral("%1 %2/%3 %4 %5")
                      .arg(row.calls)
                      .arg(row.unmatchedRequests)
                      .arg(row.unmatchedCompletions)
                      .arg(timing(row.time))
                      .arg(row.kernel.total) +
                  callers,
              "calls");
    }

    // Aligned time = offset + shift: node 1 +0, node 2 +50, node 3 -20. Each leg as
    // "source>destination hop n: from>to count x latency @node:event of the fastest".
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
        // Sequence 7 is never received, 8 sent twice.
        QCOMPARE((QList<int>{stats.packets, stats.unreceived, stats.ambiguous}), (QList<int>{4, 1, 1}));
        QStringList legs;
        for (const PacketLegStatistics &leg : stats.legs)
            legs << QStringLiteral("%1>%2 hop %3: %4>%5 %6x%7 @%8:%9")
                        .arg(leg.source)
                        .arg(leg.destination)
                        .arg(leg.hop)
                        .arg(leg.fromNode)
                        .arg(leg.toNode)
                        .arg(leg.latency.count)
                        .arg(leg.latency.total)
                        .arg(leg.latency.best.nodeId)
                        .arg(leg.latency.best.eventIndex);
        legs.sort();
        QCOMPARE(
            legs.join(QLatin1String(", ")),
            QStringLiteral("1>2 hop 0: 1>2 1x50 @1:3, 1>2 hop 1: 1>2 1x50 @1:3, 1>3 hop 0: 1>3 1x100 @1:1, "
                           "1>3 hop 1: 1>2 1x30 @1:1, 1>3 hop 2: 2>3 1x70 @2:1"));
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
