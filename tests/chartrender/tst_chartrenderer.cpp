#include "chart/chartimage.h"
#include "chart/chartmapper.h"
#include "chart/chartmetrics.h"
#include "chart/chartrenderer.h"
#include "chart/chartsettings.h"
#include "chart/chartstyle.h"
#include "chart/drawop.h"
#include "chart/levelofdetail.h"
#include "chart/paintpass.h"
#include "chart/primitivepainter.h"
#include "chart/rastertarget.h"
#include "chart/timescale.h"
#include "chart/viewroot.h"
#include "headlesstracer.h"
#include "testsupport.h"
#include "trace/node.h"
#include "tracefixture.h"
#include "tracegenerator.h"

#include <QPainter>
#include <QRegion>
#include <QScopeGuard>
#include <QSettings>
#include <QtTest>

#include <memory>
#include <set>
#include <tuple>

using TraceFixture::eventXml;
using TraceFixture::traceFile;

namespace {

constexpr int H = ChartMetrics::rowHeight;
constexpr int S = ChartMetrics::headerWidth;
const QSize pairSize(2000, 270);

int countColour(const QImage &image, const QRect &area, const QColor &colour)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            count += image.pixel(x, y) == colour.rgb() ? 1 : 0;
    }
    return count;
}

// The tasks given, and hub 1 with the kernel services that send to it (7)
// and receive from it (9).
QByteArray hubDeclarations(const char *tasks)
{
    return QByteArray(tasks) + "<hubs><hub id=\"1\" name=\"Q\"/></hubs>\n"
                               "<services><service id=\"7\" name=\"Ks_Send_To_Hub_W\"/>"
                               "<service id=\"9\" name=\"Ks_Receive_From_Hub_W\"/></services>\n";
}

// Painter states a chart may be painted under: the renderer writes pixels
// itself only on a plain 32-bit image, and must leave the rest to Qt.
struct SurfaceRow
{
    const char *name;
    QImage::Format format;
    qreal ratio;
    void (*prepare)(QPainter &);
    bool direct; // whether the renderer may write the pixels itself
};

// In the clipped painters' coordinates: a rectangle, and one with a hole.
const QRegion surfaceClip(150, 40, 700, 300);
const QRegion surfaceHoledClip = surfaceClip - QRegion(400, 100, 50, 50);
const QColor surfaceGround(0x33, 0x66, 0x99);

void asIs(QPainter &) {}
void clipped(QPainter &painter)
{
    painter.setClipRegion(surfaceClip);
}
void holed(QPainter &painter)
{
    painter.setClipRegion(surfaceHoledClip);
}

const SurfaceRow surfaceRows[] = {
    {"a plain 32-bit image", QImage::Format_RGB32, 1.0, asIs, true},
    {"a premultiplied image", QImage::Format_ARGB32_Premultiplied, 1.0, asIs, true},
    {"a 16-bit image", QImage::Format_RGB16, 1.0, asIs, false},
    {"a painter moved by whole pixels", QImage::Format_RGB32, 1.0, [](QPainter &p) { p.translate(7, 3); },
     true},
    {"a painter moved by half a pixel", QImage::Format_RGB32, 1.0, [](QPainter &p) { p.translate(0.5, 0); },
     false},
    {"an image of pixel ratio 2", QImage::Format_RGB32, 2.0, asIs, false},
    {"a painter clipped to a rectangle", QImage::Format_RGB32, 1.0, clipped, true},
    {"a painter clipped to a rectangle with a hole", QImage::Format_RGB32, 1.0, holed, false},
    {"a painter at half opacity", QImage::Format_RGB32, 1.0, [](QPainter &p) { p.setOpacity(0.5); }, false},
    {"a painter in multiply mode", QImage::Format_RGB32, 1.0,
     [](QPainter &p) { p.setCompositionMode(QPainter::CompositionMode_Multiply); }, false},
};

// One picture the level-of-detail path must paint as the literal one does.
struct Look
{
    const char *name;
    const char *scene;
    bool logMode, external, gradient;
    int schema; // of the swimlines
    bool icons;
    double from = -1.0; // fraction of the chart's length; negative: fitted
    int span = 0;       // us
    int height = 1100;  // px; the demo's rows go below 600
    int surface = 0;    // of surfaceRows
    int arrowWidth = 1;
    bool dashed = false; // transmit arrows
};

} // namespace

Q_DECLARE_METATYPE(Look)

class TestChartRenderer : public QObject
{
    Q_OBJECT

private:
    HeadlessTracer m_tracer;
    Node *m_a = nullptr;                    // node 1, the upper and current node of the pair view
    Node *m_b = nullptr;                    // node 2, below it, shifted by 30 us
    QHash<QString, QList<Node *>> m_scenes; // for whole-chart images
    std::unique_ptr<ViewRoot> m_view;
    TimeScale m_scale; // 1 px per us

    ViewNode *viewNode(int n) const { return static_cast<ViewNode *>(m_view->child(n)); }
    int rowTop(int n, int taskId) const { return viewNode(n)->taskTrain()->childById(taskId)->row() * H; }

    // The pair view with the default settings and the header inside the rows.
    // By default the event list shows every event of node 1: only its last event's column is hatched.
    QImage paint(NodeViewStates &states, int scroll = 0, bool levelOfDetail = true, int listFirst = 0,
                 int listLast = 4) const
    {
        std::tie(states[m_a->traceFileName()].listFirst, states[m_a->traceFileName()].listLast) =
            std::tie(listFirst, listLast);
        ChartRenderer renderer;
        renderer.setSettings(ChartSettings());
        renderer.setLevelOfDetail(levelOfDetail);
        ChartRenderer::Frame frame;
        frame.scale = &m_scale;
        frame.horizontalScroll = scroll;
        frame.viewport = pairSize;
        frame.externalHeader = false;
        QImage image(pairSize, QImage::Format_RGB32);
        QPainter painter(&image);
        renderer.paint(painter, *m_view, states, image.rect(), frame);
        return image;
    }

    // The two nodes of the huge scene in `root`, fitted at `scale` to a 1600 x 1100 viewport.
    ChartRenderer::Frame fitHugeScene(ViewRoot &root, TimeScale &scale) const
    {
        for (Node *n : m_scenes.value(QStringLiteral("huge")))
            root.addViewedNode(n);
        scale.setLinScale(1600.0f / float(root.lengthLin()));
        ChartRenderer::Frame frame;
        frame.scale = &scale;
        frame.viewport = QSize(1600, 1100);
        frame.catalogue = m_tracer.catalogue();
        return frame;
    }

private slots:
    void initTestCase()
    {
        // Times in microseconds. Node 1: Logger from 0, Worker from 200 (events 1 to 3), ending with
        // the kernel's switch at 500.
        const QByteArray a = eventXml(0, 0, 0, 0x102) + eventXml(0, 200, 0, 0x101) +
                             eventXml(1, 300, 1, 0x102) + eventXml(1, 400, 1, 0x102) +
                             eventXml(0, 500, 0, 0x100);
        m_a =
            m_tracer.load(QStringLiteral("pair"), QStringLiteral("a.trace"),
                          traceFile(1,
                                    "<tasks><task id=\"0\" name=\"Kernel\"/><task id=\"1\" name=\"Worker\"/>"
                                    "<task id=\"2\" name=\"Logger\"/></tasks>\n",
                                    a));
        // Node 2: Pump from 0, the kernel from 100, Pump again from 1500 (event 3).
        const QByteArray b = eventXml(0, 0, 0, 0x203) + eventXml(0, 100, 0, 0x200) +
                             eventXml(1, 200, 1, 0x200) + eventXml(0, 1500, 0, 0x203) +
                             eventXml(1, 1600, 1, 0x203);
        m_b = m_tracer.load(
            QStringLiteral("pair"), QStringLiteral("b.trace"),
            traceFile(2, "<tasks><task id=\"0\" name=\"Kernel\"/><task id=\"3\" name=\"Pump\"/></tasks>\n",
                      b));
        QVERIFY(m_a && m_b);

        m_view = std::make_unique<ViewRoot>();
        m_view->addViewedNode(m_a);
        m_view->addViewedNode(m_b);
        m_view->setCurrentNode(m_a);
        // Placed by hand, as a drag would: node 2 runs 30 us later on the chart.
        viewNode(0)->setShift(0);
        viewNode(1)->setShift(30);
        m_view->recomputeExtent();

        const QString denseDir = TestSupport::sandboxPath() + QStringLiteral("/dense");
        TraceGenerator generator({/*nodes*/ 2, /*eventsPerNode*/ 20000, /*seed*/ 7});
        QVERIFY2(generator.generate(denseDir), qPrintable(generator.errorString()));
        m_scenes[QStringLiteral("dense")] = {m_tracer.createNode(denseDir + QStringLiteral("/node1.trace"),
                                                                 m_tracer.rootEntry(), FROM_TRACER)};
        // Over a hundred events per pixel column fitted: the chart skips
        // whole blocks of them, and blocks straddle column edges.
        const QString hugeDir = TestSupport::sandboxPath() + QStringLiteral("/huge");
        TraceGenerator huge({/*nodes*/ 2, /*eventsPerNode*/ 200000, /*seed*/ 11});
        QVERIFY2(huge.generate(hugeDir), qPrintable(huge.errorString()));
        for (int i = 1; i <= 2; ++i)
            m_scenes[QStringLiteral("huge")].append(m_tracer.createNode(
                hugeDir + QStringLiteral("/node%1.trace").arg(i), m_tracer.rootEntry(), FROM_TRACER));
        // Clocks that step back now and then (a counter wrap, a resync): the
        // chart cannot find a pixel column's events by bisection here.
        QByteArray stepping;
        quint32 at = 1000;
        for (int i = 0; i < 3000; ++i) {
            static const int types[] = {0, 1, -1, 2, 2, -2, 16, 3, 1, 0};
            const int type = types[(i * 7) % 10];
            at = i % 37 == 36 ? at - 150 : at + 3 + quint32(i % 5);
            const qint32 arg = type == 0 ? 0x300 + (i / 3) % 3 : type == 16 ? 0x10000 + (i % 3) : (i % 3) * 7;
            stepping += eventXml(type, at, type == 0 ? 0 : arg, type == 0 ? arg : 0x301);
        }
        m_scenes[QStringLiteral("stepping")] = {m_tracer.load(
            QStringLiteral("stepping"), QStringLiteral("s.trace"),
            traceFile(3,
                      hubDeclarations("<tasks><task id=\"0\" name=\"Kernel\"/><task id=\"1\" name=\"A\"/>"
                                      "<task id=\"2\" name=\"B\"/></tasks>\n"),
                      stepping))};
        QVERIFY(!m_scenes[QStringLiteral("stepping")].first()->inTimeOrder());
        // Two such nodes alike: their markers stand at the same x, each over its own node.
        m_scenes[QStringLiteral("stepping twice")] = {
            m_scenes[QStringLiteral("stepping")].first(),
            m_tracer.load(QStringLiteral("stepping"), QStringLiteral("s2.trace"),
                          traceFile(5,
                                    hubDeclarations("<tasks><task id=\"0\" name=\"Kernel\"/><task id=\"1\" "
                                                    "name=\"A\"/><task id=\"2\" name=\"B\"/></tasks>\n"),
                                    stepping))};
        // Kernel requests to a hub in pairs a microsecond apart, the later
        // lasting until the next switch: fitted, both fall into one column,
        // and the later one's arrow stands half its long bar to the right.
        QByteArray pairs;
        for (quint32 k = 0; k < 10; ++k) {
            const quint32 base = 1000 + 2000 * k;
            const int service = k % 2 ? 9 : 7;
            pairs += eventXml(0, base, 0, 0x400) + eventXml(2, base + 1, service, 0x401) +
                     eventXml(2, base + 2, service, 0x401) + eventXml(0, base + 1200, 0, 0x401);
        }
        m_scenes[QStringLiteral("pairs")] = {m_tracer.load(
            QStringLiteral("pairs"), QStringLiteral("p.trace"),
            traceFile(4,
                      hubDeclarations(
                          "<tasks><task id=\"0\" name=\"Kernel\"/><task id=\"1\" name=\"A\"/></tasks>\n"),
                      pairs))};
        for (int i = 1; i <= 4; ++i) {
            const QString path = QFINDTESTDATA(QStringLiteral("../../demo/node%1.trace").arg(i));
            QVERIFY2(!path.isEmpty(), "the demo project is missing");
            m_scenes[QStringLiteral("demo")].append(
                m_tracer.createNode(path, m_tracer.rootEntry(), FROM_TRACER));
        }
        for (const QList<Node *> &nodes : std::as_const(m_scenes))
            QVERIFY(!nodes.contains(nullptr));
    }

    void cleanupTestCase() { m_view.reset(); }

    void barZoomedFarInStillFillsItsRow()
    {
        // At 1.2e7 px/us the right edge of node 1's first bar (0 to 200 us) lies beyond int.
        const auto restore = qScopeGuard([this, saved = m_scale] { m_scale = saved; });
        m_scale.setLinScale(1.2e7f);
        QCOMPARE(ChartMapper(m_scale, 1000).rightX(*m_a->event(0), 0), std::numeric_limits<int>::max());
        for (const bool levelOfDetail : {true, false}) {
            NodeViewStates states;
            const QImage image = paint(states, 1000, levelOfDetail);
            QCOMPARE(QColor(image.pixel(pairSize.width() / 2, rowTop(0, 2) + 9)), QColor(0x80, 0xff, 0x80));
        }
    }

    void barBeforeAnotherTasksSwitchIsBlueUpToTheLastEvent()
    {
        // Node 1's worker runs from 400 to 500 us, then the kernel's switch ends the node.
        for (const bool levelOfDetail : {true, false}) {
            NodeViewStates states;
            const QImage image = paint(states, 0, levelOfDetail);
            QCOMPARE(QColor(image.pixel(450, rowTop(0, 1) + 9)), QColor(0x80, 0x80, 0xff));
        }
    }

    void selectionBlendsOverTheRows_data()
    {
        QTest::addColumn<int>("node");
        QTest::addColumn<int>("selFirst");
        QTest::addColumn<int>("selLast");
        QTest::addColumn<int>("time"); // us, on the node's kernel row, which is white
        QTest::addColumn<QColor>("colour");

        const QColor white(Qt::white), blueOverWhite(127, 127, 255); // blue at half opacity
        QTest::newRow("on the current node it is blue at half opacity")
            << 0 << 1 << 2 << 250 << blueOverWhite;
        QTest::newRow("it ends one pixel after the later event's end") << 0 << 1 << 2 << 401 << white;
        QTest::newRow("a selection of the first event is drawn") << 0 << 0 << 0 << 100 << blueOverWhite;
        QTest::newRow("on another node it is #9090c0 at half opacity")
            << 1 << 3 << 3 << 1550 << QColor(199, 199, 223);
        QTest::newRow("a selection reaching past the last event is not drawn")
            << 1 << 3 << 99 << 1550 << white;
    }

    void selectionBlendsOverTheRows()
    {
        QFETCH(int, node);
        QFETCH(int, selFirst);
        QFETCH(int, selLast);
        QFETCH(int, time);
        QFETCH(QColor, colour);

        NodeViewStates states;
        NodeViewState &record = states[(node == 0 ? m_a : m_b)->traceFileName()];
        record.selFirst = selFirst;
        record.selLast = selLast;
        const QColor got = paint(states).pixel(time + viewNode(node)->shift(), rowTop(node, 0) + 9);
        const int off = qAbs(got.red() - colour.red()) + qAbs(got.green() - colour.green()) +
                        qAbs(got.blue() - colour.blue());
        QVERIFY2(off <= 3, qPrintable(got.name())); // half opacity rounds either way
    }

    void hatchingCoversWhatTheEventListDoesNotShow_data()
    {
        QTest::addColumn<QList<int>>("list"); // first and last event the list shows
        QTest::addColumn<QString>("hatched"); // node 1's events 0 to 3: # hatched, . bare
        QTest::newRow("the events before the list's first one are hatched") << QList<int>{3, 4} << "###.";
        QTest::newRow("the events after the list's last one are hatched") << QList<int>{0, 1} << "..##";
        QTest::newRow("both sides of a list in the middle") << QList<int>{2, 2} << "##.#";
        QTest::newRow("a list from event 1 leaves event 0 bare") << QList<int>{1, 4} << "....";
    }

    void hatchingCoversWhatTheEventListDoesNotShow()
    {
        QFETCH(QList<int>, list);
        NodeViewStates plain, listed;
        const QImage bare = paint(plain);
        const QImage image = paint(listed, 0, true, list[0], list[1]);
        QString hatched;
        for (const int middle : {100, 250, 350, 450}) { // us, of events 0 to 3
            const QRect column(middle, rowTop(0, 0), 1, 3 * H);
            hatched += image.copy(column) == bare.copy(column) ? u'.' : u'#';
        }
        QTEST(hatched, "hatched");
    }

    void storedArrowsSetThePixelsTheStrokedOnesDo_data()
    {
        QTest::addColumn<QPoint>("tail"); // from the tip
        QTest::newRow("pointing down") << QPoint(0, -40);
        QTest::newRow("pointing up") << QPoint(0, 40);
        QTest::newRow("leaning one pixel") << QPoint(1, -60);
        QTest::newRow("leaning the most that is stored") << QPoint(-8, 50);
        QTest::newRow("leaning too far to be stored") << QPoint(9, -50);
        QTest::newRow("too short for a head") << QPoint(2, -10);
        QTest::newRow("nearly flat") << QPoint(-30, 5);
    }

    // Tips on and beyond every edge, where the image cuts the strokes: an
    // arrow drawn from its stored shape sets what the painter's strokes set.
    void storedArrowsSetThePixelsTheStrokedOnesDo()
    {
        QFETCH(QPoint, tail);
        ViewRoot root;
        NodeViewStates states;
        const ChartSettings settings;
        ChartStyle style;
        ChartRenderer::Frame frame;
        frame.scale = &m_scale;
        frame.viewport = QSize(100, 80);
        PaintPass pass(frame, root, states, settings, style, QRect(QPoint(), frame.viewport));
        const auto paint = [&](const DrawOp &arrow, bool literal) {
            QImage image(frame.viewport, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            PrimitivePainter(painter, pass, image.rect(), literal).draw(arrow);
            return image;
        };
        const int near[] = {-13, -7, -1, 0, 1, 6, 13};
        QList<int> xs{40};
        QList<int> ys{30};
        for (const int offset : near) {
            xs << offset << 99 + offset;
            ys << offset << 79 + offset;
        }
        int drawn = 0;
        for (const int x : xs) {
            for (const int y : ys) {
                const DrawOp arrow{DrawOp::PacketArrow, {x + tail.x(), y + tail.y(), x, y}};
                const QImage stroked = paint(arrow, true);
                // Met often enough, the shape is stored.
                for (int k = 0; k < 3; ++k) {
                    const QImage image = paint(arrow, false);
                    QVERIFY2(image == stroked, qPrintable(QStringLiteral("tip %1,%2").arg(x).arg(y)));
                }
                drawn += countColour(stroked, stroked.rect(), Qt::white) < 8000;
            }
        }
        QVERIFY(drawn > xs.size() * ys.size() / 4);
    }

    // Of the primitives drawn over the whole task group only the last of equal ones is kept, and of
    // equal packet arrows only the last node's.
    void levelOfDetailDrawsEqualGroupPrimitivesOnce()
    {
        ViewRoot root;
        TimeScale scale;
        const ChartRenderer::Frame frame = fitHugeScene(root, scale);
        NodeViewStates states;
        const ChartSettings settings;
        ChartStyle style;
        const PaintPass pass(frame, root, states, settings, style, QRect(QPoint(), frame.viewport));
        std::vector<LevelOfDetail::NodeRange> ranges;
        for (int i = 0; i < root.childCount(); ++i) {
            const auto *node = static_cast<const ViewNode *>(root.child(i));
            ranges.push_back(
                {node, ChartMapper(scale, 0).eventsBetween(*node->node(), node->shift(), 0, 1600)});
        }
        LevelOfDetail detail;
        detail.collect(ranges, pass);
        std::set<std::array<int, 8>> seen;
        QList<int> spanning{0, 0}; // markers, packet arrows
        for (const LevelOfDetail::NodeRange &range : ranges) {
            const ViewItem *train = range.node->taskTrain();
            for (int k = 0; k < train->childCount(); ++k) {
                for (const DrawOp &op : detail.opsOf(train->child(k))) {
                    if (!op.spansRows() || op.kind == DrawOp::Connector)
                        continue;
                    const bool arrow = op.kind == DrawOp::PacketArrow;
                    ++spanning[arrow];
                    // Markers stand on their own node's rows; arrows join the nodes.
                    seen.insert({op.kind, op.p[0], op.p[1], op.p[2], op.p[3], op.p[4], op.p[5],
                                 arrow ? -1 : range.node->index()});
                }
            }
        }
        QVERIFY(spanning[0] > 100 && spanning[1] > 100);
        QCOMPARE(int(seen.size()), spanning[0] + spanning[1]);
    }

    void replayingTheKeptPrimitivesRedrawsAnyColumns_data()
    {
        QTest::addColumn<QRect>("area");
        QTest::newRow("one column") << QRect(801, 0, 1, 1100);
        QTest::newRow("a band in the middle") << QRect(400, 0, 37, 1100);
        QTest::newRow("the left edge") << QRect(0, 0, 5, 1100);
    }

    void replayingTheKeptPrimitivesRedrawsAnyColumns()
    {
        QFETCH(QRect, area);
        ViewRoot root;
        TimeScale scale;
        const ChartRenderer::Frame frame = fitHugeScene(root, scale);
        NodeViewStates states;
        ChartRenderer renderer;
        QImage image(frame.viewport, QImage::Format_RGB32);
        QPainter painter(&image);
        renderer.paint(painter, root, states, image.rect(), frame);
        const QImage painted = image.copy();
        painter.fillRect(area, Qt::magenta);
        QVERIFY(renderer.repaintKept(painter, root, states, frame, area));
        painter.end();
        QCOMPARE(image, painted);
    }

    void levelOfDetailKeepsThePicture_data()
    {
        QTest::addColumn<Look>("look");

        // Rows below the edge are not drawn: nothing in them may hide the rows above (height 600).
        const Look looks[] = {
            {"dense node fitted, external header, flat", "dense", false, true, false, 0, true},
            {"dense node fitted, internal header, gradient, striped", "dense", false, false, true, 2, true},
            {"dense node over 300 us, external header, flat, no icons", "dense", false, true, false, 1, false,
             0.25, 300},
            {"dense node logarithmic, external header, gradient", "dense", true, true, true, 0, true},
            {"dense node logarithmic, internal header, flat, monochrome", "dense", true, false, false, 1,
             false},
            {"huge nodes fitted: whole blocks of events in one column", "huge", false, true, true, 0, true},
            {"huge nodes logarithmic, internal header, flat", "huge", true, false, false, 1, true},
            {"huge nodes over 1.8 s: blocks straddle column edges", "huge", false, true, false, 0, false, 0.4,
             1800000},
            {"clock stepping back, fitted, gradient", "stepping", false, true, true, 0, true},
            {"hub arrows of one column standing apart", "pairs", false, true, false, 0, true},
            {"clock stepping back, logarithmic, flat", "stepping", true, false, false, 0, true},
            {"two nodes stepping back alike, fitted", "stepping twice", false, true, false, 0, true},
            {"demo nodes fitted, internal header, gradient, striped", "demo", false, false, true, 2, true},
            {"demo nodes over 3000 us, external header, gradient", "demo", false, true, true, 0, true, 0.5,
             3000},
            {"demo nodes over 300 us, internal header, flat", "demo", false, false, false, 0, true, 0.3, 300},
            {"demo nodes fitted, cut off at the bottom edge", "demo", false, true, false, 0, true, -1.0, 0,
             600},
        };
        for (const Look &look : looks)
            QTest::newRow(look.name) << look;
        for (const SurfaceRow &row : surfaceRows) {
            QTest::addRow("demo nodes fitted on %s, flat", row.name)
                << Look{"", "demo", false, true, false, 0, true, -1.0, 0, 900, int(&row - surfaceRows)};
        }
        QTest::newRow("demo nodes fitted, gradient")
            << Look{"", "demo", false, true, true, 0, true, -1.0, 0, 900};
        QTest::newRow("demo nodes fitted, arrows 2 px wide")
            << Look{"", "demo", false, true, false, 0, true, -1.0, 0, 900, 0, 2};
        QTest::newRow("demo nodes fitted, dashed transmit arrows")
            << Look{"", "demo", false, true, false, 0, true, -1.0, 0, 900, 0, 1, true};
    }

    void levelOfDetailKeepsThePicture()
    {
        QFETCH(Look, look);
        QSettings store = TestSupport::settingsStore();
        const std::initializer_list<std::pair<const char *, QVariant>> settings{
            {"event_bar_filling", look.gradient ? 1 : 0},
            {"node_swimlines_schema", look.schema},
            {"show_syncmarker_icons", look.icons ? QStringLiteral("show") : QStringLiteral("hide")},
            {"packet_arrow_width", look.arrowWidth},
            {"packet_transmit_arrow_style",
             look.dashed ? QStringLiteral("dashed") : QStringLiteral("solid")}};
        for (const auto &[id, value] : settings)
            store.setValue(ChartSettings::keyFor(QLatin1String(id)), value);

        const QList<Node *> nodes = m_scenes.value(QLatin1String(look.scene));
        ChartImageOptions options;
        options.catalogue = m_tracer.catalogue();
        options.size = QSize(1600, look.height);
        options.logMode = look.logMode;
        options.externalHeader = look.external;
        if (look.from >= 0.0) {
            ViewRoot aligned;
            for (Node *n : nodes)
                aligned.addViewedNode(n);
            options.hasRange = true;
            options.from = qint64(look.from * aligned.lengthLin());
            options.to = options.from + look.span;
        }
        const SurfaceRow &row = surfaceRows[look.surface];
        bool direct = false;
        const auto paintOn = [&](bool levelOfDetail) {
            QImage image(options.size * row.ratio, row.format);
            image.setDevicePixelRatio(row.ratio);
            image.fill(surfaceGround);
            QPainter painter(&image);
            row.prepare(painter);
            direct = RasterTarget(painter).available();
            options.levelOfDetail = levelOfDetail;
            paintChartImage(painter, nodes, options);
            return image;
        };
        const QImage detailed = paintOn(true);
        const QImage full = paintOn(false);

        // Black bar frames and connectors right of both headers, below the first node row, on a surface
        // that keeps the colours as painted.
        const int frames =
            countColour(full, QRect(S, 2 * H, full.width() - S, full.height() - 2 * H), Qt::black);
        QVERIFY2(look.surface > 0 || frames > 100,
                 qPrintable(QStringLiteral("only %1 black pixels: no bars").arg(frames)));
        QCOMPARE(detailed, full);
        // Where the fast path writes pixels itself and where it must leave them to Qt.
        QCOMPARE(direct, row.direct);
        // Nothing is painted outside a clip: the ground shows everywhere else.
        const QRegion kept = row.prepare == clipped ? surfaceClip
                             : row.prepare == holed ? surfaceHoledClip
                                                    : QRegion(detailed.rect());
        int groundInside = 0;
        int areaInside = 0;
        for (const QRect &rect : kept) {
            groundInside += countColour(detailed, rect, surfaceGround);
            areaInside += rect.width() * rect.height();
        }
        QCOMPARE(countColour(detailed, detailed.rect(), surfaceGround) - groundInside,
                 detailed.width() * detailed.height() - areaInside);
    }
};

QTEST_MAIN(TestChartRenderer)
#include "tst_chartrenderer.moc"
