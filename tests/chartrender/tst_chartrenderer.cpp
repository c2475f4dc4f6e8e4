#include "app/tracer.h"
#include "chart/chartimage.h"
#include "chart/chartmapper.h"
#include "chart/chartmetrics.h"
#include "chart/chartrenderer.h"
#include "chart/chartsettings.h"
#include "chart/rastertarget.h"
#include "chart/timescale.h"
#include "chart/viewroot.h"
#include "testsupport.h"
#include "trace/hub.h"
#include "trace/node.h"
#include "trace/task.h"
#include "tracefixture.h"
#include "tracegenerator.h"

#include <QPainter>
#include <QScopeGuard>
#include <QSettings>
#include <QtMath>
#include <QtTest>

#include <memory>

using TraceFixture::eventXml;
using TraceFixture::traceFile;

namespace {

constexpr int H = ChartMetrics::rowHeight;
constexpr int S = ChartMetrics::headerWidth;
const QSize pairSize(2000, 270);

// Empty when the pixel matches within `tolerance` per channel.
QString mismatch(const QImage &image, int x, int y, const QColor &expected, int tolerance)
{
    const QRgb got = image.pixel(x, y), want = expected.rgb();
    const auto near = [tolerance](int a, int b) { return qAbs(a - b) <= tolerance; };
    if (near(qRed(got), qRed(want)) && near(qGreen(got), qGreen(want)) && near(qBlue(got), qBlue(want)))
        return QString();
    return QStringLiteral("pixel (%1, %2) is %3, expected %4")
        .arg(x)
        .arg(y)
        .arg(QColor(got).name(), expected.name());
}

#define EXPECT_PIXEL(image, x, y, colour, tolerance)                                                         \
    QVERIFY2(mismatch(image, x, y, colour, tolerance).isEmpty(),                                             \
             qPrintable(mismatch(image, x, y, colour, tolerance)))

template<typename Test> int countPixels(const QImage &image, const QRect &area, Test test)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            count += test(image.pixel(x, y)) ? 1 : 0;
    }
    return count;
}

int countColour(const QImage &image, const QRect &area, const QColor &colour)
{
    return countPixels(image, area, [&colour](QRgb p) { return p == colour.rgb(); });
}

// Pixels where two pictures of the same size differ.
int differingPixels(const QImage &a, const QImage &b)
{
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x)
            count += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
    }
    return count;
}

// Writes chart settings to the test's store by their ids.
void storeChartSettings(std::initializer_list<std::pair<const char *, QVariant>> values)
{
    QSettings store(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview"));
    for (const auto &[id, value] : values)
        store.setValue(ChartSettings::keyFor(QLatin1String(id)), value);
}

QColor halfOver(const QColor &under, const QColor &over)
{
    return QColor((under.red() + over.red()) / 2, (under.green() + over.green()) / 2,
                  (under.blue() + over.blue()) / 2);
}

// Every colour explicitly, so the store's contents play no part.
ChartSettings plainSettings()
{
    ChartSettings s;
    s.swimlineSchema = 1;
    s.gradientBars = false;
    s.arrowWidth = 1;
    s.transmitStyle = Qt::SolidLine;
    s.receiveStyle = Qt::SolidLine;
    s.transmitColor = QColor(0x00, 0x80, 0x00);
    s.receiveColor = QColor(0x00, 0x00, 0x80);
    s.syncMarkerColor = QColor(0xff, 0x00, 0x80);
    s.userMarkerColor = QColor(0xff, 0x80, 0x00);
    s.showSyncMarkerIcons = false;
    return s;
}

const QByteArray services = "<services><service id=\"1\" name=\"Ks_Start_Task\"/>"
                            "<service id=\"7\" name=\"Ks_Send_To_Hub_W\"/>"
                            "<service id=\"9\" name=\"Ks_Receive_From_Hub_W\"/></services>\n";

// Painter states a chart may be painted under: the renderer writes pixels
// itself only on a plain 32-bit image, and must leave the rest to Qt.
enum class Surface {
    Plain,
    Premultiplied,
    Rgb16,
    WholePixelShift,
    HalfPixelShift,
    PixelRatio2,
    Clipped,
    HalfOpacity,
    Multiply
};

const QSize surfaceSize(1200, 900);         // logical pixels
const QRect surfaceClip(150, 40, 700, 300); // in the clipped painter's coordinates
const QColor surfaceGround(0x33, 0x66, 0x99);

QImage makeSurface(Surface surface)
{
    const QImage::Format format = surface == Surface::Premultiplied ? QImage::Format_ARGB32_Premultiplied
                                  : surface == Surface::Rgb16       ? QImage::Format_RGB16
                                                                    : QImage::Format_RGB32;
    const qreal ratio = surface == Surface::PixelRatio2 ? 2.0 : 1.0;
    QImage image(surfaceSize * ratio, format);
    image.setDevicePixelRatio(ratio);
    image.fill(surfaceGround);
    return image;
}

void prepare(QPainter &painter, Surface surface)
{
    if (surface == Surface::WholePixelShift)
        painter.translate(7, 3);
    else if (surface == Surface::HalfPixelShift)
        painter.translate(0.5, 0);
    else if (surface == Surface::Clipped)
        painter.setClipRect(surfaceClip);
    else if (surface == Surface::HalfOpacity)
        painter.setOpacity(0.5);
    else if (surface == Surface::Multiply)
        painter.setCompositionMode(QPainter::CompositionMode_Multiply);
}

struct SurfaceRow
{
    const char *name;
    Surface surface;
    bool direct; // whether the renderer may write the pixels itself
};

const SurfaceRow surfaceRows[] = {
    {"a plain 32-bit image", Surface::Plain, true},
    {"a premultiplied image", Surface::Premultiplied, true},
    {"a 16-bit image", Surface::Rgb16, false},
    {"a painter moved by whole pixels", Surface::WholePixelShift, true},
    {"a painter moved by half a pixel", Surface::HalfPixelShift, false},
    {"an image of pixel ratio 2", Surface::PixelRatio2, false},
    {"a clipped painter", Surface::Clipped, false},
    {"a painter at half opacity", Surface::HalfOpacity, false},
    {"a painter in multiply mode", Surface::Multiply, false},
};

} // namespace

class TestChartRenderer : public QObject
{
    Q_OBJECT

private:
    Tracer m_tracer;
    Node *m_a = nullptr;                    // node 1, the upper and current node of the pair view
    Node *m_b = nullptr;                    // node 2, below it, shifted by 30 us
    QHash<QString, QList<Node *>> m_scenes; // for whole-chart images
    std::unique_ptr<ViewRoot> m_view;
    TimeScale m_scale; // 1 px per us

    Node *node(int n) const { return n == 0 ? m_a : m_b; }
    ViewNode *viewNode(int n) const { return static_cast<ViewNode *>(m_view->child(n)); }
    int taskRow(int n, int taskId) const { return viewNode(n)->taskTrain()->childById(taskId)->row(); }
    int hubRow(int n, int hubId) const { return viewNode(n)->hubTrain()->childById(hubId)->row(); }
    // The "Tasks" row and the rows of its tasks.
    QRect groupRect(int n) const
    {
        const ViewItem *train = viewNode(n)->taskTrain();
        return QRect(0, train->row() * H, 1, (ViewRoot::visibleRowCount(train) + 1) * H);
    }
    ChartMapper mapper(int scroll = 0) const { return ChartMapper(m_scale, scroll); }
    int xAt(int n, int index) const { return mapper().leftX(*node(n)->event(index), viewNode(n)->shift()); }
    int xOfTime(int n, quint32 time) const
    {
        TraceEvent at;
        at.offset = time;
        return mapper().leftX(at, viewNode(n)->shift());
    }

    QImage paint(ViewRoot &root, NodeViewStates &states, const ChartSettings &settings, bool external = false,
                 int scroll = 0, const QSize &size = pairSize, bool levelOfDetail = true) const
    {
        // The event list shows every event: only the last event's column is hatched.
        const Node *current = root.currentNode();
        states[current->traceFileName()].listLast = current->eventCount() - 1;
        ChartRenderer renderer;
        renderer.setSettings(settings);
        renderer.setLevelOfDetail(levelOfDetail);
        ChartRenderer::Frame frame;
        frame.scale = &m_scale;
        frame.horizontalScroll = scroll;
        frame.viewport = size;
        frame.externalHeader = external;
        frame.catalogue = m_tracer.catalogue();
        QImage image(size, QImage::Format_RGB32);
        QPainter painter(&image);
        renderer.paint(painter, root, states, image.rect(), frame);
        return image;
    }
    QImage paintPair(const ChartSettings &settings, bool external = false) const
    {
        NodeViewStates states;
        return paint(*m_view, states, settings, external);
    }

    Node *load(const QString &subdir, const QString &name, const QByteArray &contents)
    {
        return m_tracer.createNode(TestSupport::writeTempFile(subdir, name, contents), m_tracer.rootEntry(),
                                   FROM_TRACER);
    }

private slots:
    void initTestCase()
    {
        m_tracer.initHeadless();
        m_tracer.setMessageSink(
            [](QMessageBox::Icon, const QString &text) { qWarning("%s", qPrintable(text)); });
        m_scale.setLinScale(1.0f);

        // Times in microseconds; comments give the event index.
        m_a = load(
            QStringLiteral("pair"), QStringLiteral("a.trace"),
            traceFile(
                1,
                "<tasks><task id=\"0\" name=\"Kernel\"/><task id=\"1\" name=\"Worker\"/>"
                "<task id=\"2\" name=\"Logger\"/></tasks>\n<hubs><hub id=\"1\" name=\"Inbox\"/></hubs>\n" +
                    services,
                eventXml(0, 0, 0, 0x102)             // 0 switch to Logger
                    + eventXml(0, 200, 0, 0x101)     // 1 switch to Worker
                    + eventXml(1, 300, 1, 0x102)     // 2 Worker goes on
                    + eventXml(1, 400, 1, 0x102)     // 3 Logger follows
                    + eventXml(0, 500, 0, 0x102)     // 4 switch to Logger
                    + eventXml(0, 600, 0, 0x100)     // 5 switch to Kernel
                    + eventXml(2, 700, 7, 0x101)     // 6 send to Inbox
                    + eventXml(2, 800, 9, 0x101)     // 7 receive from Inbox
                    + eventXml(-2, 900, 9, 0x101)    // 8 runs until 1500
                    + eventXml(3, 1000, 0x101, 77)   // 9 sync marker
                    + eventXml(16, 1100, 0x10005, 0) // 10 Worker's user marker
                    + eventXml(4, 1200, 0x102, 5)    // 11 sends packet 5 to node 2
                    + eventXml(6, 1300, 0x203, 9)    // 12 receives node 2's packet 9
                    + eventXml(-6, 1314, 0x203, 9)   // 13 14 px later: no arrowhead
                    + eventXml(0, 1500, 0, 0x101)    // 14 switch to Worker
                    + eventXml(1, 1600, 1, 0x102)    // 15
                    + eventXml(1, 1700, 1, 0x102))); // 16
        m_b = load(QStringLiteral("pair"), QStringLiteral("b.trace"),
                   traceFile(2,
                             "<tasks><task id=\"0\" name=\"Kernel\"/><task id=\"3\" name=\"Pump\"/></tasks>\n"
                             "<hubs><hub id=\"4\" name=\"Tank\"/></hubs>\n" +
                                 services,
                             eventXml(0, 0, 0, 0x203)             // 0 switch to Pump
                                 + eventXml(0, 100, 0, 0x200)     // 1 switch to Kernel
                                 + eventXml(2, 200, 7, 0x101)     // 2 send to Inbox of node 1, above
                                 + eventXml(2, 300, 9, 0x101)     // 3 receive from that Inbox
                                 + eventXml(-2, 400, 9, 0x101)    // 4 runs until 1500
                                 + eventXml(6, 1250, 0x102, 5)    // 5 receives packet 5 of node 1
                                 + eventXml(4, 1265, 0x203, 9)    // 6 sends packet 9 to node 1
                                 + eventXml(-6, 1290, 0x102, 5)   // 7 40 px after 5: arrowhead
                                 + eventXml(0, 1500, 0, 0x203)    // 8 switch to Pump
                                 + eventXml(1, 1600, 1, 0x203))); // 9
        QVERIFY(m_a && m_b);
        QCOMPARE(m_a->project(), m_b->project());
        QCOMPARE(m_a->eventCount(), 17);
        QCOMPARE(m_b->eventCount(), 10);
        QCOMPARE(m_a->task(0)->role(), Task::KERNEL);

        m_view = std::make_unique<ViewRoot>();
        m_view->addViewedNode(m_a);
        m_view->addViewedNode(m_b);
        m_view->setCurrentNode(m_a);
        // Placed by hand, as a drag would: node 2 runs 30 us later on the chart.
        viewNode(0)->setShift(0);
        viewNode(1)->setShift(30);
        m_view->recomputeExtent();
        // Stripes must be told apart by absolute row, not by position in the node.
        QCOMPARE(taskRow(0, 0) % 2, 1);
        QCOMPARE(taskRow(1, 0) % 2, 0);

        const QString denseDir = TestSupport::sandboxPath() + QStringLiteral("/dense");
        TraceGenerator generator({/*nodes*/ 2, /*eventsPerNode*/ 20000, /*seed*/ 7});
        QVERIFY2(generator.generate(denseDir), qPrintable(generator.errorString()));
        m_scenes[QStringLiteral("dense")] = {m_tracer.createNode(denseDir + QStringLiteral("/node1.trace"),
                                                                 m_tracer.rootEntry(), FROM_TRACER)};
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
        m_scenes[QStringLiteral("stepping")] = {
            load(QStringLiteral("stepping"), QStringLiteral("s.trace"),
                 traceFile(3,
                           "<tasks><task id=\"0\" name=\"Kernel\"/><task id=\"1\" name=\"A\"/>"
                           "<task id=\"2\" name=\"B\"/></tasks>\n<hubs><hub id=\"1\" name=\"Q\"/></hubs>\n" +
                               services,
                           stepping))};
        QVERIFY(!m_scenes[QStringLiteral("stepping")].first()->inTimeOrder());
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

    void rowsAndHeaderCellsTakeTheirColours_data()
    {
        QTest::addColumn<int>("schema"); // of the swimlines
        QTest::addColumn<bool>("external");
        QTest::addColumn<int>("x"); // where no bar, marker or arrow covers the row
        QTest::addColumn<int>("row");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<int>("tolerance");

        const QColor light(0xf8, 0xf8, 0xf8), dark(0xe8, 0xe8, 0xe8);
        const QColor worker = m_a->task(1)->colour(), inbox = m_a->hubs().value(1)->colour();
        QTest::newRow("colour swimlines paint a kernel task white")
            << 0 << false << xOfTime(0, 350) << taskRow(0, 0) << QColor(Qt::white) << 0;
        QTest::newRow("colour swimlines paint a task in its own colour")
            << 0 << false << xOfTime(0, 650) << taskRow(0, 1) << worker << 0;
        QTest::newRow("colour swimlines paint a hub in its own colour")
            << 0 << false << xOfTime(0, 550) << hubRow(0, 1) << inbox << 0;
        QTest::newRow("monochrome swimlines paint a task row #f8f8f8")
            << 1 << false << xOfTime(0, 350) << taskRow(0, 2) << light << 0;
        QTest::newRow("stripes: the upper node's first task is on odd row 3")
            << 2 << false << xOfTime(0, 350) << taskRow(0, 0) << light << 0;
        QTest::newRow("stripes: even row 4 is darker")
            << 2 << false << xOfTime(0, 650) << taskRow(0, 1) << dark << 0;
        QTest::newRow("stripes: the hub on odd row 7 is light")
            << 2 << false << xOfTime(0, 550) << hubRow(0, 1) << light << 0;
        QTest::newRow("stripes: the lower node's first task is on even row 10, darker")
            << 2 << false << xOfTime(1, 1550) << taskRow(1, 0) << dark << 0;
        QTest::newRow("beyond the node's extent the row is light gray")
            << 1 << false << xOfTime(0, 1800) << taskRow(0, 0) << QColor(Qt::lightGray) << 0;

        QTest::newRow("the external header's root cell is black")
            << 1 << true << 190 << 0 << QColor(Qt::black) << 0;
        QTest::newRow("the current node's header cell is the blue gradient's middle")
            << 1 << true << 190 << viewNode(0)->row() << QColor(0x99, 0x99, 0xff) << 2;
        QTest::newRow("another node's header cell is the gray gradient's middle")
            << 1 << true << 190 << viewNode(1)->row() << QColor(0x78, 0x78, 0x78) << 8;
        QTest::newRow("a group's header cell is gray")
            << 1 << true << 190 << viewNode(0)->taskTrain()->row() << QColor(Qt::gray) << 0;
        QTest::newRow("the group's gray runs left of its rows' header cells")
            << 1 << true << 5 << taskRow(0, 1) << QColor(Qt::gray) << 0;
        QTest::newRow("a task's header cell has the task's colour")
            << 1 << true << 190 << taskRow(0, 1) << worker << 0;
        QTest::newRow("a hub's header cell has the hub's colour")
            << 1 << true << 190 << hubRow(0, 1) << inbox << 0;
        QTest::newRow("the current node's header block is framed blue")
            << 1 << true << 0 << taskRow(0, 0) << QColor(Qt::blue) << 0;
    }

    void rowsAndHeaderCellsTakeTheirColours()
    {
        QFETCH(int, schema);
        QFETCH(bool, external);
        QFETCH(int, x);
        QFETCH(int, row);
        QFETCH(QColor, colour);
        QFETCH(int, tolerance);

        ChartSettings settings = plainSettings();
        settings.swimlineSchema = schema;
        EXPECT_PIXEL(paintPair(settings, external), x, row * H + 9, colour, tolerance);
    }

    void barsTakeTheirVariantColour_data()
    {
        QTest::addColumn<bool>("gradient");
        QTest::addColumn<int>("index");
        QTest::addColumn<QVector<QRgb>>("stops"); // top to bottom, at 0.0, 0.25, 0.5, 1.0

        const QRgb green = 0x80ff80, red = 0xff8080, blue = 0x8080ff, white = 0xffffff;
        QTest::newRow("a flat task switch is green") << false << 1 << QVector<QRgb>(4, green);
        QTest::newRow("a flat event after a switch is red: the same task goes on")
            << false << 2 << QVector<QRgb>(4, red);
        QTest::newRow("a flat event before another task's switch is blue: another task follows")
            << false << 3 << QVector<QRgb>(4, blue);
        // The gradient palette pairs hues with variants unlike the flat one.
        QTest::newRow("a gradient switch runs blue, white, blue, dark blue")
            << true << 1 << QVector<QRgb>{blue, white, blue, 0x4040c0};
        QTest::newRow("a gradient bar of the same task going on runs green, white, green, dark green")
            << true << 2 << QVector<QRgb>{green, white, green, 0x40c040};
        QTest::newRow("a gradient bar before another task runs red, white, red, dark red")
            << true << 3 << QVector<QRgb>{red, white, red, 0xc04040};
    }

    void barsTakeTheirVariantColour()
    {
        QFETCH(bool, gradient);
        QFETCH(int, index);
        QFETCH(QVector<QRgb>, stops);

        ChartSettings settings = plainSettings();
        settings.gradientBars = gradient;
        const QImage image = paintPair(settings);
        const TraceEvent &e = *m_a->event(index);
        const int left = xAt(0, index), right = mapper().rightX(e, 0), mid = (left + right) / 2;
        const int top = taskRow(0, e.currentTask) * H + 1; // the bar's top: the gradient's 0.0
        const int bottom = top + H - 3;                    // its 1.0
        const auto colourAt = [&](int y) {
            const qreal at[4] = {0.0, 0.25, 0.5, 1.0};
            const qreal t = (y + 0.5 - top) / (bottom - top); // at the pixel's centre
            int k = 0;
            while (k < 2 && t > at[k + 1])
                ++k;
            const qreal f = (t - at[k]) / (at[k + 1] - at[k]);
            const auto mix = [f](int a, int b) { return qRound(a + (b - a) * f); };
            return QColor(mix(qRed(stops[k]), qRed(stops[k + 1])),
                          mix(qGreen(stops[k]), qGreen(stops[k + 1])),
                          mix(qBlue(stops[k]), qBlue(stops[k + 1])));
        };
        const int tolerance = gradient ? 4 : 0;
        for (int y = top + 1; y < bottom; ++y)
            EXPECT_PIXEL(image, mid, y, colourAt(y), tolerance);
        // Filled up to the right x, framed black from the left x and along the top.
        EXPECT_PIXEL(image, right, top + 8, colourAt(top + 8), tolerance);
        EXPECT_PIXEL(image, left, top + 8, Qt::black, 0);
        EXPECT_PIXEL(image, mid, top, Qt::black, 0);
    }

    void barZoomedFarInStillFillsItsRow_data()
    {
        QTest::addColumn<bool>("levelOfDetail");
        QTest::newRow("with level of detail") << true;
        QTest::newRow("without") << false;
    }

    void barZoomedFarInStillFillsItsRow()
    {
        // At 1.2e7 px/us the right edge of node 1's first bar (0 to 200 us) lies beyond int.
        QFETCH(bool, levelOfDetail);
        const auto restore = qScopeGuard([this, saved = m_scale] { m_scale = saved; });
        m_scale.setLinScale(1.2e7f);
        const int scroll = 1000;
        QCOMPARE(mapper(scroll).rightX(*m_a->event(0), 0), std::numeric_limits<int>::max());
        NodeViewStates states;
        const QImage image = paint(*m_view, states, plainSettings(), false, scroll, pairSize, levelOfDetail);
        EXPECT_PIXEL(image, pairSize.width() / 2, taskRow(0, 2) * H + 9, QColor(0x80, 0xff, 0x80), 0);
    }

    void taskSwitchConnectsThePreviousTask_data()
    {
        QTest::addColumn<int>("index");

        QTest::newRow("up from the row below") << 1;
        QTest::newRow("down to the row below") << 4;
        QTest::newRow("up across a row in between") << 5;
    }

    void taskSwitchConnectsThePreviousTask()
    {
        QFETCH(int, index);

        const QImage image = paintPair(plainSettings());
        const int x = xAt(0, index);
        const int from = taskRow(0, m_a->event(index - 1)->currentTask) * H + 1;
        const int to = taskRow(0, m_a->event(index)->currentTask) * H + 1;
        for (int y = qMin(from, to); y <= qMax(from, to); ++y)
            EXPECT_PIXEL(image, x, y, Qt::black, 0);
        // A line, not a bar: the previous task's row is bare right of it.
        EXPECT_PIXEL(image, x + 2, from + 8, QColor(0xf8, 0xf8, 0xf8), 0);
    }

    void markersSpanTheTaskRows_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("sync");
        QTest::addColumn<bool>("showIcons");
        QTest::addColumn<int>("iconLeft"); // relative to the marker's x
        QTest::addColumn<bool>("icon");

        QTest::newRow("a sync marker in its colour, with its icon when icons are shown")
            << 9 << true << true << -8 << true;
        QTest::newRow("a sync marker without icon when icons are hidden")
            << 9 << true << false << -8 << false;
        QTest::newRow("a user marker in its colour, always with its icon")
            << 10 << false << false << -1 << true;
    }

    void markersSpanTheTaskRows()
    {
        QFETCH(int, index);
        QFETCH(bool, sync);
        QFETCH(bool, showIcons);
        QFETCH(int, iconLeft);
        QFETCH(bool, icon);

        ChartSettings settings = plainSettings();
        settings.showSyncMarkerIcons = showIcons;
        const QColor colour = sync ? settings.syncMarkerColor : settings.userMarkerColor;
        const QImage image = paintPair(settings);
        const int x = xAt(0, index);
        const QRect group = groupRect(0);
        for (int y = group.top() + H; y <= group.bottom() + 1; ++y)
            EXPECT_PIXEL(image, x, y, colour, 0);
        for (const int squareTop : {group.top() + H - 5, group.bottom() + 2}) {
            QCOMPARE(countColour(image, QRect(x - 2, squareTop, 5, 5), colour), 25);
            QVERIFY(image.pixel(x - 3, squareTop + 4) != colour.rgb());
        }
        // The icon's part above the square, on the gray "Tasks" row.
        const QRect iconArea(x + iconLeft, group.top(), 16, H - 5);
        QCOMPARE(countColour(image, iconArea, Qt::gray) < iconArea.width() * iconArea.height(), icon);
    }

    void hubArrowsReachTheHubRow_data()
    {
        QTest::addColumn<int>("node");
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("send");
        QTest::addColumn<bool>("below");

        QTest::newRow("a kernel sending to a hub below points down to it") << 0 << 6 << true << true;
        QTest::newRow("a kernel receiving from a hub below points up from it") << 0 << 7 << false << true;
        QTest::newRow("a kernel sending to a hub of the node above points up to it")
            << 1 << 2 << true << false;
        QTest::newRow("a kernel receiving from a hub of the node above points down from it")
            << 1 << 3 << false << false;
    }

    void hubArrowsReachTheHubRow()
    {
        QFETCH(int, node);
        QFETCH(int, index);
        QFETCH(bool, send);
        QFETCH(bool, below);

        const ChartSettings settings = plainSettings();
        const QColor colour = send ? settings.transmitColor : settings.receiveColor;
        const QImage image = paintPair(settings);
        const int x = xAt(node, index) + int(float(this->node(node)->event(index)->duration) * 0.5f);
        const int top = taskRow(node, 0) * H + 1; // the bar's rectangle
        const int bottom = top + H - 3;
        const int hy = hubRow(0, 1) * H;
        const int start = below ? bottom + 3 : (send ? top - 1 : top); // the line's end at the bar
        const int end = below ? hy + 4 : hy + 14;                      // and in the hub row
        const int tip = send ? end : start;
        const int headY = below ? (send ? hy : bottom + 7) : (send ? hy + 18 : top - 4);
        for (int y = qMin(start, end) + 1; y < qMax(start, end); ++y)
            EXPECT_PIXEL(image, x, y, colour, 0);
        EXPECT_PIXEL(image, x - 2, (headY + tip) / 2, colour, 0);
        EXPECT_PIXEL(image, x + 2, (headY + tip) / 2, colour, 0);
        // The packet's 14 x 8 mark in the hub row.
        QCOMPARE(countColour(image, QRect(x - 7, hy + 5, 14, 8), colour), 14 * 8);
        QVERIFY(image.pixel(x - 8, hy + 8) != colour.rgb());
        QVERIFY(image.pixel(x + 7, hy + 8) != colour.rgb());
    }

    void hubArrowToANodeOutsideTheViewIsNotDrawn()
    {
        ViewRoot alone;
        alone.addViewedNode(m_b);
        alone.setCurrentNode(m_b);
        NodeViewStates states;
        const ChartSettings settings = plainSettings();
        const QImage image = paint(alone, states, settings);
        const int kernelTop = alone.child(0)->child(0)->childById(0)->row() * H;
        for (const int index : {2, 3}) {
            const TraceEvent &e = *m_b->event(index);
            const QRect above(mapper().leftX(e, 0) + int(float(e.duration) * 0.5f) - 7, 0, 14, kernelTop);
            QCOMPARE(countColour(image, above, settings.transmitColor), 0);
            QCOMPARE(countColour(image, above, settings.receiveColor), 0);
        }
    }

    void packetArrowsJoinTheirEvents_data()
    {
        QTest::addColumn<int>("fromNode");
        QTest::addColumn<int>("fromIndex");
        QTest::addColumn<int>("toNode");
        QTest::addColumn<int>("toIndex");
        QTest::addColumn<bool>("head");

        QTest::newRow("a packet sent down to the lower node has its head at the receiver")
            << 0 << 11 << 1 << 5 << true;
        QTest::newRow("a packet sent up to the upper node has its head at the receiver")
            << 1 << 6 << 0 << 12 << true;
        QTest::newRow("a receiver 40 px before its notification joins it along the group row with a head")
            << 1 << 5 << 1 << 7 << true;
        QTest::newRow("a receiver 14 px before its notification joins it without a head")
            << 0 << 12 << 0 << 13 << false;
    }

    void packetArrowsJoinTheirEvents()
    {
        QFETCH(int, fromNode);
        QFETCH(int, fromIndex);
        QFETCH(int, toNode);
        QFETCH(int, toIndex);
        QFETCH(bool, head);

        const ChartSettings settings = plainSettings();
        const QImage image = paintPair(settings);
        // Node 0 is above node 1: lines run from the upper group's bottom to the lower group's top.
        const auto endY = [&](int n, int other) {
            return n == other || n == 1 ? groupRect(n).top() + 15 : groupRect(n).bottom() + 3;
        };
        const QPointF from(xAt(fromNode, fromIndex), endY(fromNode, toNode));
        const QPointF to(xAt(toNode, toIndex), endY(toNode, fromNode));
        const auto syncPixels = [&](const QPointF &p) {
            return countColour(image, QRect(qRound(p.x()) - 1, qRound(p.y()) - 1, 3, 3),
                               settings.syncMarkerColor);
        };
        for (const qreal f : {0.3, 0.5, 0.7})
            QVERIFY2(syncPixels(from + (to - from) * f) > 0,
                     qPrintable(QStringLiteral("no line at %1").arg(f)));
        // The head's two strokes run back from the end at +-20 degrees; look 11 px along each.
        const QPointF back = (from - to) / QLineF(from, to).length();
        int strokes = 0;
        for (const qreal degrees : {20.0, -20.0}) {
            const qreal c = qCos(qDegreesToRadians(degrees)), s = qSin(qDegreesToRadians(degrees));
            strokes +=
                syncPixels(to + QPointF(back.x() * c - back.y() * s, back.x() * s + back.y() * c) * 11.0) > 0;
        }
        QCOMPARE(strokes, head ? 2 : 0);
    }

    void selectionBlendsOverTheRows_data()
    {
        QTest::addColumn<int>("node");
        QTest::addColumn<int>("selFirst");
        QTest::addColumn<int>("selLast");
        QTest::addColumn<int>("time"); // us, on the node's kernel row, which is white
        QTest::addColumn<QColor>("colour");

        const QColor white(Qt::white), current = halfOver(white, Qt::blue);
        QTest::newRow("on the current node it is blue at half opacity") << 0 << 1 << 2 << 250 << current;
        QTest::newRow("taken backwards it covers the same events") << 0 << 2 << 1 << 250 << current;
        QTest::newRow("it ends one pixel after the later event's end") << 0 << 1 << 2 << 401 << white;
        QTest::newRow("on another node it is #9090c0 at half opacity")
            << 1 << 8 << 8 << 1550 << halfOver(white, QColor(0x90, 0x90, 0xc0));
    }

    void selectionBlendsOverTheRows()
    {
        QFETCH(int, node);
        QFETCH(int, selFirst);
        QFETCH(int, selLast);
        QFETCH(int, time);
        QFETCH(QColor, colour);

        ChartSettings settings = plainSettings();
        settings.swimlineSchema = 0;
        NodeViewStates states;
        NodeViewState &record = states[this->node(node)->traceFileName()];
        record.selFirst = selFirst;
        record.selLast = selLast;
        const QImage image = paint(*m_view, states, settings);
        EXPECT_PIXEL(image, xOfTime(node, quint32(time)), taskRow(node, 0) * H + 9, colour, 2);
    }

    void headerModePlacesChartAndLabels_data()
    {
        QTest::addColumn<bool>("external");

        QTest::newRow("the external header holds the labels and shifts the chart 200 px right") << true;
        QTest::newRow("the internal header writes the labels into the rows at the left edge") << false;
    }

    void headerModePlacesChartAndLabels()
    {
        QFETCH(bool, external);

        const QImage image = paintPair(plainSettings(), external);
        const int shift = external ? S : 0;
        const int top = taskRow(0, 1) * H;
        const int x = shift + xAt(0, 1); // the worker's first bar
        EXPECT_PIXEL(image, x - 1, top + 9, QColor(0xf8, 0xf8, 0xf8), 0);
        EXPECT_PIXEL(image, x, top + 9, Qt::black, 0);
        EXPECT_PIXEL(image, x + 5, top + 9, QColor(0x80, 0xff, 0x80), 0);
        // The worker's row is bare at its left end (the logger runs): only a label is dark there.
        const auto dark = [](QRgb p) { return qGray(p) < 96; };
        QCOMPARE(countPixels(image, QRect(shift + 8, top + 4, 52, 12), dark) > 0, !external);
        if (external)
            QVERIFY(countPixels(image, QRect(30, top + 2, 90, 15), dark) > 0);
    }

    void chartRangeIsWrittenForEachNode_data()
    {
        QTest::addColumn<int>("node");
        QTest::addColumn<int>("scroll");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("chartFirst");
        QTest::addColumn<int>("chartEnd");

        QTest::newRow("scrolled: from the event running at the left edge to the first past the right edge")
            << 0 << 650 << 400 << 5 << 10;
        QTest::newRow("scrolled past the node: nothing is visited, the record keeps its defaults")
            << 0 << 2000 << 300 << -1 << 0;
        QTest::newRow("a shifted node scrolled: its event at the left edge is the first")
            << 1 << 200 << 300 << 1 << 5;
    }

    void chartRangeIsWrittenForEachNode()
    {
        QFETCH(int, node);
        QFETCH(int, scroll);
        QFETCH(int, width);
        QFETCH(int, chartFirst);
        QFETCH(int, chartEnd);

        NodeViewStates states;
        paint(*m_view, states, plainSettings(), false, scroll, QSize(width, pairSize.height()));
        const QString file = this->node(node)->traceFileName();
        QVERIFY(states.contains(file));
        QCOMPARE(states.value(file).chartFirst, chartFirst);
        QCOMPARE(states.value(file).chartEnd, chartEnd);
    }

    void rasterTargetOnlyWherePixelsAreCopied_data()
    {
        QTest::addColumn<int>("surface");
        QTest::addColumn<bool>("direct");
        for (const SurfaceRow &row : surfaceRows)
            QTest::newRow(row.name) << int(row.surface) << row.direct;
    }

    void rasterTargetOnlyWherePixelsAreCopied()
    {
        QFETCH(int, surface);
        QFETCH(bool, direct);
        QImage image = makeSurface(Surface(surface));
        QPainter painter(&image);
        prepare(painter, Surface(surface));
        RasterTarget target(painter);
        QCOMPARE(target.available(), direct);
        if (!direct)
            return;
        // Everything is cut to the image; the painter's translation applies.
        const QRgb red = qRgb(255, 0, 0);
        const QRect corner(-20, -20, 30, 25);
        const QRect line(surfaceSize.width() - 12, 100, 1, 10000);
        target.fill(corner, red);
        target.fill(line, red);
        target.point(-9, 50, red);
        target.point(surfaceSize.width() + 5, 50, red);
        target.point(40, 200, red);
        painter.end();
        const QPoint shift = Surface(surface) == Surface::WholePixelShift ? QPoint(7, 3) : QPoint();
        const QRect cornerShown = corner.translated(shift) & image.rect();
        const QRect lineShown = line.translated(shift) & image.rect();
        QCOMPARE(countColour(image, image.rect(), QColor(red)),
                 cornerShown.width() * cornerShown.height() + lineShown.height() + 1);
        QCOMPARE(QColor(image.pixel(cornerShown.bottomRight())), QColor(red));
        QCOMPARE(QColor(image.pixel(lineShown.bottomLeft())), QColor(red));
        QCOMPARE(QColor(image.pixel(QPoint(40, 200) + shift)), QColor(red));
    }

    void fastDrawingKeepsThePictureOnEverySurface_data()
    {
        QTest::addColumn<int>("surface");
        QTest::addColumn<int>("arrowWidth");
        QTest::addColumn<bool>("dashed");
        QTest::addColumn<bool>("gradient");
        for (const SurfaceRow &row : surfaceRows)
            QTest::addRow("%s, flat bars", row.name) << int(row.surface) << 1 << false << false;
        QTest::newRow("a plain 32-bit image, gradient bars") << int(Surface::Plain) << 1 << false << true;
        QTest::newRow("a plain 32-bit image, arrows 2 px wide") << int(Surface::Plain) << 2 << false << false;
        QTest::newRow("a plain 32-bit image, dashed transmit arrows")
            << int(Surface::Plain) << 1 << true << false;
    }

    void fastDrawingKeepsThePictureOnEverySurface()
    {
        QFETCH(int, surface);
        QFETCH(int, arrowWidth);
        QFETCH(bool, dashed);
        QFETCH(bool, gradient);
        storeChartSettings(
            {{"event_bar_filling", gradient ? 1 : 0},
             {"packet_arrow_width", arrowWidth},
             {"packet_transmit_arrow_style", dashed ? QStringLiteral("dashed") : QStringLiteral("solid")}});
        const ChartSettings stored = ChartSettings::read();
        QCOMPARE(stored.arrowWidth, arrowWidth);
        QCOMPARE(stored.transmitStyle, dashed ? Qt::DashLine : Qt::SolidLine);

        const QList<Node *> nodes = m_scenes.value(QStringLiteral("demo"));
        ChartImageOptions options;
        options.catalogue = m_tracer.catalogue();
        options.size = surfaceSize;
        const auto paintOn = [&](bool levelOfDetail) {
            QImage image = makeSurface(Surface(surface));
            QPainter painter(&image);
            prepare(painter, Surface(surface));
            options.levelOfDetail = levelOfDetail;
            paintChartImage(painter, nodes, options);
            return image;
        };
        const QImage fast = paintOn(true);
        const QImage literal = paintOn(false);

        const int differing = differingPixels(fast, literal);
        QVERIFY2(differing == 0, qPrintable(QStringLiteral("%1 pixels differ").arg(differing)));
        if (Surface(surface) == Surface::Clipped) {
            const int outside = fast.width() * fast.height() - surfaceClip.width() * surfaceClip.height();
            QCOMPARE(countColour(fast, fast.rect(), surfaceGround) -
                         countColour(fast, surfaceClip, surfaceGround),
                     outside);
        }
        // The picture has hub arrows (their boxes), drawn in the transmit colour where colours are kept.
        const bool keepsColours =
            std::any_of(std::begin(surfaceRows), std::end(surfaceRows), [surface](const SurfaceRow &row) {
                return int(row.surface) == surface && row.direct;
            });
        if (keepsColours)
            QVERIFY(countColour(fast, fast.rect(), stored.transmitColor) > 50);
    }

    void levelOfDetailKeepsThePicture_data()
    {
        QTest::addColumn<QString>("scene");
        QTest::addColumn<bool>("logMode");
        QTest::addColumn<bool>("external");
        QTest::addColumn<bool>("gradient");
        QTest::addColumn<int>("schema");
        QTest::addColumn<bool>("icons");
        QTest::addColumn<double>("from"); // fraction of the chart's length; negative: fitted
        QTest::addColumn<int>("span");    // us
        QTest::addColumn<int>("height");  // px; the demo's rows go below 600

        const QString dense = QStringLiteral("dense"), demo = QStringLiteral("demo");
        QTest::newRow("dense node fitted, external header, flat")
            << dense << false << true << false << 0 << true << -1.0 << 0 << 1100;
        QTest::newRow("dense node fitted, internal header, gradient, striped")
            << dense << false << false << true << 2 << true << -1.0 << 0 << 1100;
        QTest::newRow("dense node over 300 us, external header, flat, no icons")
            << dense << false << true << false << 1 << false << 0.25 << 300 << 1100;
        QTest::newRow("dense node logarithmic, external header, gradient")
            << dense << true << true << true << 0 << true << -1.0 << 0 << 1100;
        QTest::newRow("dense node logarithmic, internal header, flat, monochrome")
            << dense << true << false << false << 1 << false << -1.0 << 0 << 1100;
        QTest::newRow("clock stepping back, fitted, gradient")
            << QStringLiteral("stepping") << false << true << true << 0 << true << -1.0 << 0 << 1100;
        QTest::newRow("clock stepping back, logarithmic, flat")
            << QStringLiteral("stepping") << true << false << false << 0 << true << -1.0 << 0 << 1100;
        QTest::newRow("demo nodes fitted, internal header, gradient, striped")
            << demo << false << false << true << 2 << true << -1.0 << 0 << 1100;
        QTest::newRow("demo nodes over 3000 us, external header, gradient")
            << demo << false << true << true << 0 << true << 0.5 << 3000 << 1100;
        QTest::newRow("demo nodes over 300 us, internal header, flat")
            << demo << false << false << false << 0 << true << 0.3 << 300 << 1100;
        // Rows below the edge are not drawn: nothing in them may hide the rows above.
        QTest::newRow("demo nodes fitted, cut off at the bottom edge")
            << demo << false << true << false << 0 << true << -1.0 << 0 << 600;
    }

    void levelOfDetailKeepsThePicture()
    {
        QFETCH(QString, scene);
        QFETCH(bool, logMode);
        QFETCH(bool, external);
        QFETCH(bool, gradient);
        QFETCH(int, schema);
        QFETCH(bool, icons);
        QFETCH(double, from);
        QFETCH(int, span);
        QFETCH(int, height);

        storeChartSettings(
            {{"event_bar_filling", gradient ? 1 : 0},
             {"node_swimlines_schema", schema},
             {"show_syncmarker_icons", icons ? QStringLiteral("show") : QStringLiteral("hide")}});
        const ChartSettings stored = ChartSettings::read();
        QCOMPARE(stored.gradientBars, gradient);
        QCOMPARE(stored.swimlineSchema, schema);
        QCOMPARE(stored.showSyncMarkerIcons, icons);

        const QList<Node *> nodes = m_scenes.value(scene);
        ChartImageOptions options;
        options.catalogue = m_tracer.catalogue();
        options.size = QSize(1600, height);
        options.logMode = logMode;
        options.externalHeader = external;
        if (from >= 0.0) {
            ViewRoot aligned;
            for (Node *n : nodes)
                aligned.addViewedNode(n);
            options.hasRange = true;
            options.from = qint64(from * aligned.lengthLin());
            options.to = options.from + span;
        }
        options.levelOfDetail = true;
        const QImage detailed = renderChartImage(nodes, options);
        options.levelOfDetail = false;
        const QImage full = renderChartImage(nodes, options);

        QCOMPARE(detailed.size(), full.size());
        // Black bar frames and connectors right of both headers, below the first node row.
        const int frames =
            countColour(full, QRect(S, 2 * H, full.width() - S, full.height() - 2 * H), Qt::black);
        QVERIFY2(frames > 100, qPrintable(QStringLiteral("only %1 black pixels: no bars").arg(frames)));
        const int differing = differingPixels(detailed, full);
        QVERIFY2(differing == 0, qPrintable(QStringLiteral("%1 pixels differ").arg(differing)));
    }
};

QTEST_MAIN(TestChartRenderer)
#include "tst_chartrenderer.moc"
