#include "chart/paintindex.h"
#include "chart/viewroot.h"
#include "nodefixture.h"
#include "testsupport.h"
#include "trace/eventcatalogue.h"
#include "trace/node.h"
#include "tracefixture.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <memory>

using TraceFixture::eventXml;
using TraceFixture::traceFile;

namespace {

// A node's part in the packet `seq` of `sender`: its event at `at` and the notification at `notifiedAt`.
QVector<Ev> hop(qint32 type, quint32 at, quint32 notifiedAt, int sender, int seq)
{
    return {Ev{type, at, sender << 8, seq}, Ev{-type, notifiedAt, sender << 8, seq}};
}

// A node of `events` in time order, framed by ordinary events at 0 and, when it is not 0, at `end`.
std::unique_ptr<Node> nodeWith(int nodeId, QVector<Ev> events, quint32 end = 0)
{
    events.prepend(Ev{EventType::ServiceRequest, 0, 0, 0});
    if (end > 0)
        events.append(Ev{EventType::ServiceRequest, end, 0, 0});
    std::stable_sort(events.begin(), events.end(), [](const Ev &x, const Ev &y) { return x.time < y.time; });
    return nodeOf(nodeId, events);
}

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

// The packet events of `keys` as "node:type@index", each key asked for on its own; a key asked
// for in ascending order with a cursor that finds other events adds "cursor differs".
QStringList packetTexts(const ViewRoot &root, std::initializer_list<quint32> keys)
{
    const auto texts = [](PacketEventRange range) {
        QStringList events;
        for (const NodePacketRef &ref : range)
            events << QStringLiteral("%1:%2@%3").arg(ref.nodeId).arg(ref.type).arg(ref.eventIndex);
        return events;
    };
    QStringList events;
    for (const quint32 key : keys)
        events << texts(root.packetEvents(key));
    std::vector<quint32> ascending(keys);
    std::sort(ascending.begin(), ascending.end());
    size_t cursor = 0;
    for (const quint32 key : ascending) {
        if (texts(root.packetEvents(key, cursor)) != texts(root.packetEvents(key)))
            events << QStringLiteral("cursor differs");
    }
    return events;
}

// Row by row from row 0 until a row without item: kind, id, index among its siblings, label and
// the visible rows under the item.
QStringList rowsOf(const ViewRoot &root)
{
    static const char *const kinds[] = {"root", "node", "tasks", "hubs", "task", "hub"};
    QStringList rows;
    for (const ViewItem *item = root.itemAtRow(0); item; item = root.itemAtRow(int(rows.size()))) {
        if (item->row() != rows.size() || (item->parent() && item->parent()->child(item->index()) != item))
            return {QStringLiteral("row %1 is misnumbered").arg(rows.size())};
        rows << QStringLiteral("%1 %2 %3 %4 /%5")
                    .arg(QLatin1String(kinds[item->kind()]))
                    .arg(item->itemId())
                    .arg(item->index())
                    .arg(item->label())
                    .arg(ViewRoot::visibleRowCount(item));
    }
    return rows;
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

    void rowsAreNumberedDepthFirst()
    {
        // A negative task id comes first and shows [?]; tasks and hubs follow in ascending id; an
        // empty hub group still has its row.
        const auto root = viewOf({m_first.get(), m_second.get()});
        QCOMPARE(rowsOf(*root).join(QLatin1Char('|')),
                 QStringLiteral(
                     "root 0 0  /13|node 1 0 [1] n1 /7|tasks 0 0 Tasks /3|task -2 0 [?] Ghost /0|"
                     "task 0 1 [0] Kernel /0|task 3 2 [3] Worker /0|hubs 0 1 Hubs /2|"
                     "hub 1 0 [1] Queue /0|hub 4 1 [4] Mailbox /0|node 2 1 [2] n2 /4|"
                     "tasks 0 0 Tasks /2|task 0 0 [0] Kernel /0|task 5 1 [5] Logger /0|hubs 0 1 Hubs /0"));
        QVERIFY(!root->itemAtRow(-1) && !root->childById(3) && !root->child(2) && !root->child(-1));
        // A collapsed item gives no rows to its children.
        viewNode(*root, 0)->taskTrain()->setExpanded(false);
        QCOMPARE(ViewRoot::numberRows(root.get(), 0), 11);
        QCOMPARE(rowsOf(*root).join(QLatin1Char('|')),
                 QStringLiteral(
                     "root 0 0  /10|node 1 0 [1] n1 /4|tasks 0 0 Tasks /3|hubs 0 1 Hubs /2|"
                     "hub 1 0 [1] Queue /0|hub 4 1 [4] Mailbox /0|node 2 1 [2] n2 /4|"
                     "tasks 0 0 Tasks /2|task 0 0 [0] Kernel /0|task 5 1 [5] Logger /0|hubs 0 1 Hubs /0"));
    }

    void packetEventsComeNodeByNodeNewestFirst()
    {
        const auto a = nodeWith(1, hop(4, 100, 140, 1, 1) + hop(4, 300, 340, 1, 2));
        const auto b = nodeWith(2, hop(6, 30, 70, 1, 1));
        const auto root = viewOf({b.get(), a.get()});
        QCOMPARE(packetTexts(*root, {packetKey(1 << 8, 1), packetKey(1 << 8, 9)}).join(QLatin1Char(' ')),
                 QStringLiteral("2:-6@2 2:6@1 1:-4@2 1:4@1"));
    }

    void firstEventAtFindsTheSliceHoldingTheTime_data()
    {
        QTest::addColumn<QList<quint32>>("times");
        QTest::addColumn<int>("t");
        QTest::addColumn<bool>("logMode");
        QTest::addColumn<int>("index");

        // Runs of equal positions, times past the last event and times before 0 are also met under
        // every pixel of the chart (see the time scale's test); these are the ends no pixel reaches.
        QTest::newRow("a node without events has none") << QList<quint32>{} << 0 << false << -1;
        // Gaps of 1 us take no logarithmic width: three events at position 0.
        QTest::newRow("log: exactly on equal positions the last of them")
            << QList<quint32>{0, 1, 2, 100} << 0 << true << 2;
        QTest::newRow("the last event's start is its own") << QList<quint32>{0, 5} << 5 << false << 1;
        QTest::newRow("log: the last event's start is its own") << QList<quint32>{0} << 0 << true << 0;
    }

    void firstEventAtFindsTheSliceHoldingTheTime()
    {
        QFETCH(QList<quint32>, times);
        QFETCH(int, t);
        QFETCH(bool, logMode);

        QTEST(nodeAt(times)->firstEventAt(t, logMode), "index");
    }

    void pairOffsetAlignsTwoNodes_data()
    {
        QTest::addColumn<QVector<Ev>>("eventsA");
        QTest::addColumn<QVector<Ev>>("eventsB");
        QTest::addColumn<int>("pairOffset");

        QTest::newRow("one hop from A to B shifts B by its clock lag")
            << hop(4, 100, 140, 1, 1) << hop(6, 30, 70, 1, 1) << 70;
        QTest::newRow("a packet sent by B shifts A") << hop(6, 30, 70, 2, 1) << hop(4, 100, 140, 2, 1) << -70;
        QTest::newRow("half the span difference is truncated toward zero")
            << hop(4, 100, 120, 1, 1) << hop(6, 30, 71, 1, 1) << 60;
        QTest::newRow("a later packet that ends after the sender's notification pulls the receiver back")
            << hop(4, 100, 140, 1, 1) + hop(4, 300, 340, 1, 2)
            << hop(6, 30, 70, 1, 1) + hop(6, 240, 280, 1, 2) << 60;
        QTest::newRow("a later packet that arrives too early moves the receiver later by its gap")
            << hop(4, 100, 140, 1, 1) + hop(4, 300, 340, 1, 2)
            << hop(6, 30, 70, 1, 1) + hop(6, 225, 265, 1, 2) << 75;
        QTest::newRow("a packet back that arrives too early moves the first receiver earlier")
            << hop(4, 100, 140, 1, 1) + hop(6, 300, 340, 2, 2)
            << hop(6, 30, 70, 1, 1) + hop(4, 236, 276, 2, 2) << 64;
        QTest::newRow("a packet back that ends too late moves the first receiver later")
            << hop(4, 100, 140, 1, 1) + hop(6, 300, 350, 2, 2)
            << hop(6, 30, 70, 1, 1) + hop(4, 225, 265, 2, 2) << 85;
        QTest::newRow("of repeated entries of a key the ones read first count")
            << hop(4, 100, 140, 1, 1) + hop(4, 500, 540, 1, 1) << hop(6, 30, 70, 1, 1) << 70;
        QTest::newRow("two events without a notification give no estimate")
            << QVector<Ev>{Ev{4, 100, 1 << 8, 1}, Ev{5, 120, 1 << 8, 1}} << hop(6, 30, 70, 1, 1) << 0;
        QTest::newRow("a sync marker under the key on the sender makes it unusable")
            << hop(4, 100, 140, 1, 1) + QVector<Ev>{Ev{3, 150, 1 << 8, 1}} << hop(6, 30, 70, 1, 1) << 0;
        QTest::newRow("a key that only one node logged gives no estimate")
            << hop(4, 100, 140, 1, 1) << hop(6, 30, 70, 1, 2) << 0;
        QTest::newRow("after a key ended by a sync marker the next key is the first")
            << hop(4, 100, 140, 1, 1) + QVector<Ev>{Ev{3, 150, 1 << 8, 1}} + hop(4, 300, 340, 1, 2)
            << hop(6, 30, 70, 1, 1) + hop(6, 230, 270, 1, 2) << 70;
    }

    void pairOffsetAlignsTwoNodes()
    {
        QFETCH(QVector<Ev>, eventsA);
        QFETCH(QVector<Ev>, eventsB);
        QFETCH(int, pairOffset);

        const auto a = nodeWith(1, eventsA);
        const auto b = nodeWith(2, eventsB);
        const auto root = viewOf({a.get(), b.get()});
        QCOMPARE(offset(*root, 0, 1), pairOffset);
        // The later node moves right; the other stays at 0.
        const QList<int> aligned{qMax(0, -pairOffset), qMax(0, pairOffset)};
        QCOMPARE(shifts(*root), aligned);
        QCOMPARE(shifts(*root, true), aligned);
    }

    void threeNodesAlignFromTheReferenceRow_data()
    {
        QTest::addColumn<QList<QVector<Ev>>>("events");
        QTest::addColumn<QList<int>>("offsets"); // 0-1, 0-2, 1-2
        QTest::addColumn<QList<int>>("shifts");
        QTest::addColumn<int>("lengthLin");

        // Each notification span differs; on the aligned axis the packet is sent at 100, routed at 115
        // and received at 116, and A's notification at 140 ends the chart.
        QTest::newRow("a packet routed over B from A to C aligns every node")
            << QList<QVector<Ev>>{hop(4, 100, 140, 1, 7), hop(5, 50, 60, 1, 7), hop(6, 20, 28, 1, 7)}
            << QList<int>{65, 96, 31} << QList<int>{0, 65, 96} << 140;
        // B's row holds the greatest entry (100 against A), so C is placed from B, not from A.
        QTest::newRow("the row with the greatest offset is the reference")
            << QList<QVector<Ev>>{hop(4, 100, 110, 1, 1) + hop(4, 400, 410, 1, 3),
                                  hop(6, 200, 210, 1, 1) + hop(4, 300, 310, 2, 2),
                                  hop(6, 250, 260, 2, 2) + hop(6, 440, 450, 1, 3)}
            << QList<int>{-100, -40, 50} << QList<int>{100, 0, 50} << 510;
    }

    void threeNodesAlignFromTheReferenceRow()
    {
        QFETCH(QList<QVector<Ev>>, events);
        QFETCH(QList<int>, offsets);

        const auto a = nodeWith(1, events[0]), b = nodeWith(2, events[1]), c = nodeWith(3, events[2]);
        const auto root = viewOf({a.get(), b.get(), c.get()});
        QCOMPARE((QList<int>{offset(*root, 0, 1), offset(*root, 0, 2), offset(*root, 1, 2)}), offsets);
        QTEST(shifts(*root), "shifts");
        QTEST(root->lengthLin(), "lengthLin");
    }

    // A view keeps each pair's estimate while both rows stay and its packet
    // index while its node set does: after nodes come and go it aligns and
    // finds packets as a fresh view of the same nodes.
    void aChangedViewAlignsAndFindsPacketsAsAFreshOne()
    {
        const auto a = nodeWith(1, hop(4, 100, 110, 1, 1) + hop(4, 400, 410, 1, 3));
        const auto b = nodeWith(2, hop(6, 200, 210, 1, 1) + hop(4, 300, 310, 2, 2));
        const auto c = nodeWith(3, hop(6, 250, 260, 2, 2) + hop(6, 440, 450, 1, 3));
        const auto d = nodeWith(4, hop(6, 600, 640, 1, 1) + hop(6, 20, 28, 2, 2));
        const auto packets = [](const ViewRoot &root) {
            return packetTexts(root, {packetKey(1 << 8, 1), packetKey(2 << 8, 2), packetKey(1 << 8, 3)});
        };
        const auto changed = viewOf({a.get(), b.get(), c.get()});
        QVERIFY(packets(*changed).join(QLatin1Char(' ')).contains(QLatin1String("2:")));
        changed->removeViewedNode(b.get());
        // d's row is likely to take the place b's row had in memory: nothing of b may stick to it.
        changed->addViewedNode(d.get());
        const auto fresh = viewOf({a.get(), c.get(), d.get()});
        QCOMPARE(shifts(*changed), shifts(*fresh));
        QCOMPARE(packets(*changed), packets(*fresh));
        // Every view of a node paints from the one index the node has.
        QCOMPARE(&viewNode(*changed, 0)->paintIndex(), &viewNode(*fresh, 0)->paintIndex());
    }

    void addingAndRemovingNodesRealigns()
    {
        const auto a = nodeWith(1, hop(4, 100, 140, 1, 1), 1000);
        const auto b = nodeWith(2, hop(6, 30, 70, 1, 1), 1200);
        const auto c = nodeWith(3, {}, 50);
        ViewRoot root;
        root.addViewedNode(a.get());
        QCOMPARE(root.lengthLog(), int(std::log(1000.0f)));
        // A node outside the view shares no estimate.
        const ViewNode outside(2, b.get(), nullptr);
        QCOMPARE(root.pairOffset(viewNode(root, 0), &outside), 0);

        root.addViewedNode(b.get());
        // The logarithmic length is that of the node ending last on the linear axis, plus its shift.
        QCOMPARE(shifts(root) << root.lengthLin() << root.lengthLog(),
                 (QList<int>{0, 70, 1270, logEnd(root, 1)}));

        // Removing a node that is not viewed renumbers alike and undoes drags.
        viewNode(root, 1)->setShift(300);
        root.removeViewedNode(c.get());
        root.removeViewedNode(nullptr);
        QCOMPARE(shifts(root), (QList<int>{0, 70}));
        QCOMPARE(root.itemAtRow(5), static_cast<ViewItem *>(viewNode(root, 1)));

        root.removeViewedNode(a.get());
        ViewNode *left = viewNode(root, 0);
        QVERIFY(root.nodeList() == QList<ViewNode *>{left} && root.childById(2) == left &&
                !root.childById(1));
        QCOMPARE((QList<int>{left->row(), shifts(root, true).value(0), root.lengthLin()}),
                 (QList<int>{1, 0, 1200}));

        root.removeViewedNode(b.get());
        QVERIFY(root.nodeList().isEmpty() && root.indexById().isEmpty() && !root.itemAtRow(1));
        ViewRoot empty; // nothing to align or measure
        empty.recomputeExtent();
        empty.resetShifts();
        empty.alignNodes();
        QCOMPARE(empty.lengthLin() + empty.lengthLog(), 0);
    }

    void recomputeExtentStartsTheLeftmostNodeAtZero_data()
    {
        QTest::addColumn<QList<int>>("dragged");
        QTest::addColumn<QList<int>>("normal");
        QTest::newRow("shifts that all start late move back to zero")
            << QList<int>{40, 60} << QList<int>{0, 20};
        QTest::newRow("the second node may be the leftmost") << QList<int>{500, -20} << QList<int>{520, 0};
    }

    void recomputeExtentStartsTheLeftmostNodeAtZero()
    {
        QFETCH(QList<int>, dragged);
        QFETCH(QList<int>, normal);

        const auto a = nodeWith(1, hop(4, 100, 140, 1, 1), 1000);
        const auto b = nodeWith(2, hop(6, 30, 70, 1, 1), 1200);
        const auto root = viewOf({a.get(), b.get()});
        viewNode(*root, 0)->setShift(dragged[0]);
        viewNode(*root, 1)->setShift(dragged[1]);
        root->recomputeExtent();
        const int lengthLin = qMax(1000 + normal[0], 1200 + normal[1]); // the later end
        QCOMPARE(
            shifts(*root) << root->lengthLin() << root->lengthLog(),
            (normal + QList<int>{lengthLin, logEnd(*root, 1000 + normal[0] >= 1200 + normal[1] ? 0 : 1)}));
        // The alignment's own values are kept for resetShifts; the length follows only once recomputed.
        root->resetShifts();
        QCOMPARE(shifts(*root) << root->lengthLin(), (QList<int>{0, 70, lengthLin}));
        root->recomputeExtent();
        QCOMPARE(root->lengthLin(), 1270);
    }

    void itemRectanglesFollowScaleAndScroll()
    {
        const int sender = 1 << 8;
        const auto a = load(traceFile(1, QByteArray(),
                                      eventXml(1, 0) + eventXml(4, 100, sender, 1) +
                                          eventXml(-4, 140, sender, 1) + eventXml(1, 1000)));
        const auto b = load(traceFile(2, "<hubs><hub id=\"2\" name=\"Queue\"/></hubs>\n",
                                      eventXml(1, 0) + eventXml(6, 30, sender, 1) +
                                          eventXml(-6, 70, sender, 1) + eventXml(1, 5000)));
        // Rows: 0 root, 1 A, 2 its tasks, 3 its task, 4 its hubs, 5 B, 6 its tasks, 7 its task, 8 its
        // hubs, 9 its hub. B is shifted by 70 us and ends the chart: lengthLin 5070, lengthLog
        // int(ln 5000 + 70) = 78; A's logarithmic length is 6, B's 8.
        const auto root = viewOf({a.get(), b.get()});
        QCOMPARE((QList<int>{root->lengthLin(), root->lengthLog()}), (QList<int>{5070, 78}));
        const auto rects = [&root](bool logMode, const QList<int> &rows) {
            ChartGeometry geometry;
            geometry.logMode = logMode;
            geometry.scale = logMode ? 2.0f : 0.25f; // pixels per logarithmic unit, or per microsecond
            geometry.horizontalScroll = logMode ? 3 : 10;
            geometry.verticalScroll = logMode ? 18 : 4;
            geometry.surface = QSize(640, 480);
            QList<QRect> result;
            for (const int row : rows)
                result.append(root->itemRect(row < 0 ? nullptr : root->itemAtRow(row), geometry));
            return result;
        };
        // The root, a node and a group cover their rows over the chart's length, an empty group one row;
        // a task row spans its node from its shift (truncated); no item is the whole surface.
        QCOMPARE(rects(false, {0, 1, 8, 4, 3, 7, -1}),
                 (QList<QRect>{QRect(-10, -4, 1267, 180), QRect(-10, 14, 1267, 72), QRect(-10, 140, 1267, 36),
                               QRect(-10, 68, 1267, 18), QRect(-10, 50, 250, 18), QRect(7, 122, 1250, 18),
                               QRect(0, 0, 640, 480)}));
        // Logarithmic rows ignore the shift and a task row spans its node's logarithmic length.
        QCOMPARE(rects(true, {0, 5, 7}),
                 (QList<QRect>{QRect(-3, -18, 156, 180), QRect(-3, 72, 156, 90), QRect(-3, 108, 16, 18)}));
    }
};

QTEST_MAIN(TestViewRoot)
#include "tst_viewroot.moc"
