#include "chart/viewroot.h"
#include "testsupport.h"
#include "trace/eventcatalogue.h"
#include "trace/node.h"
#include "tracefixture.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>
#include <memory>
#include <utility>

using TraceFixture::eventXml;
using TraceFixture::traceFile;

namespace {

// One event of a hand-made node; `sender` and `seq` form the packet key of sync events.
struct Ev
{
    qint32 type = EventType::ServiceRequest;
    quint32 time = 0; // microseconds
    int sender = 0;
    int seq = 0;
};

// A node's part in a packet: its event at `at` and the notification at `notifiedAt`.
QVector<Ev> hop(qint32 type, quint32 at, quint32 notifiedAt, int sender, int seq)
{
    return {Ev{type, at, sender, seq}, Ev{-type, notifiedAt, sender, seq}};
}

// What the nodes of a test are read with; made with the test object.
const EventCatalogue *catalogue = nullptr;

// A node whose offsets are its timestamps, holding `events` in time order.
std::unique_ptr<Node> nodeOf(int nodeId, QVector<Ev> events)
{
    auto node = std::make_unique<Node>(nodeId, nullptr, catalogue);
    node->setCounterFrequencies(0, 1000000);
    std::stable_sort(events.begin(), events.end(), [](const Ev &x, const Ev &y) { return x.time < y.time; });
    for (const Ev &e : std::as_const(events))
        node->addEvent(e.type, 0, e.time, e.sender << 8, e.seq);
    node->finish();
    return node;
}

// As nodeOf, framed by ordinary events at 0 and, when it is not 0, at `end`.
std::unique_ptr<Node> nodeWith(int nodeId, const QVector<Ev> &events, quint32 end = 0)
{
    return nodeOf(nodeId, QVector<Ev>{Ev{}} + events +
                              (end > 0 ? QVector<Ev>{Ev{EventType::ServiceRequest, end}} : QVector<Ev>{}));
}

// A view of `nodes`, added in this order.
std::unique_ptr<ViewRoot> viewOf(const std::vector<Node *> &nodes)
{
    auto root = std::make_unique<ViewRoot>();
    for (Node *node : nodes)
        root->addViewedNode(node);
    return root;
}

ViewNode *viewNode(const ViewRoot &root, int i)
{
    return static_cast<ViewNode *>(root.child(i));
}

int offset(const ViewRoot &root, int a, int b)
{
    return root.pairOffset(viewNode(root, a), viewNode(root, b));
}

// Every node row's shift, or base shift, top to bottom.
QList<int> shifts(const ViewRoot &root, bool base = false)
{
    QList<int> result;
    for (const ViewNode *node : root.nodeList())
        result.append(base ? node->baseShift() : node->shift());
    return result;
}

// The logarithmic length of the node on row `i` ending at its last event, plus its shift.
int logEnd(const ViewRoot &root, int i)
{
    const ViewNode *row = viewNode(root, i);
    return int(row->node()->events().back().logPosition + float(row->shift()));
}

} // namespace

Q_DECLARE_METATYPE(Ev)
Q_DECLARE_METATYPE(QVector<Ev>)

class TestViewRoot : public QObject
{
    Q_OBJECT

private:
    const EventCatalogue m_catalogue;
    int m_fileCount = 0;
    std::unique_ptr<Node> m_first;  // tasks -2, 0, 3 and hubs 1, 4
    std::unique_ptr<Node> m_second; // tasks 0, 5 and no hubs

    std::unique_ptr<Node> load(const QByteArray &contents)
    {
        const QString path = TestSupport::writeTempFile(
            QStringLiteral("viewroot"), QStringLiteral("n%1.trace").arg(++m_fileCount), contents);
        return std::make_unique<Node>(path, nullptr, FROM_TRACER, &m_catalogue);
    }

private slots:
    void initTestCase()
    {
        catalogue = &m_catalogue;
        m_first =
            load(traceFile(1,
                           "<tasks><task id=\"-2\" name=\"Ghost\"/><task id=\"0\" name=\"Kernel\"/>"
                           "<task id=\"3\" name=\"Worker\"/></tasks>\n"
                           "<hubs><hub id=\"4\" name=\"Mailbox\"/><hub id=\"1\" name=\"Queue\"/></hubs>\n",
                           eventXml(1, 10) + eventXml(1, 20)));
        m_second = load(
            traceFile(2, "<tasks><task id=\"5\" name=\"Logger\"/><task id=\"0\" name=\"Kernel\"/></tasks>\n",
                      eventXml(1, 10) + eventXml(1, 30)));
    }

    void rowsAreNumberedDepthFirst_data()
    {
        QTest::addColumn<int>("nodeCount");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("kind"); // -1: no item on the row
        QTest::addColumn<int>("itemId");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("below"); // visible rows under the item

        const int root = ViewItem::ROOT_ITEM, node = ViewItem::NODE_ITEM, tasks = ViewItem::TASK_TRAIN_ITEM,
                  hubs = ViewItem::HUB_TRAIN_ITEM, task = ViewItem::TASK_ITEM, hub = ViewItem::HUB_ITEM;
        QTest::newRow("row 0 is the root, over every other row")
            << 2 << 0 << root << 0 << 0 << QString() << 13;
        QTest::newRow("row 1 is the first node, over its groups, tasks and hubs")
            << 2 << 1 << node << 1 << 0 << "[1] n1" << 7;
        QTest::newRow("row 2 is its task group, over its tasks") << 2 << 2 << tasks << 0 << 0 << "Tasks" << 3;
        QTest::newRow("a task with a negative id comes first and shows [?]")
            << 2 << 3 << task << -2 << 0 << "[?] Ghost" << 0;
        QTest::newRow("tasks follow in ascending id") << 2 << 4 << task << 0 << 1 << "[0] Kernel" << 0;
        QTest::newRow("the last task") << 2 << 5 << task << 3 << 2 << "[3] Worker" << 0;
        QTest::newRow("the hub group follows the tasks, over its hubs")
            << 2 << 6 << hubs << 0 << 1 << "Hubs" << 2;
        QTest::newRow("hubs follow in ascending id") << 2 << 7 << hub << 1 << 0 << "[1] Queue" << 0;
        QTest::newRow("the last hub") << 2 << 8 << hub << 4 << 1 << "[4] Mailbox" << 0;
        QTest::newRow("one node has no row 9") << 1 << 9 << -1 << 0 << 0 << QString() << 0;
        QTest::newRow("the second node follows the first one's last hub, over a node without hubs")
            << 2 << 9 << node << 2 << 1 << "[2] n2" << 4;
        QTest::newRow("the second node's task group") << 2 << 10 << tasks << 0 << 0 << "Tasks" << 2;
        QTest::newRow("the second node's first task") << 2 << 11 << task << 0 << 0 << "[0] Kernel" << 0;
        QTest::newRow("the second node's second task") << 2 << 12 << task << 5 << 1 << "[5] Logger" << 0;
        QTest::newRow("an empty hub group still has its row") << 2 << 13 << hubs << 0 << 1 << "Hubs" << 0;
        QTest::newRow("two nodes have no row 14") << 2 << 14 << -1 << 0 << 0 << QString() << 0;
        QTest::newRow("a negative row is nobody's") << 2 << -1 << -1 << 0 << 0 << QString() << 0;
    }

    void rowsAreNumberedDepthFirst()
    {
        QFETCH(int, nodeCount);
        QFETCH(int, row);
        QFETCH(int, kind);
        QFETCH(int, itemId);
        QFETCH(int, index);
        QFETCH(QString, label);
        QFETCH(int, below);

        const auto root = nodeCount == 2 ? viewOf({m_first.get(), m_second.get()}) : viewOf({m_first.get()});
        ViewItem *item = root->itemAtRow(row);
        QCOMPARE(bool(item), kind >= 0);
        if (!item)
            return;
        QCOMPARE(item->row(), row);
        QCOMPARE(int(item->kind()), kind);
        QCOMPARE(item->itemId(), itemId);
        QCOMPARE(item->index(), index);
        QCOMPARE(item->label(), label);
        QCOMPARE(ViewRoot::visibleRowCount(item), below);
        QVERIFY(item->isExpanded());
        if (item->parent())
            QCOMPARE(item->parent()->child(item->index()), item);
    }

    void itemsAreFoundById()
    {
        const auto root = viewOf({nullptr, m_first.get(), m_second.get()});
        QCOMPARE(root->childCount(), 2);
        ViewNode *node2 = viewNode(*root, 1);
        QCOMPARE(root->childById(2), static_cast<ViewItem *>(node2));
        QVERIFY(!root->childById(3));
        QVERIFY(!root->child(2));
        QVERIFY(!root->child(-1));
        QCOMPARE(node2->node(), m_second.get());
        QCOMPARE(node2->childById(0), static_cast<ViewItem *>(node2->taskTrain()));
        QCOMPARE(node2->childById(1), static_cast<ViewItem *>(node2->hubTrain()));
        QVERIFY(!node2->child(2));

        ViewTaskTrain *tasks = viewNode(*root, 0)->taskTrain();
        QCOMPARE(tasks->childById(-2)->label(), QStringLiteral("[?] Ghost"));
        QVERIFY(!tasks->childById(7));
        QCOMPARE(viewNode(*root, 0)->hubTrain()->childById(4)->label(), QStringLiteral("[4] Mailbox"));
        QCOMPARE(static_cast<ViewTask *>(tasks->childById(3))->task(), m_first->task(3));
        // Any row hands out its node row, from any depth.
        QCOMPARE(tasks->childById(3)->viewNode(), viewNode(*root, 0));
        QCOMPARE(node2->viewNode(), node2);
        QVERIFY(!root->viewNode());

        // Leaves have no children and ignore additions.
        ViewItem *task = tasks->child(0);
        QVERIFY(!task->child(0));
        QVERIFY(!task->childById(0));
        task->addChild(tasks->child(1));
        QCOMPARE(task->childCount(), 0);

        const ViewNode orphan(7, nullptr, nullptr);
        QCOMPARE(orphan.label(), QStringLiteral("7"));
        QCOMPARE(orphan.taskTrain()->childCount(), 0);
    }

    void removingATrainRowKeepsTheOthersFindable()
    {
        ViewNode node(1, m_first.get(), nullptr);
        ViewTaskTrain *tasks = node.taskTrain();
        tasks->removeChild(0); // task -2
        tasks->removeChild(5); // out of range: nothing
        QCOMPARE(tasks->childCount(), 2);
        QVERIFY(!tasks->childById(-2));
        QCOMPARE(tasks->childById(3), tasks->child(1));
        QCOMPARE(tasks->childById(3)->index(), 1);

        tasks->addChild(node.hubTrain()->child(0)); // wrong kind: not taken
        QCOMPARE(tasks->childCount(), 2);
        ViewTask again(m_first->task(-2), nullptr);
        tasks->addChild(&again);
        QCOMPARE(tasks->childById(-2)->index(), 2);
        QCOMPARE(tasks->childById(-2)->parent(), static_cast<ViewItem *>(tasks));
    }

    void collapsedItemsGiveNoRowsToTheirChildren()
    {
        const auto root = viewOf({m_first.get(), m_second.get()});
        viewNode(*root, 0)->taskTrain()->setExpanded(false);
        QCOMPARE(ViewRoot::numberRows(root.get(), 0), 11);
        QCOMPARE(ViewRoot::visibleRowCount(root.get()), 10);
        QCOMPARE(ViewRoot::visibleRowCount(viewNode(*root, 0)), 4);
        QCOMPARE(root->itemAtRow(3), static_cast<ViewItem *>(viewNode(*root, 0)->hubTrain()));
        QCOMPARE(root->itemAtRow(6), static_cast<ViewItem *>(viewNode(*root, 1)));
        QVERIFY(!root->itemAtRow(11));
    }

    void isAboveFollowsTheOrderOfAdding_data()
    {
        QTest::addColumn<int>("a"); // -1: a node outside the view
        QTest::addColumn<int>("b");
        QTest::addColumn<bool>("above");
        QTest::newRow("the first node is above the second") << 0 << 1 << true;
        QTest::newRow("the second node is not above the first") << 1 << 0 << false;
        QTest::newRow("a node is at its own height") << 1 << 1 << true;
        QTest::newRow("a node outside the view is above every viewed one") << -1 << 0 << true;
        QTest::newRow("no viewed node is above a node outside the view") << 0 << -1 << false;
        QTest::newRow("two nodes outside the view are level") << -1 << -1 << true;
    }

    void isAboveFollowsTheOrderOfAdding()
    {
        QFETCH(int, a);
        QFETCH(int, b);
        QFETCH(bool, above);
        const auto root = viewOf({m_second.get(), m_first.get()});
        const ViewNode outsider(9, nullptr, nullptr);
        const auto pick = [&](int i) -> const ViewNode * { return i < 0 ? &outsider : viewNode(*root, i); };
        QCOMPARE(root->isAbove(pick(a), pick(b)), above);
    }

    void packetEventsComeNodeByNodeNewestFirst()
    {
        const auto a = nodeWith(1, hop(4, 100, 140, 1, 1) + hop(4, 300, 340, 1, 2));
        const auto b = nodeWith(2, hop(6, 30, 70, 1, 1));
        const auto root = viewOf({b.get(), a.get()});
        QStringList events; // "node:type@index"
        for (const NodePacketRef &ref : root->packetEvents(packetKey(1 << 8, 1)))
            events.append(QStringLiteral("%1:%2@%3").arg(ref.nodeId).arg(ref.type).arg(ref.eventIndex));
        QCOMPARE(events, (QStringList{QStringLiteral("2:-6@2"), QStringLiteral("2:6@1"),
                                      QStringLiteral("1:-4@2"), QStringLiteral("1:4@1")}));
        QVERIFY(root->packetEvents(packetKey(1 << 8, 9)).isEmpty());
    }

    void firstEventAtFindsTheSliceHoldingTheTime_data()
    {
        QTest::addColumn<QList<quint32>>("times");
        QTest::addColumn<int>("t");
        QTest::addColumn<bool>("logMode");
        QTest::addColumn<int>("index");

        // Linear positions 0, 10, 10, 10, 20, 50; logarithmic 0, ln 10 (three times), ln 100, ln 3000
        // = 8.006.
        const QList<quint32> sample{0, 10, 10, 10, 20, 50};
        QTest::newRow("a negative time counts as 0") << sample << -5 << false << 0;
        QTest::newRow("between two events the earlier one holds the time") << sample << 5 << false << 0;
        QTest::newRow("on equal timestamps the last of them") << sample << 10 << false << 3;
        QTest::newRow("exactly on the last event") << sample << 50 << false << 5;
        QTest::newRow("after the last event there is none") << sample << 51 << false << -1;
        QTest::newRow("log: after equal positions the last of them") << sample << 3 << true << 3;
        QTest::newRow("log: after the last position there is none") << sample << 9 << true << -1;
        // Gaps of 1 us take no logarithmic width: three events at position 0.
        const QList<quint32> ones{0, 1, 2, 100};
        QTest::newRow("log: exactly on equal positions the last of them") << ones << 0 << true << 2;
        QTest::newRow("the same events stay apart on the linear axis") << ones << 1 << false << 1;
        QTest::newRow("a node without events has none") << QList<quint32>{} << 0 << false << -1;
        QTest::newRow("a single event holds time 0") << QList<quint32>{500} << 0 << false << 0;
        QTest::newRow("a single event ends at its own position") << QList<quint32>{500} << 1 << false << -1;
        QTest::newRow("log: a single event ends at its own position")
            << QList<quint32>{500} << 1 << true << -1;
    }

    void firstEventAtFindsTheSliceHoldingTheTime()
    {
        QFETCH(QList<quint32>, times);
        QFETCH(int, t);
        QFETCH(bool, logMode);
        QFETCH(int, index);

        QVector<Ev> events;
        for (const quint32 time : std::as_const(times))
            events.append(Ev{EventType::ServiceRequest, time});
        QCOMPARE(nodeOf(1, events)->firstEventAt(t, logMode), index);
    }

    void pairOffsetAlignsTwoNodes_data()
    {
        QTest::addColumn<QVector<Ev>>("eventsA");
        QTest::addColumn<QVector<Ev>>("eventsB");
        QTest::addColumn<int>("pairOffset");
        QTest::addColumn<QList<int>>("aligned"); // the shifts

        const QList<int> none{0, 0};
        QTest::newRow("one hop from A to B shifts B by its clock lag")
            << hop(4, 100, 140, 1, 1) << hop(6, 30, 70, 1, 1) << 70 << QList<int>{0, 70};
        QTest::newRow("a receiver whose clock runs ahead shifts the sender instead")
            << hop(4, 100, 140, 1, 1) << hop(6, 300, 340, 1, 1) << -200 << QList<int>{200, 0};
        QTest::newRow("a packet sent by B shifts A")
            << hop(6, 30, 70, 2, 1) << hop(4, 100, 140, 2, 1) << -70 << QList<int>{70, 0};
        QTest::newRow("unequal notification spans place the receiver half their difference later")
            << hop(4, 100, 160, 1, 1) << hop(6, 30, 50, 1, 1) << 90 << QList<int>{0, 90};
        QTest::newRow("half the span difference is truncated toward zero")
            << hop(4, 100, 120, 1, 1) << hop(6, 30, 71, 1, 1) << 60 << QList<int>{0, 60};
        QTest::newRow("a later packet that ends after the sender's notification pulls the receiver back")
            << hop(4, 100, 140, 1, 1) + hop(4, 300, 340, 1, 2)
            << hop(6, 30, 70, 1, 1) + hop(6, 240, 280, 1, 2) << 60 << QList<int>{0, 60};
        QTest::newRow("a later packet that arrives too early moves the receiver later by its gap")
            << hop(4, 100, 140, 1, 1) + hop(4, 300, 340, 1, 2)
            << hop(6, 30, 70, 1, 1) + hop(6, 225, 265, 1, 2) << 75 << QList<int>{0, 75};
        QTest::newRow("a packet back that arrives too early moves the first receiver earlier")
            << hop(4, 100, 140, 1, 1) + hop(6, 300, 340, 2, 2)
            << hop(6, 30, 70, 1, 1) + hop(4, 236, 276, 2, 2) << 64 << QList<int>{0, 64};
        QTest::newRow("a packet back that ends too late moves the first receiver later")
            << hop(4, 100, 140, 1, 1) + hop(6, 300, 350, 2, 2)
            << hop(6, 30, 70, 1, 1) + hop(4, 225, 265, 2, 2) << 85 << QList<int>{0, 85};
        QTest::newRow("of repeated entries of a key the ones read first count")
            << hop(4, 100, 140, 1, 1) + hop(4, 500, 540, 1, 1) << hop(6, 30, 70, 1, 1) << 70
            << QList<int>{0, 70};
        QTest::newRow("a lone event per node gives no estimate")
            << QVector<Ev>{Ev{4, 100, 1, 1}} << QVector<Ev>{Ev{6, 30, 1, 1}} << 0 << none;
        QTest::newRow("two events without a notification give no estimate")
            << QVector<Ev>{Ev{4, 100, 1, 1}, Ev{5, 120, 1, 1}} << hop(6, 30, 70, 1, 1) << 0 << none;
        QTest::newRow("a sync marker under the key on the sender makes it unusable")
            << hop(4, 100, 140, 1, 1) + QVector<Ev>{Ev{3, 150, 1, 1}} << hop(6, 30, 70, 1, 1) << 0 << none;
        QTest::newRow("a sync marker under the key on the receiver makes it unusable")
            << hop(4, 100, 140, 1, 1) << QVector<Ev>{Ev{3, 10, 1, 1}} + hop(6, 30, 70, 1, 1) << 0 << none;
        QTest::newRow("a key that only one node logged gives no estimate")
            << hop(4, 100, 140, 1, 1) << hop(6, 30, 70, 1, 2) << 0 << none;
        QTest::newRow("after a key ended by a sync marker the next key is the first")
            << hop(4, 100, 140, 1, 1) + QVector<Ev>{Ev{3, 150, 1, 1}} + hop(4, 300, 340, 1, 2)
            << hop(6, 30, 70, 1, 1) + hop(6, 230, 270, 1, 2) << 70 << QList<int>{0, 70};
    }

    void pairOffsetAlignsTwoNodes()
    {
        QFETCH(QVector<Ev>, eventsA);
        QFETCH(QVector<Ev>, eventsB);
        QFETCH(int, pairOffset);
        QFETCH(QList<int>, aligned);

        const auto a = nodeWith(1, eventsA);
        const auto b = nodeWith(2, eventsB);
        const auto root = viewOf({a.get(), b.get()});
        QCOMPARE(offset(*root, 0, 1), pairOffset);
        QCOMPARE(shifts(*root), aligned);
        QCOMPARE(shifts(*root, true), aligned);
    }

    void packetRoutedOverSeveralHopsAlignsEveryNode()
    {
        // A sends, B routes, C receives; each notification span differs.
        const auto a = nodeWith(1, hop(4, 100, 140, 1, 7));
        const auto b = nodeWith(2, hop(5, 50, 60, 1, 7));
        const auto c = nodeWith(3, hop(6, 20, 28, 1, 7));
        const auto root = viewOf({a.get(), b.get(), c.get()});

        QCOMPARE((QList<int>{offset(*root, 0, 1), offset(*root, 0, 2), offset(*root, 1, 2)}),
                 (QList<int>{65, 96, 31}));
        QCOMPARE(shifts(*root), (QList<int>{0, 65, 96}));
        // On the aligned axis the packet travels forward: sent at 100, routed at 115, received at 116.
        QList<qint64> aligned;
        for (int i = 0; i < 3; ++i)
            aligned.append(qint64(viewNode(*root, i)->node()->events().at(1).offset) +
                           viewNode(*root, i)->shift());
        QCOMPARE(aligned, (QList<qint64>{100, 115, 116}));
        // A's notification at 140 ends the chart.
        QCOMPARE(root->lengthLin(), 140);
    }

    void referenceIsTheRowWithTheGreatestOffset()
    {
        // Pairwise offsets X-Y -100, Y-Z 50, X-Z -40: Y's row holds the greatest entry (100 against X),
        // so Z is placed from Y, not from X.
        const auto x = nodeWith(1, hop(4, 100, 110, 1, 1) + hop(4, 400, 410, 1, 3));
        const auto y = nodeWith(2, hop(6, 200, 210, 1, 1) + hop(4, 300, 310, 2, 2));
        const auto z = nodeWith(3, hop(6, 250, 260, 2, 2) + hop(6, 440, 450, 1, 3));
        const auto root = viewOf({x.get(), y.get(), z.get()});

        QCOMPARE((QList<int>{offset(*root, 0, 1), offset(*root, 1, 2), offset(*root, 0, 2)}),
                 (QList<int>{-100, 50, -40}));
        QCOMPARE(shifts(*root), (QList<int>{100, 0, 50}));
        // X ends latest on the aligned axis: 410 + 100.
        QCOMPARE(root->lengthLin(), 510);
        QCOMPARE(root->lengthLog(), logEnd(*root, 0));
    }

    void addingAndRemovingNodesRealigns()
    {
        const auto a = nodeWith(1, hop(4, 100, 140, 1, 1), 1000);
        const auto b = nodeWith(2, hop(6, 30, 70, 1, 1), 1200);
        const auto c = nodeWith(3, {}, 50);
        ViewRoot root;

        root.addViewedNode(a.get());
        QCOMPARE(shifts(root), QList<int>{0});
        QCOMPARE(root.lengthLin(), 1000);
        QCOMPARE(root.lengthLog(), int(std::log(1000.0f)));
        // A node outside the view shares no estimate.
        const ViewNode outside(2, b.get(), nullptr);
        QCOMPARE(root.pairOffset(viewNode(root, 0), &outside), 0);

        root.addViewedNode(b.get());
        QCOMPARE(shifts(root), (QList<int>{0, 70}));
        QCOMPARE(root.lengthLin(), 1270);
        // The logarithmic length is that of the node ending last on the linear axis, plus its shift.
        QCOMPARE(root.lengthLog(), logEnd(root, 1));
        QCOMPARE(root.itemAtRow(5), static_cast<ViewItem *>(viewNode(root, 1)));

        // Removing a node that is not viewed renumbers alike and undoes drags.
        viewNode(root, 1)->setShift(300);
        root.removeViewedNode(c.get());
        root.removeViewedNode(nullptr);
        QCOMPARE(root.childCount(), 2);
        QCOMPARE(shifts(root), (QList<int>{0, 70}));
        QCOMPARE(root.itemAtRow(5), static_cast<ViewItem *>(viewNode(root, 1)));

        root.removeViewedNode(a.get());
        QCOMPARE(root.nodeList().size(), 1);
        ViewNode *left = viewNode(root, 0);
        QCOMPARE(left->node(), b.get());
        QCOMPARE(left->row(), 1);
        QCOMPARE(shifts(root), QList<int>{0});
        QCOMPARE(shifts(root, true), QList<int>{0});
        QCOMPARE(root.childById(2), static_cast<ViewItem *>(left));
        QVERIFY(!root.childById(1));
        QCOMPARE(root.lengthLin(), 1200);
        QCOMPARE(root.lengthLog(), int(std::log(1200.0f)));

        root.removeViewedNode(b.get());
        QVERIFY(root.nodeList().isEmpty());
        QVERIFY(root.indexById().isEmpty());
        QVERIFY(!root.itemAtRow(1));

        ViewRoot empty; // nothing to align or measure
        empty.recomputeExtent();
        empty.resetShifts();
        empty.alignNodes();
        QCOMPARE(empty.lengthLin(), 0);
        QCOMPARE(empty.lengthLog(), 0);
    }

    void recomputeExtentStartsTheLeftmostNodeAtZero_data()
    {
        QTest::addColumn<QList<int>>("dragged");
        QTest::addColumn<QList<int>>("normal");
        QTest::addColumn<int>("lengthLin");
        QTest::newRow("a node dragged left of zero moves every node right")
            << QList<int>{-50, 100} << QList<int>{0, 150} << 1350;
        QTest::newRow("shifts that all start late move back to zero")
            << QList<int>{40, 60} << QList<int>{0, 20} << 1220;
        QTest::newRow("the second node may be the leftmost")
            << QList<int>{500, -20} << QList<int>{520, 0} << 1520;
        QTest::newRow("normalised shifts stay") << QList<int>{0, 70} << QList<int>{0, 70} << 1270;
    }

    void recomputeExtentStartsTheLeftmostNodeAtZero()
    {
        QFETCH(QList<int>, dragged);
        QFETCH(QList<int>, normal);
        QFETCH(int, lengthLin);

        const auto a = nodeWith(1, hop(4, 100, 140, 1, 1), 1000);
        const auto b = nodeWith(2, hop(6, 30, 70, 1, 1), 1200);
        const auto root = viewOf({a.get(), b.get()});
        viewNode(*root, 0)->setShift(dragged[0]);
        viewNode(*root, 1)->setShift(dragged[1]);
        root->recomputeExtent();
        QCOMPARE(shifts(*root), normal);
        QCOMPARE(root->lengthLin(), lengthLin);
        QCOMPARE(root->lengthLog(), logEnd(*root, 1000 + normal[0] >= 1200 + normal[1] ? 0 : 1));
        // The alignment's own values are kept for resetShifts; the length follows only once recomputed.
        root->resetShifts();
        QCOMPARE(shifts(*root), (QList<int>{0, 70}));
        QCOMPARE(root->lengthLin(), lengthLin);
        root->recomputeExtent();
        QCOMPARE(root->lengthLin(), 1270);
    }

    void itemRectanglesFollowScaleAndScroll_data()
    {
        QTest::addColumn<int>("row"); // -1: no item
        QTest::addColumn<bool>("logMode");
        QTest::addColumn<QRect>("rect");

        // Rows: 0 root, 1 A, 2 its tasks, 3 its task, 4 its hubs, 5 B, 6 its tasks, 7 its task, 8 its hubs,
        // 9 its hub. B is shifted by 70 us and ends the chart: lengthLin 5070, lengthLog int(ln 5000 + 70)
        // = 78.
        QTest::newRow("the root spans the chart's length and all rows")
            << 0 << false << QRect(-10, -4, 1267, 180);
        QTest::newRow("a node row covers its own rows") << 1 << false << QRect(-10, 14, 1267, 72);
        QTest::newRow("a group row covers its rows") << 8 << false << QRect(-10, 140, 1267, 36);
        QTest::newRow("an empty group row is one row high") << 4 << false << QRect(-10, 68, 1267, 18);
        QTest::newRow("an unshifted task row starts at the origin") << 3 << false << QRect(-10, 50, 250, 18);
        QTest::newRow("a task row starts at its node's shift, truncated")
            << 7 << false << QRect(7, 122, 1250, 18);
        QTest::newRow("log: the root spans the logarithmic length") << 0 << true << QRect(-3, -18, 156, 180);
        QTest::newRow("log: a node row") << 5 << true << QRect(-3, 72, 156, 90);
        QTest::newRow("log: a task row starts at 0 and spans its node's log length")
            << 7 << true << QRect(-3, 108, 16, 18);
        QTest::newRow("no item is the whole surface") << -1 << false << QRect(0, 0, 640, 480);
    }

    void itemRectanglesFollowScaleAndScroll()
    {
        QFETCH(int, row);
        QFETCH(bool, logMode);
        QFETCH(QRect, rect);

        const int sender = 1 << 8;
        const auto a = load(traceFile(1, QByteArray(),
                                      eventXml(1, 0) + eventXml(4, 100, sender, 1) +
                                          eventXml(-4, 140, sender, 1) + eventXml(1, 1000)));
        const auto b = load(traceFile(2, "<hubs><hub id=\"2\" name=\"Queue\"/></hubs>\n",
                                      eventXml(1, 0) + eventXml(6, 30, sender, 1) +
                                          eventXml(-6, 70, sender, 1) + eventXml(1, 5000)));
        const auto root = viewOf({a.get(), b.get()});
        QCOMPARE(shifts(*root), (QList<int>{0, 70}));
        QCOMPARE(root->lengthLin(), 5070);
        QCOMPARE(root->lengthLog(), 78);
        QCOMPARE(a->logLengthInt(), 6u);
        QCOMPARE(b->logLengthInt(), 8u);

        ChartGeometry geometry;
        geometry.logMode = logMode;
        geometry.scale = logMode ? 2.0f : 0.25f; // pixels per logarithmic unit, or per microsecond
        geometry.horizontalScroll = logMode ? 3 : 10;
        geometry.verticalScroll = logMode ? 18 : 4;
        geometry.surface = QSize(640, 480);
        const ViewItem *item = row < 0 ? nullptr : root->itemAtRow(row);
        QVERIFY(row < 0 || item);
        QCOMPARE(root->itemRect(item, geometry), rect);
    }

    void demoPacketsRunForwardOnTheAlignedAxis()
    {
        std::vector<std::unique_ptr<Node>> nodes;
        ViewRoot root;
        QSet<quint32> keys;
        for (int i = 1; i <= 4; ++i) {
            const QString path = QFINDTESTDATA(QStringLiteral("../../demo/node%1.trace").arg(i));
            QVERIFY2(!path.isEmpty(), "demo project not found");
            nodes.push_back(std::make_unique<Node>(path, nullptr, FROM_TRACER, &m_catalogue));
            root.addViewedNode(nodes.back().get());
            keys.unite(nodes.back()->packetKeys());
        }
        const auto aligned = [&root](const NodePacketRef &ref) {
            const auto *row = static_cast<const ViewNode *>(root.childById(ref.nodeId));
            return qint64(row->node()->events().at(size_t(ref.eventIndex)).offset) + row->shift();
        };

        // Offsets estimated from notification spans of a few microseconds cannot be exact.
        const qint64 tolerance = 50; // microseconds
        int packets = 0, forward = 0, hops = 0, forwardHops = 0;
        for (const quint32 key : std::as_const(keys)) {
            // The packet's positive events in travel order: sending, routings by hop number, receiving.
            std::map<std::pair<int, int>, NodePacketRef> path;
            for (const NodePacketRef &ref : root.packetEvents(key)) {
                if (EventType::isPacket(ref.type) && ref.type > 0)
                    path.emplace(std::make_pair(ref.type, int(ref.high)), ref);
            }
            if (path.size() < 2 || path.begin()->first.first != EventType::PacketSending ||
                path.rbegin()->first.first != EventType::PacketReceiving)
                continue;
            ++packets;
            QVERIFY(path.begin()->second.nodeId != path.rbegin()->second.nodeId);
            forward += aligned(path.begin()->second) - aligned(path.rbegin()->second) <= tolerance;
            for (auto it = path.begin(), next = std::next(it); next != path.end(); ++it, ++next, ++hops)
                forwardHops += aligned(it->second) <= aligned(next->second) + tolerance;
        }
        QVERIFY(packets > 50);
        QVERIFY2(forward * 10 >= packets * 9, "fewer than nine packets in ten run forward");
        QVERIFY2(forwardHops * 10 >= hops * 9, "fewer than nine hops in ten run forward");
    }
};

QTEST_MAIN(TestViewRoot)
#include "tst_viewroot.moc"
