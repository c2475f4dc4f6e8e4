#include "chart/packetroute.h"
#include "headlesstracer.h"
#include "trace/node.h"
#include "tracefixture.h"
#include "views/eventtooltip.h"

#include <QtTest>

#include <memory>

using TraceFixture::eventXml;
using TraceFixture::traceFile;
using Refs = QVector<NodePacketRef>;

namespace {

// The rows every tooltip starts with; times in us.
QString head(int number, int timestamp, int duration, const QString &typeIcon, const QString &typeName)
{
    return QStringLiteral("<table><tr><td colspan='3'>#%1</td></tr>"
                          "<tr><td colspan='2'><b>Timestamp:</b></td><td> %2 usec</td></tr>"
                          "<tr><td colspan='2'><b>Duration:</b></td><td> %3 usec</td></tr>"
                          "<tr><td><b>Type:</b></td><td><img src='%4'></td><td> %5</td></tr>")
        .arg(number)
        .arg(timestamp)
        .arg(duration)
        .arg(typeIcon, typeName);
}

// The rows a service event ends with.
QString service(const QString &icon, const QString &name, const QString &target)
{
    return QStringLiteral("<tr><td><b>Service:</b></td><td><img src='%1'></td><td> %2</td></tr>"
                          "<tr><td colspan='2'><b>Task/Hub ID:</b></td><td> %3</td></tr></table>")
        .arg(icon, name, target);
}

// A service request event's whole tooltip.
QString request(int number, int timestamp, int duration, const QString &icon, const QString &name,
                const QString &target)
{
    return head(number, timestamp, duration, QStringLiteral(":/sysevents/resources/sys_service_request.png"),
                QStringLiteral("L1_SERVICE_REQUEST")) +
           service(icon, name, target);
}

const QString startTask = QStringLiteral(":/services/resources/SRV_START_TASK.png");
const QString sendToHub = QStringLiteral(":/services/resources/SRV_SEND_TO_HUB.png");

NodePacketRef ref(int nodeId, int eventIndex, qint32 type, quint16 hop = 0)
{
    NodePacketRef r;
    r.nodeId = nodeId;
    r.eventIndex = eventIndex;
    r.type = type;
    r.high = hop;
    return r;
}

QString describe(const PacketArrow &arrow)
{
    return QStringLiteral("%1 %2:%3%4")
        .arg(arrow.direction == PacketArrow::TOWARDS_PARTNER ? QStringLiteral("towards")
                                                             : QStringLiteral("from"))
        .arg(arrow.nodeId)
        .arg(arrow.eventIndex)
        .arg(arrow.alongGroupRow ? QStringLiteral(" along") : QString());
}

constexpr qint32 S = EventType::PacketSending, SN = EventType::PacketSendingNotification,
                 M5 = EventType::PacketRouting, N5 = EventType::PacketRoutingNotification,
                 R = EventType::PacketReceiving, RN = EventType::PacketReceivingNotification;

} // namespace

Q_DECLARE_METATYPE(QVector<NodePacketRef>)

class TestChartParts : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<HeadlessTracer> m_tracer;
    Node *m_own = nullptr;         // node 3, "n3"
    Node *m_other = nullptr;       // node 5, "n5", in the same project
    std::unique_ptr<Node> m_loose; // node 5 in no project

    Node *load(const QString &name, int nodeId, const QByteArray &declarations, const QByteArray &events)
    {
        return m_tracer->load(QStringLiteral("tooltips"), name, traceFile(nodeId, declarations, events));
    }

private slots:
    void initTestCase()
    {
        m_tracer = std::make_unique<HeadlessTracer>();

        const QByteArray services = "<services><service id=\"1\" name=\"Ks_Start_Task\"/>"
                                    "<service id=\"7\" name=\"Ks_Send_To_Hub\"/>";
        // Times in us. The packet event finds task 1 running, so the reader
        // puts a switch to task 0 before it (index 6).
        const QByteArray events = eventXml(0, 100, 0, 0x301)              // 0 switch to task 1
                                  + eventXml(1, 130, 1, 0x304)            // 1 START_TASK, task 4
                                  + eventXml(1, 150, 7, 0x502)            // 2 SEND_TO_HUB, hub 2 of node 5
                                  + eventXml(1, 170, 7, 0x902)            // 3 SEND_TO_HUB, hub 2 of node 9
                                  + eventXml(-1, 200, 3, 0x301)           // 4 undeclared service 3, task 1
                                  + eventXml(7, 210, 1, 4)                // 5 type outside the catalogue
                                  + eventXml(4, 250, 0x306, 2 << 16 | 77) // 7 sent, port 6, hop 2
                                  + eventXml(3, 260, 0x501, 12)           // 8 sync marker, port 1 of node 5
                                  + eventXml(1, 300, 1, 0x501)            // 9 START_TASK, task 1 of node 5
                                  + eventXml(1, 320, 9, 0x501)            // 10 RECEIVE_FROM_HUB, 1 of node 5
                                  + eventXml(255, 400, 0, 0x300);         // 11
        m_own = load(QStringLiteral("a.trace"), 3,
                     "<tasks><task id=\"1\" name=\"Worker\"/><task id=\"4\" name=\"Logger\"/></tasks>\n"
                     "<hubs><hub id=\"2\" name=\"Inbox\"/></hubs>\n" +
                         services + "<service id=\"9\" name=\"Ks_Receive_From_Hub\"/></services>\n",
                     events);
        m_other = load(
            QStringLiteral("b.trace"), 5,
            "<tasks><task id=\"1\" name=\"Pump\"/></tasks>\n<hubs><hub id=\"2\" name=\"Mailbox\"/></hubs>\n" +
                services + "</services>\n",
            eventXml(0, 0, 0, 0x501));
        QVERIFY(m_own && m_other && m_own->project() == m_other->project());
        QCOMPARE(m_own->event(6)->type, int(EventType::TaskSwitch));

        m_loose = std::make_unique<Node>(5, nullptr, m_tracer->catalogue());
        m_loose->setCounterFrequencies(0, 1000000);
        m_loose->addEvent(EventType::ServiceRequest, 0, 10, 0, 0x500); // task 0 of its own node
        m_loose->addEvent(EventType::ServiceRequest, 0, 20, 0, 0x700); // task 0 of node 7
        m_loose->finish();
    }

    void cleanupTestCase()
    {
        m_loose.reset();
        m_tracer.reset();
    }

    void tooltipDescribesTheEvent_data()
    {
        QTest::addColumn<bool>("loose");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("html");

        QTest::newRow("a task switch has only number, timestamp, duration and type")
            << false << 0
            << head(1, 100, 30, QStringLiteral(":/sysevents/resources/sys_task_switch.png"),
                    QStringLiteral("L1_TASK_SWITCH")) +
                   QStringLiteral("</table>");
        QTest::newRow("a service request names a task of its own node")
            << false << 1
            << request(2, 130, 20, startTask, QStringLiteral("Ks_Start_Task"), QStringLiteral("[4]Logger"));
        QTest::newRow("a request to a hub of another node names the hub and that node")
            << false << 2
            << request(3, 150, 20, sendToHub, QStringLiteral("Ks_Send_To_Hub"),
                       QStringLiteral("[2]Mailbox   (Node: [5] n5 )"));
        QTest::newRow("a request to a node the project lacks names neither target nor node")
            << false << 3
            << request(4, 170, 30, sendToHub, QStringLiteral("Ks_Send_To_Hub"),
                       QStringLiteral("[2]   (Node: [9] )"));
        QTest::newRow("an undeclared service has neither icon nor name and addresses a task")
            << false << 4
            << head(5, 200, 10, QStringLiteral(":/sysevents/resources/sys_service_completed.png"),
                    QStringLiteral("L1_SERVICE_COMPLETED")) +
                   service(QString(), QString(), QStringLiteral("[1]Worker"));
        QTest::newRow("a type outside the catalogue has neither icon nor name and stays on its node")
            << false << 5
            << head(6, 210, 40, QString(), QString()) +
                   service(startTask, QStringLiteral("Ks_Start_Task"), QStringLiteral("[4]Logger"));
        QTest::newRow("a packet event shows port, node and the whole sequence number with its hop")
            << false << 7
            << head(8, 250, 0, QStringLiteral(":/sysevents/resources/sync_send_packet.png"),
                    QStringLiteral("SYNC_PACKET_SENDING")) +
                   QStringLiteral("<tr><td colspan='2'><b>Port ID [Node ID]:</b></td><td>6 [3]</td></tr>"
                                  "<tr><td colspan='2'><b>Sequence Number:</b></td><td> 131149</td></tr>"
                                  "</table>");
        QTest::newRow("the target node's own services tell whether a task or a hub is meant")
            << false << 10
            << request(11, 320, 80, QStringLiteral(":/services/resources/SRV_RECEIVE_FROM_HUB.png"),
                       QStringLiteral("Ks_Receive_From_Hub"), QStringLiteral("[1]Pump   (Node: [5] n5 )"));
        QTest::newRow("a node without project finds its own tasks")
            << true << 0 << request(1, 10, 10, QString(), QString(), QStringLiteral("[0][unknown]"));
        QTest::newRow("a node without project finds no other node")
            << true << 1 << request(2, 20, 0, QString(), QString(), QStringLiteral("[0]   (Node: [7] )"));
        for (const int index : {-1, 12})
            QTest::addRow("index %d has no tooltip", index) << false << index << QString();
    }

    void tooltipDescribesTheEvent()
    {
        QFETCH(bool, loose);
        QFETCH(int, index);

        QTEST(eventTooltipHtml(loose ? *m_loose : *m_own, index), "html");
    }

    void packetArrowsFollowThePath_data()
    {
        QTest::addColumn<int>("nodeId");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("hop");
        QTest::addColumn<Refs>("refs");
        QTest::addColumn<QString>("arrows"); // as describe() writes them, separated by ", "

        // A packet sent by node 1, routed over node 2 (hop 1) and node 3 (hop 2) and
        // received by node 4 (hop 3). Node 3 is met before node 2, against hop order.
        const Refs senders{ref(1, 20, SN), ref(1, 10, S)};
        const Refs routers{ref(3, 9, N5, 2), ref(3, 4, M5, 2), ref(2, 8, N5, 1), ref(2, 5, M5, 1)};
        const Refs receivers{ref(4, 31, RN, 3), ref(4, 30, R, 3)};
        const Refs path = senders + routers + receivers, direct = senders + receivers;

        QTest::newRow("a sender points to the router of the lowest hop")
            << 1 << S << 0 << path << "towards 2:5";
        QTest::newRow("a sender without routers points to the receiver")
            << 1 << S << 0 << direct << "towards 4:30";
        QTest::newRow("a sender without routers draws nothing to a receiver on its own node")
            << 1 << S << 0 << Refs{ref(1, 10, S), ref(1, 12, R)} << "";

        QTest::newRow("the router of the lowest hop points onward to the next hop and back to the sender")
            << 2 << M5 << 1 << path << "towards 3:4, from 1:10";
        QTest::newRow(
            "the router of the highest hop points onward to the receiver and back to the previous hop")
            << 3 << M5 << 2 << path << "towards 4:30, from 2:5";
        QTest::newRow("a router points onward to a router on its own node")
            << 2 << M5 << 1 << senders + Refs{ref(2, 9, M5, 2), ref(2, 5, M5, 1)} << "towards 2:9, from 1:10";

        QTest::newRow(
            "a receiver whose hop no router has is reached from the highest hop and joins its notification")
            << 4 << R << 3 << path << "from 3:4, towards 4:31 along";
        QTest::newRow("a receiver with the hop of a router is reached from that router")
            << 4 << R << 1 << path << "from 2:5, towards 4:31 along";
        QTest::newRow("a receiver without routers is reached from the sender")
            << 4 << R << 3 << direct << "from 1:10, towards 4:31 along";

        QTest::newRow(
            "a receiving notification points to the lowest routing notification and joins its receiver")
            << 4 << RN << 3 << path << "towards 2:8, from 4:30 along";
        QTest::newRow("a receiving notification without routers points to the sending notification")
            << 4 << RN << 3 << direct << "towards 1:20, from 4:30 along";

        QTest::newRow("the routing notification of the lowest hop points onward and back to the receiver's")
            << 2 << N5 << 1 << path << "towards 3:9, from 4:31";
        QTest::newRow("the routing notification of the highest hop points to the sender's and back a hop")
            << 3 << N5 << 2 << path << "towards 1:20, from 2:8";

        QTest::newRow("a sending notification whose hop no router has is reached from the highest hop")
            << 1 << SN << 0 << path << "from 3:9";
        QTest::newRow("a sending notification with the hop of a router is reached from that router")
            << 1 << SN << 1 << path << "from 2:8";
        QTest::newRow("a sending notification without routers is reached from the receiving notification")
            << 1 << SN << 0 << direct << "from 4:31";

        // Routers 2 and 3 share hop 1 and are met in that order; router 5 has hop 2.
        const Refs sharedHop =
            senders + Refs{ref(2, 5, M5, 1), ref(5, 7, M5, 2), ref(3, 4, M5, 1)} + receivers;
        QTest::newRow("routers of one hop are passed over together on the way onward")
            << 2 << M5 << 1 << sharedHop << "towards 5:7, from 1:10";
        QTest::newRow("on the way back the last router met of the previous hop counts")
            << 5 << M5 << 2 << sharedHop << "towards 4:30, from 3:4";
        QTest::newRow("a router whose hop none has goes onward to the first router met of the lowest hop")
            << 6 << M5 << 9 << sharedHop << "towards 2:5, from 5:7";
        QTest::newRow("a receiver of a shared hop is reached from the first router met with it")
            << 4 << R << 1 << sharedHop << "from 2:5, towards 4:31 along";

        QTest::newRow("of several sending events the last one met counts")
            << 4 << R << 3 << Refs{ref(1, 40, S), ref(1, 10, S), ref(6, 2, S)} + receivers
            << "from 6:2, towards 4:31 along";
        QTest::newRow("a hop from a negative sequence number finds its own router")
            << 3 << M5 << -1 << senders + Refs{ref(3, 4, M5, 0xFFFF), ref(2, 5, M5, 1)} + receivers
            << "towards 4:30, from 2:5";

        for (const qint32 type :
             {qint32(EventType::SyncMarker), qint32(EventType::UserMarker), qint32(EventType::TaskSwitch)})
            QTest::addRow("type %d has no arrows", type) << 1 << int(type) << 0 << path << "";
        for (const qint32 type : {S, SN, M5, N5, R, RN})
            QTest::addRow("type %d without other events of its packet has no arrows", type)
                << 1 << int(type) << 0 << Refs{ref(1, 3, type)} << "";
    }

    void packetArrowsFollowThePath()
    {
        QFETCH(int, nodeId);
        QFETCH(int, type);
        QFETCH(int, hop);
        QFETCH(Refs, refs);

        TraceEvent event;
        event.type = type;
        event.arg2 = qint32(quint32(hop) << 16 | 77);
        QStringList found;
        for (const PacketArrow &arrow : packetArrows(PaintedPacketEvent::of(nodeId, event), refs))
            found.append(describe(arrow));
        QTEST(found.join(QStringLiteral(", ")), "arrows");
    }
};

QTEST_MAIN(TestChartParts)
#include "tst_chartparts.moc"
