// The Chrome trace-event export of three hand-made nodes whose clocks lag by
// known amounts: what becomes which event, nesting, flow pairs and alignment.

#include "chart/packetinputs.h"
#include "chart/viewroot.h"
#include "nodefixture.h"
#include "testsupport.h"
#include "trace/node.h"
#include "trace/traceeventjson.h"

#include <QtTest>

#include <memory>

namespace {

// A packet event and its notification 40 us later: equal spans on both ends
// align the two events to one instant. Sender in bits 8-15 of param1, hop
// number above the sequence number in param2.
QVector<Ev> packet(qint32 type, quint32 time, int sender, int hop, int seq)
{
    return {{type, time, sender << 8, hop << 16 | seq}, {-type, time + 40, sender << 8, hop << 16 | seq}};
}

// Node 1 on the reference clock: task 1 calls service 7 and is switched away
// until the kernel (task 0) has serviced it (25-30); an interrupt at 50 lasts
// to the next event that is no marker (300); packet 1/1 goes to node 2,
// packet 1/2 through node 2 to node 3; a user marker set by task 1.
// Node 2's clock lags 70 us behind, node 3's 170 us.
std::vector<std::unique_ptr<Node>> threeNodes()
{
    using namespace EventType;
    std::vector<std::unique_ptr<Node>> nodes;
    nodes.push_back(nodeOf(1, QVector<Ev>{{TaskSwitch, 0, 0, 1},
                                          {ServiceRequest, 10, 7, 0},
                                          {TaskSwitch, 20, 0, 0},
                                          {KernelServicingRequest, 25, 7, 0},
                                          {KernelServicingCompleted, 30, 7, 0},
                                          {TaskSwitch, 40, 0, 1},
                                          {ServiceCompleted, 45, 7, 0},
                                          {Isr, 50, 9, 0}} +
                                  packet(PacketSending, 100, 1, 0, 1) +
                                  QVector<Ev>{{UserMarker, 150, 1 << 16 | 3, 0}} +
                                  packet(PacketSending, 200, 1, 0, 2) +
                                  QVector<Ev>{{TaskSwitch, 300, 0, 2}, {ServiceRequest, 400, 8, 0}}));
    nodes.push_back(nodeOf(2, QVector<Ev>{{TaskSwitch, 0, 0, 1}} + packet(PacketReceiving, 30, 1, 1, 1) +
                                  packet(PacketRouting, 130, 1, 1, 2) + packet(PacketSending, 250, 2, 0, 1) +
                                  QVector<Ev>{{ServiceRequest, 400, 8, 0}}));
    nodes.push_back(nodeOf(3, QVector<Ev>{{TaskSwitch, 0, 0, 1}} + packet(PacketReceiving, 30, 1, 2, 2) +
                                  packet(PacketReceiving, 150, 2, 1, 1) +
                                  QVector<Ev>{{ServiceRequest, 300, 8, 0}}));
    return nodes;
}

QJsonArray exportOf(const std::vector<std::unique_ptr<Node>> &nodes)
{
    ViewRoot root;
    for (const auto &node : nodes)
        root.addViewedNode(node.get());
    return traceEventJson(packetInputs(root)).object().value(QStringLiteral("traceEvents")).toArray();
}

QString text(const QJsonObject &event, const char *key)
{
    return event.value(QLatin1String(key)).toString();
}

qint64 time(const QJsonObject &event, const char *key = "ts")
{
    return qint64(event.value(QLatin1String(key)).toDouble());
}

} // namespace

class TestTraceEventJson : public QObject
{
    Q_OBJECT

private:
    std::vector<std::unique_ptr<Node>> m_nodes = threeNodes();
    QJsonArray m_events = exportOf(m_nodes);

private slots:
    // A process and its place in the order per node; a thread per task, 0 to 2 on node 1 and 1 on the others;
    // a complete event per activation (four on node 1, one on each other), for the kernel servicing and for
    // the interrupt; an async pair for the call its caller was switched away from; an instant for the user
    // marker; a flow start and end per link, one, two and one.
    void eachKindBecomesItsEvent()
    {
        QMap<QString, int> counts; // by phase and category, or for metadata name
        for (const QJsonValue &value : std::as_const(m_events)) {
            const QString phase = text(value.toObject(), "ph");
            ++counts[phase + QLatin1Char(' ') +
                     text(value.toObject(), phase == QLatin1String("M") ? "name" : "cat")];
        }
        QStringList kinds;
        for (auto kind = counts.cbegin(); kind != counts.cend(); ++kind)
            kinds << kind.key() + QLatin1Char(' ') + QString::number(kind.value());
        QCOMPARE(
            kinds.join(QLatin1Char('|')),
            QStringLiteral(
                "M process_name 3|M process_sort_index 3|M thread_name 5|X interrupt 1|X kernel 1|X task 6|"
                "b service 1|e service 1|f packet 4|i marker 1|s packet 4"));
    }

    void slicesLieWithinTheirTasksActivation()
    {
        QVector<QJsonObject> activations;
        QVector<QJsonObject> slices;
        for (const QJsonValue &value : std::as_const(m_events)) {
            const QJsonObject event = value.toObject();
            if (text(event, "ph") == QLatin1String("X"))
                (text(event, "cat") == QLatin1String("task") ? activations : slices).append(event);
        }
        QVERIFY(!slices.isEmpty());
        for (const QJsonObject &slice : std::as_const(slices)) {
            const bool nested =
                std::any_of(activations.begin(), activations.end(), [&](const QJsonObject &a) {
                    return a.value(QLatin1String("pid")) == slice.value(QLatin1String("pid")) &&
                           a.value(QLatin1String("tid")) == slice.value(QLatin1String("tid")) &&
                           time(a) <= time(slice) &&
                           time(slice) + time(slice, "dur") <= time(a) + time(a, "dur");
                });
            QVERIFY2(nested, qPrintable(text(slice, "name")));
        }
    }

    // The packets travel in no time on the aligned clocks, so every flow ends
    // when it starts; unaligned they would be 70 or 100 us apart.
    void everyFlowEndsAtItsStartOnTheAlignedAxis()
    {
        QHash<int, QJsonObject> starts;
        QHash<int, QJsonObject> ends;
        for (const QJsonValue &value : std::as_const(m_events)) {
            const QJsonObject event = value.toObject();
            const int id = event.value(QLatin1String("id")).toInt();
            if (text(event, "ph") == QLatin1String("s"))
                starts.insert(id, event);
            else if (text(event, "ph") == QLatin1String("f"))
                ends.insert(id, event);
        }
        QCOMPARE(starts.keys().size(), 4);
        QCOMPARE(QSet<int>(ends.keyBegin(), ends.keyEnd()), QSet<int>(starts.keyBegin(), starts.keyEnd()));
        for (auto start = starts.cbegin(); start != starts.cend(); ++start) {
            QVERIFY(start->value(QLatin1String("pid")) != ends[start.key()].value(QLatin1String("pid")));
            QCOMPARE(time(ends[start.key()]), time(*start));
        }
    }

    // Each node's first activation starts at offset 0 plus its clock's lag.
    void activationsStartAtTheNodesShift()
    {
        QHash<int, qint64> firstStart;
        for (const QJsonValue &value : std::as_const(m_events)) {
            const QJsonObject event = value.toObject();
            const int pid = event.value(QLatin1String("pid")).toInt();
            if (text(event, "cat") == QLatin1String("task") && !firstStart.contains(pid))
                firstStart.insert(pid, time(event));
        }
        QCOMPARE(firstStart, (QHash<int, qint64>{{1, 0}, {2, 70}, {3, 170}}));
    }
};

QTEST_GUILESS_MAIN(TestTraceEventJson)
#include "tst_traceeventjson.moc"
