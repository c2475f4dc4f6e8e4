#include "testsupport.h"
#include "trace/eventcatalogue.h"
#include "trace/hub.h"
#include "trace/node.h"
#include "trace/task.h"
#include "tracefixture.h"

#include <QtTest>

#include <cmath>

using TraceFixture::eventXml;
using TraceFixture::traceFile;

Q_DECLARE_METATYPE(QList<quint32>)

namespace {

// A node whose high counter counts microseconds, so that a high counter value
// is the event's timestamp.
std::unique_ptr<Node> microsecondNode(const EventCatalogue *catalogue, int nodeId = 1)
{
    auto node = std::make_unique<Node>(nodeId, nullptr, catalogue);
    node->setCounterFrequencies(0, 1000000);
    return node;
}

} // namespace

class TestNodeModel : public QObject
{
    Q_OBJECT

private:
    const EventCatalogue m_catalogue;

private slots:

    void timestampCombinesBothCounters_data()
    {
        QTest::addColumn<quint32>("low");
        QTest::addColumn<quint32>("high");
        QTest::addColumn<quint32>("lowHz");
        QTest::addColumn<quint32>("highHz");
        QTest::addColumn<quint32>("timestamp");

        QTest::newRow("a high frequency of 0 leaves the high term out")
            << 500u << 7u << 1000u << 0u << 500000u;
        QTest::newRow("fractions of a microsecond are cut off") << 0u << 1u << 0u << 3u << 333333u;
        // (2^32 - 1) s = 4294967295000000 us, whose low 32 bits are 2^32 - 10^6.
        QTest::newRow("a time beyond 32 bits keeps its low 32 bits")
            << 0u << 0xFFFFFFFFu << 0u << 1u << 4293967296u;
    }

    void timestampCombinesBothCounters()
    {
        QFETCH(quint32, low);
        QFETCH(quint32, high);
        QFETCH(quint32, lowHz);
        QFETCH(quint32, highHz);
        QTEST(Node::timestampFor(low, high, lowHz, highHz), "timestamp");
    }

    void timeAxesFollowTheAnchors_data()
    {
        using L = QList<quint32>;
        QTest::addColumn<QList<int>>("types");
        QTest::addColumn<L>("times");
        QTest::addColumn<L>("durations");
        QTest::addColumn<L>("offsets"); // the log position is the logarithm of the offset, 0 at the origin

        QTest::newRow("the next event sets the duration; equal timestamps give none and one position")
            << QList<int>{1, 1, 1} << L{10, 110, 110} << L{100, 0, 0} << L{0, 100, 100};
        QTest::newRow("sync markers never become anchors")
            << QList<int>{1, 3, 4, 1} << L{0, 10, 40, 100} << L{100, 0, 0, 0} << L{0, 10, 40, 100};
        QTest::newRow("markers before any ordinary event sit at the origin")
            << QList<int>{16, 16, 1} << L{30, 50, 80} << L{0, 0, 0} << L{0, 0, 0};
        QTest::newRow("an event type outside the catalogue is an ordinary event")
            << QList<int>{77, 1} << L{0, 100} << L{100, 0} << L{0, 100};
    }

    void timeAxesFollowTheAnchors()
    {
        QFETCH(QList<int>, types);
        QFETCH(QList<quint32>, times);
        QFETCH(QList<quint32>, durations);
        QFETCH(QList<quint32>, offsets);

        auto node = microsecondNode(&m_catalogue);
        for (int i = 0; i < types.size(); ++i)
            node->addEvent(types[i], 0, times[i], 0x100, 0x10001);
        QCOMPARE(node->eventCount(), types.size());
        for (int i = 0; i < types.size(); ++i) {
            const TraceEvent &e = node->events().at(i);
            QCOMPARE(e.duration, durations[i]);
            QCOMPARE(e.offset, offsets[i]);
            const float logPosition = offsets[i] ? std::log(float(offsets[i])) : 0.0f;
            QVERIFY2(qAbs(e.logPosition - logPosition) < 1e-5f, qPrintable(QString::number(i)));
            QCOMPARE(e.logDuration, e.duration ? std::log(float(e.duration)) : 0.0f);
            QCOMPARE(e.isMarker, (types[i] == 16 || (types[i] >= 3 && types[i] <= 6)) ? 1 : 0);
        }
    }

    // 1 Hz high counter, 1 MHz low counter: the second event's low counter wrapped before the high one did.
    void backwardTimestampIsCorrectedOnce()
    {
        Node node(1, nullptr, &m_catalogue);
        node.setCounterFrequencies(1000000, 1);
        node.addEvent(1, 999990, 1, 0, 0);
        node.addEvent(1, 10, 1, 0, 0);
        QCOMPARE((QList<quint32>{node.events().at(1).timestamp, node.events().at(0).duration,
                                 node.events().at(1).offset}),
                 (QList<quint32>{2000010, 20, 20}));
    }

    void argumentsAreDecodedByType_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("param1");
        QTest::addColumn<int>("param2");
        QTest::addColumn<QString>("decoded"); // arg1 arg2 nodeId currentTask flags

        // The node's own id is 9; no task switch has happened, so task 0 runs.
        QTest::newRow("a service request keeps only the low bytes") << 1 << 0x7F04 << 0x7F0602 << "4 2 6 0 7";
        QTest::newRow("an interrupt is decoded like a service") << 255 << 0x21 << 0x0344 << "33 68 3 0 7";
    }

    void argumentsAreDecodedByType()
    {
        QFETCH(int, type);
        QFETCH(int, param1);
        QFETCH(int, param2);
        auto node = microsecondNode(&m_catalogue, 9);
        node->addEvent(type, 0, 10, param1, param2);
        const TraceEvent &e = node->events().back();
        QTEST(QStringLiteral("%1 %2 %3 %4 %5")
                  .arg(e.arg1)
                  .arg(e.arg2)
                  .arg(e.nodeId)
                  .arg(e.currentTask)
                  .arg(e.flags()),
              "decoded");
    }

    void firstEventBeforeAnySwitchCreatesUnknownTaskZero()
    {
        auto node = microsecondNode(&m_catalogue, 1);
        node->addEvent(1, 0, 10, 0, 0);
        QCOMPARE(node->tasks().keys(), QList<int>{0});
        QVERIFY(node->task(0)->name() == QLatin1String("[unknown]") &&
                node->task(0)->role() == Task::USER_TASK);
        QVERIFY(node->event(0) && !node->event(1) && !node->event(-1));
        // No time passes: every share is 0 rather than a division by zero.
        node->addEvent(0, 0, 10, 0, 3);
        node->addEvent(1, 0, 10, 0, 0);
        node->finish();
        QCOMPARE((QList<float>{float(node->totalTime()), node->task(3)->share(), node->task(0)->share()}),
                 (QList<float>{0, 0, 0}));
    }

    void hubServicesCountOnLocalAndRemoteHubs()
    {
        const QByteArray declarations = "<hubs><hub id=\"2\" name=\"Mailbox\"/></hubs>\n"
                                        "<services><service id=\"7\" name=\"Ks_Send_To_Hub_W\"/>"
                                        "<service id=\"9\" name=\"Ks_Receive_From_Hub_W\"/>"
                                        "<service id=\"1\" name=\"Ks_Start_Task\"/></services>\n";
        const QByteArray events = eventXml(1, 10, 7, 0x0102)    // send to own hub 2
                                  + eventXml(1, 20, 7, 0x0502)  // send to hub 2 of node 5
                                  + eventXml(2, 30, 9, 0x0502)  // kernel receive on hub 2 of node 5
                                  + eventXml(1, 40, 9, 0x0503)  // receive on hub 3 of node 5
                                  + eventXml(-1, 50, 7, 0x0102) // completions count nothing
                                  + eventXml(1, 60, 1, 0x0102)  // a task service counts nothing
                                  + eventXml(1, 70, 9, 0x0104); // an undeclared own hub is created
        const QString path = TestSupport::writeTempFile(QStringLiteral("hubs"), QStringLiteral("n.trace"),
                                                        traceFile(1, declarations, events));
        const Node node(path, nullptr, FROM_TRACER, &m_catalogue);
        // "node:id sends/receives/kernel sends/kernel receives", own hubs (listed) first, then the others.
        QStringList counts;
        for (const auto *hubs : {&node.hubs(), &node.remoteHubs()}) {
            for (const auto &hub : *hubs)
                counts << QStringLiteral("%1:%2 %3/%4/%5/%6%7")
                              .arg(hub->hubNodeId())
                              .arg(hub->id())
                              .arg(hub->sendRequests())
                              .arg(hub->receiveRequests())
                              .arg(hub->sendKernelRequests())
                              .arg(hub->receiveKernelRequests())
                              .arg(hub->isListed() ? QString() : QStringLiteral(" hidden"));
        }
        QCOMPARE(counts.join(QLatin1String(", ")),
                 QStringLiteral("1:2 1/0/0/0, 1:4 0/1/0/0, 5:2 1/0/0/1 hidden, 5:3 0/1/0/0 hidden"));
        QCOMPARE(node.remoteHubs().keys(), (QList<int>{5 << 8 | 2, 5 << 8 | 3}));
    }

    void rolesDeriveFromNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("role");
        QTest::addColumn<int>("expected");
        QTest::newRow("an idle task") << "Idle Task" << 255 << int(Task::IDLE);
        QTest::newRow("a transmit task needs the blank") << "NetTx task 2" << 255 << int(Task::TX_TASK);
        QTest::newRow("a receive task") << "Rx Task" << 255 << int(Task::RX_TASK);
        QTest::newRow("rxtask without blank is a user task") << "rxtask" << 255 << int(Task::USER_TASK);
        QTest::newRow("kernel wins over idle") << "idle kernel" << 255 << int(Task::KERNEL);
        QTest::newRow("an explicit role is kept") << "kernel" << int(Task::ISR) << int(Task::ISR);
    }

    void rolesDeriveFromNames()
    {
        QFETCH(QString, name);
        QFETCH(int, role);
        Node node(1, nullptr, &m_catalogue);
        const Task task(1, name, &node, role, Qt::black);
        QTEST(int(task.role()), "expected");
    }

    void everyCatalogueEntryHasItsIcon()
    {
        QList<QPair<QString, QPixmap>> icons;
        for (const ServiceInfo &info : m_catalogue.services())
            icons.append({info.iconPath, info.icon});
        for (const SysEventInfo &info : m_catalogue.sysEvents())
            icons.append({info.iconPath, info.known ? info.icon : QPixmap()});
        for (const auto &[path, icon] : icons)
            QVERIFY2(icon.size() == QSize(16, 16), qPrintable(path));
    }

    // Room is reserved from the file's size after the first 4096 events, with a margin.
    void loadedEventsTakeNoMoreRoomThanNeeded()
    {
        QByteArray events;
        for (int i = 0; i < 4500; ++i)
            events += eventXml(i % 2 ? 1 : -1, quint32(i * 10), 1, 0x100);
        const QString path = TestSupport::writeTempFile(QStringLiteral("room"), QStringLiteral("n.trace"),
                                                        traceFile(1, QByteArray(), events));
        const Node node(path, nullptr, FROM_TRACER, &m_catalogue);
        QCOMPARE(node.eventCount(), 4500);
        QVERIFY2(node.events().capacity() <= 4500 + 4500 / 16 + 64,
                 qPrintable(QString::number(node.events().capacity())));
    }
};

QTEST_MAIN(TestNodeModel)
#include "tst_nodemodel.moc"
