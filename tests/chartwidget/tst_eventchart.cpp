#include "chart/axistime.h"
#include "chart/chartmapper.h"
#include "chart/chartmetrics.h"
#include "chart/chartstyle.h"
#include "chart/overviewpainter.h"
#include "chart/rulerpainter.h"
#include "chart/timeruler.h"
#include "chartfixture.h"
#include "testsupport.h"
#include "trace/node.h"
#include "tracefixture.h"
#include "views/chartmarks.h"
#include "views/chartoverview.h"
#include "views/chartpicture.h"
#include "views/chartruler.h"
#include "views/eventchart.h"
#include "views/eventchartcanvas.h"
#include "views/eventtooltip.h"

#include <QClipboard>
#include <QMenu>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QToolTip>
#include <QtTest>

#include <cmath>
#include <tuple>

using TraceFixture::eventXml;

namespace {

constexpr int RowHeight = ChartMetrics::rowHeight;
using Sel = QPair<int, int>; // selFirst, selLast

// A press on a row of node 1 or 2 (node 1 current before it) at a time in us, maybe a drag to a row of
// node moveNode at moveTime, and what it leaves.
struct Press
{
    int node;
    const char *row; // see TestEventChart::pointAt
    double time;
    Sel before; // the pressed node's selection before and after
    Sel after;
    int dragMode; // while the button is down
    int reports;  // of the selection, the last one `after`
    int moveNode = 0;
    double moveTime = 0;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    Qt::MouseButton button = Qt::LeftButton;
};

// The state of the last report, or NoReport.
constexpr int NoReport = -1;
int lastState(const QSignalSpy &spy)
{
    return spy.isEmpty() ? NoReport : int(spy.last().at(0).value<EventChart::EventChartState>());
}

} // namespace

Q_DECLARE_METATYPE(Press)

class TestEventChart : public QObject, public ChartFixture
{
    Q_OBJECT

private:
    Qt::CursorShape m_panCursor = Qt::ArrowCursor; // while the last pan's button was down

    ViewNode *viewNode(const Node *node) const
    {
        return static_cast<ViewNode *>(m_root->childById(node->nodeId()));
    }

    // "node", "tasks", "hubs", "task<id>" or "hub<id>" of `node`.
    ViewItem *row(const Node *node, const QString &name) const
    {
        ViewNode *item = viewNode(node);
        if (name == QLatin1String("node"))
            return item;
        ViewItem *train = name.startsWith(QLatin1String("hub")) ? static_cast<ViewItem *>(item->hubTrain())
                                                                : item->taskTrain();
        return name.endsWith(QLatin1Char('s')) ? train : train->childById(name.back().digitValue());
    }

    int hValue() const { return m_chart->horizontalScrollBar()->value(); }

    // Whether time t (us) is drawn within a pixel of viewport column x.
    bool drawsAt(int x, double t) const
    {
        return std::abs(m_chart->timeAtViewportX(x) - t) * m_chart->scale() <= 1.0;
    }
    // Whether the rows right of the header show from `from` to `to` (us), to a pixel.
    bool fits(double from, double to) const
    {
        return drawsAt(ChartMetrics::headerWidth, from) && drawsAt(m_chart->viewport()->width() - 3, to);
    }

    // The viewport point on `name`'s row of `node` (see row(); "below" the first row under every one)
    // less than a pixel left of time t (us or log units).
    QPoint pointAt(const Node *node, const QString &name, double t) const
    {
        const int rowNumber = name == QLatin1String("below") ? ViewRoot::visibleRowCount(m_root.get()) + 1
                                                             : row(node, name)->row();
        const double shift = m_chart->isLinearMode() ? viewNode(node)->shift() : 0;
        const int header = m_tracer.externalHeader() ? ChartMetrics::headerWidth : 0; // not the chart's own
        const double x = header + (t + shift) * m_chart->scale() - hValue();
        return QPoint(int(std::floor(x)), rowNumber * RowHeight - m_chart->verticalScrollBar()->value() + 9);
    }

    QWidget *canvas() const { return m_chart->canvas(); }

    void press(const QPoint &at) { QTest::mousePress(canvas(), Qt::LeftButton, Qt::NoModifier, at); }
    void release(const QPoint &at) { QTest::mouseRelease(canvas(), Qt::LeftButton, Qt::NoModifier, at); }
    void moveTo(const QPoint &at, Qt::MouseButtons buttons)
    {
        QMouseEvent event(QEvent::MouseMove, at, canvas()->mapToGlobal(at), Qt::NoButton, buttons,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(canvas(), &event);
    }

    Sel selectionOf(const Node *node) { return Sel(stateOf(node).selFirst, stateOf(node).selLast); }

    // Sends one gesture of navigationInputMovesTheView at viewport point `at`.
    void perform(const QString &gesture, const QPoint &at)
    {
        const QPoint drag(40, 12);
        if (gesture.contains(QLatin1String("wheel"))) {
            const bool overRuler = gesture.startsWith(QLatin1String("ruler"));
            QWidget *target = overRuler ? static_cast<QWidget *>(m_chart->ruler()) : m_chart->viewport();
            const QPoint position = overRuler ? QPoint(at.x(), 5) : at;
            const Qt::KeyboardModifiers modifiers =
                gesture.startsWith(QLatin1String("ctrl"))    ? Qt::ControlModifier
                : gesture.startsWith(QLatin1String("shift")) ? Qt::ShiftModifier
                                                             : Qt::NoModifier;
            const int delta = gesture.endsWith(QLatin1Char('+')) ? 120 : -120;
            // A sideways wheel turns only the x angle.
            const QPoint angle =
                gesture.contains(QLatin1String("sideways")) ? QPoint(delta, 0) : QPoint(0, delta);
            QWheelEvent wheel(position, target->mapToGlobal(position), QPoint(), angle, Qt::NoButton,
                              modifiers, Qt::NoScrollPhase, false);
            QApplication::sendEvent(target, &wheel);
        } else if (gesture == QLatin1String("pinch")) {
            QNativeGestureEvent pinch(Qt::ZoomNativeGesture, QPointingDevice::primaryPointingDevice(), 2, at,
                                      at, canvas()->mapToGlobal(at), 0.25, QPointF());
            QApplication::sendEvent(canvas(), &pinch);
        } else if (gesture == QLatin1String("middle") || gesture == QLatin1String("space")) {
            const Qt::MouseButton button =
                gesture == QLatin1String("middle") ? Qt::MiddleButton : Qt::LeftButton;
            if (button == Qt::LeftButton)
                QTest::keyPress(m_chart.get(), Qt::Key_Space);
            QTest::mousePress(canvas(), button, Qt::NoModifier, at);
            m_panCursor = canvas()->cursor().shape();
            moveTo(at + drag, button);
            QTest::mouseRelease(canvas(), button, Qt::NoModifier, at + drag);
            if (button == Qt::LeftButton)
                QTest::keyRelease(m_chart.get(), Qt::Key_Space);
        } else {
            QTest::keyClick(m_chart.get(), QKeySequence(gesture)[0].key());
        }
    }

private slots:
    void initTestCase() { QVERIFY(loadNodes()); }

    void init()
    {
        m_tracer.setExternalHeader(true);
        TestSupport::settingsStore().clear();
        QToolTip::hideText();
    }

    void pressOnARowSelectsOrStartsADrag_data()
    {
        QTest::addColumn<Press>("press");
        const int selecting = EventChart::SELECTING_EVENTS;
        const int none = EventChart::NO_DRAG;
        const Sel nothing(-1, -1);
        QTest::newRow("a press on an event of a task row selects that event and starts selecting")
            << Press{1, "task1", 150, nothing, Sel(1, 1), selecting, 1};
        QTest::newRow("a press on a task row selects the event there whichever task ran it")
            << Press{1, "task1", 750, nothing, Sel(4, 4), selecting, 1};
        QTest::newRow("a press on a hub row selects the event there and starts selecting")
            << Press{1, "hub1", 350, Sel(0, 0), Sel(2, 2), selecting, 1};
        QTest::newRow("a shift-press keeps the selection start and moves its end")
            << Press{1, "task2", 750, Sel(1, 1), Sel(1, 4), selecting, 1, 0, 0, Qt::ShiftModifier};
        QTest::newRow("a press left of the node's first event clears the start and keeps the end")
            << Press{1, "task1", -50, Sel(2, 4), Sel(-1, 4), selecting, 1};
        QTest::newRow("a press on the tasks row starts selecting without a selection")
            << Press{1, "tasks", 150, nothing, nothing, selecting, 0};

        QTest::newRow("a press on a node row starts moving the node with a closed hand")
            << Press{1, "node", 150, nothing, nothing, int(EventChart::MOVING_NODE), 0};
        QTest::newRow("a press on another node's task row makes it current and selects there")
            << Press{2, "task1", 250, nothing, Sel(1, 1), selecting, 1};
        QTest::newRow("a right-button press does nothing")
            << Press{1, "task1", 150, nothing, nothing, none, 0, 0, 0, {}, Qt::RightButton};
        QTest::newRow("a press below every row does nothing")
            << Press{1, "below", 150, nothing, nothing, none, 0};
        QTest::newRow("dragging left of the node's start ends the selection at its first event")
            << Press{1, "task1", 750, nothing, Sel(4, 0), selecting, 2, 1, -100};

        QTest::newRow("dragging over another node's rows selects in the pressed node")
            << Press{1, "task1", 750, nothing, Sel(4, 2), selecting, 2, 2, 350};
        QTest::newRow("a drag that began left of the node's start selects nothing")
            << Press{1, "task1", -50, nothing, nothing, selecting, 1, 1, 150};
    }

    void pressOnARowSelectsOrStartsADrag()
    {
        QFETCH(Press, press);
        QVERIFY(makeChart({m_first, m_second}, m_first));
        Node *const pressed = press.node == 1 ? m_first : m_second;
        std::tie(stateOf(pressed).selFirst, stateOf(pressed).selLast) = press.before;
        QSignalSpy selection(m_chart.get(), &EventChart::selectionWasChanged);
        QSignalSpy current(m_root.get(), &ViewRoot::currentNodeWasChanged);

        const QPoint at = pointAt(pressed, QString::fromLatin1(press.row), press.time);
        const bool moving = press.dragMode == EventChart::MOVING_NODE;
        QTest::mousePress(canvas(), press.button, press.modifiers, at);
        QCOMPARE(int(m_chart->dragMode()), press.dragMode);
        QCOMPARE(m_chart->dragItem(), press.dragMode == EventChart::NO_DRAG ? nullptr : viewNode(pressed));
        QCOMPARE(canvas()->cursor().shape(), moving ? Qt::ClosedHandCursor : Qt::ArrowCursor);
        if (press.moveNode > 0)
            moveTo(pointAt(press.moveNode == 1 ? m_first : m_second, QStringLiteral("task1"), press.moveTime),
                   press.button);
        QTest::mouseRelease(canvas(), press.button, Qt::NoModifier, at);
        QCOMPARE(int(m_chart->dragMode()), int(EventChart::NO_DRAG));
        QVERIFY(!m_chart->dragItem());
        QCOMPARE(canvas()->cursor().shape(), moving ? Qt::OpenHandCursor : Qt::ArrowCursor);

        QCOMPARE(selectionOf(pressed), press.after);
        QCOMPARE(selectionOf(pressed == m_first ? m_second : m_first), Sel(-1, -1));
        QCOMPARE(selection.count(), press.reports);
        if (press.reports > 0)
            QCOMPARE(selection.last(), QVariantList({press.after.first, press.after.second}));
        QCOMPARE(m_root->currentNode(), pressed);
        QCOMPARE(current.count(), pressed == m_first ? 0 : 1);
    }

    void draggingNodeRowMovesItsTimeAxisUntilDoubleClicked_data()
    {
        QTest::addColumn<QList<int>>("moves"); // pixels right of the press point, in order
        QTest::addColumn<int>("shift");        // of the dragged node; the other stays

        QTest::newRow("moving right shifts only the dragged node") << QList<int>{200} << 200;
        QTest::newRow("moving left and then right does not carry the normalisation over")
            << QList<int>{-150, 50} << 50;
    }

    void draggingNodeRowMovesItsTimeAxisUntilDoubleClicked()
    {
        QFETCH(QList<int>, moves);
        QFETCH(int, shift);

        QVERIFY(makeChart({m_first, m_second}, m_first));
        QCOMPARE(m_chart->scale(), 1.0f);
        QSignalSpy state(m_chart.get(), &EventChart::eventChartStateChanged);
        const QPoint pressed = pointAt(m_second, QStringLiteral("node"), 300);
        press(pressed);
        for (const int dx : std::as_const(moves))
            moveTo(pressed + QPoint(dx, 0), Qt::LeftButton);
        QCOMPARE(canvas()->cursor().shape(), Qt::ClosedHandCursor);
        release(pressed + QPoint(moves.last(), 0));

        const int length = qMax(1000, 500 + shift);
        const auto axes = [this] {
            return QList<int>({viewNode(m_first)->shift(), viewNode(m_second)->shift(), m_root->lengthLin()});
        };
        QCOMPARE(axes(), QList<int>({0, shift, length}));
        QCOMPARE(canvas()->width(), length + 200 + 3);
        QCOMPARE(lastState(state), int(EventChart::LAYOUT_CHANGED));

        // A double click on a task row keeps the drags, one on a node row undoes them.
        for (const QString &rowName : {QStringLiteral("task1"), QStringLiteral("node")}) {
            state.clear();
            const QPoint at = pointAt(m_first, rowName, 150);
            QTest::mouseDClick(canvas(), Qt::LeftButton, Qt::NoModifier, at);
            release(at);
            const bool undone = rowName == QLatin1String("node");
            QCOMPARE(axes(), undone ? QList<int>({0, 0, 1000}) : QList<int>({0, shift, length}));
            QCOMPARE(canvas()->width(), m_root->lengthLin() + 203);
            QCOMPARE(state.isEmpty(), !undone);
        }
    }

    void hoverSetsCursorAndTooltip_data()
    {
        QTest::addColumn<QString>("rowName");
        QTest::addColumn<double>("time");
        QTest::addColumn<bool>("externalHeader");
        QTest::addColumn<int>("tooltipEvent"); // -1: hidden

        QTest::newRow("over an event of the row's task the tooltip describes it")
            << "task1" << 350.0 << true << 2;
        QTest::newRow("over another task's event on a task row the tooltip goes")
            << "task1" << 750.0 << true << -1;
        QTest::newRow("over a hub row the tooltip goes") << "hub1" << 350.0 << true << -1;
        QTest::newRow("over a node row the hand opens and the tooltip goes") << "node" << 350.0 << true << -1;

        QTest::newRow("over the external header nothing changes") << "node" << -120.0 << true << 1;
        QTest::newRow("with the internal header the leftmost pixels show tooltips too")
            << "task1" << 50.0 << false << 0;
    }

    void hoverSetsCursorAndTooltip()
    {
        QFETCH(QString, rowName);
        QFETCH(double, time);
        QFETCH(bool, externalHeader);
        QFETCH(int, tooltipEvent);

        m_tracer.setExternalHeader(externalHeader);
        QVERIFY(makeChart({m_first, m_second}, m_first));
        moveTo(pointAt(m_first, QStringLiteral("task1"), 150), Qt::NoButton);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), eventTooltipHtml(*m_first, 1));

        moveTo(pointAt(m_first, rowName, time), Qt::NoButton);
        const bool overNode = rowName == QLatin1String("node") && time >= 0;
        QCOMPARE(canvas()->cursor().shape(), overNode ? Qt::OpenHandCursor : Qt::ArrowCursor);
        if (tooltipEvent < 0) {
            QTRY_VERIFY(!QToolTip::isVisible());
        } else {
            QVERIFY(QToolTip::isVisible());
            QCOMPARE(QToolTip::text(), eventTooltipHtml(*m_first, tooltipEvent));
        }
    }

    void eventAtFindsTheEventHoldingThePaintedTime_data()
    {
        QTest::addColumn<QByteArray>("events"); // of a node of its own; empty: node 1
        QTest::addColumn<bool>("linear");
        QTest::addColumn<Sel>("range"); // chartFirst, chartEnd
        QTest::addColumn<bool>("inOrder");
        QTest::addColumn<double>("time");
        QTest::addColumn<int>("event");

        const Sel painted(0, 5);
        QTest::newRow("linear times are truncated to whole microseconds")
            << QByteArray() << true << painted << true << 99.9 << 0;
        QTest::newRow("the last event, without duration, is never hit")
            << QByteArray() << true << Sel(0, 6) << true << 1000.0 << -1;
        QTest::newRow("the search stops before the painted end")
            << QByteArray() << true << Sel(0, 2) << true << 350.0 << -1;
        QTest::newRow("logarithmic positions inside an event are not truncated")
            << QByteArray() << false << painted << true << 4.7 << 1;
        QTest::newRow("a logarithmic position before an event's start is not in it")
            << QByteArray() << false << painted << true << 4.5 << 0;

        // 1 holds 100 to 300 around the marker 2; the marker 4 shares 3's start.
        const QByteArray marked = eventXml(0, 0, 0, 1) + eventXml(1, 100) + eventXml(16, 150, 0x10001) +
                                  eventXml(1, 300) + eventXml(16, 300, 0x10001) + eventXml(1, 400) +
                                  eventXml(1, 500);
        QTest::newRow("a marker holds no time: the event before it holds the time after it")
            << marked << true << Sel(0, 7) << true << 160.0 << 1;
        QTest::newRow("at a marker's own time the event before it holds it")
            << marked << true << Sel(0, 7) << true << 150.0 << 1;
        QTest::newRow("an event and a marker at one time: the event holds it")
            << marked << true << Sel(0, 7) << true << 300.0 << 3;
        QTest::newRow("the event holding the time lies before the painted range: none")
            << marked << true << Sel(2, 7) << true << 160.0 << -1;
        // Event 2 steps back to 50: the clock is out of order and every event is tried.
        QTest::newRow("a clock stepping back: the first event holding the time")
            << eventXml(0, 0, 0, 1) + eventXml(1, 100) + eventXml(1, 50) + eventXml(1, 200) + eventXml(1, 300)
            << true << Sel(0, 5) << false << 60.0 << 0;
    }

    void eventAtFindsTheEventHoldingThePaintedTime()
    {
        QFETCH(QByteArray, events);
        QFETCH(bool, linear);
        QFETCH(Sel, range);
        QFETCH(double, time);

        // A project takes a node id once.
        static int nodeId = 10;
        const QByteArray trace =
            TraceFixture::traceFile(++nodeId, "<tasks><task id=\"1\" name=\"A\"/></tasks>\n", events);
        Node *node = events.isEmpty()
                         ? m_first
                         : m_tracer.load(QStringLiteral("holding"), QString::number(nodeId), trace);
        QVERIFY(node);
        QTEST(node->inTimeOrder(), "inOrder");
        QVERIFY(makeChart({node}, node));
        m_chart->setLinearMode(linear);
        m_chart->viewport()->repaint();
        // The last event lies on the row's right end, beyond its last pixel.
        if (node == m_first)
            QCOMPARE(Sel(stateOf(node).chartFirst, stateOf(node).chartEnd), Sel(0, 5));
        std::tie(stateOf(node).chartFirst, stateOf(node).chartEnd) = range;
        QTEST(m_chart->eventAt(node, float(time), -1), "event");
        // Neither a node the chart does not show nor none at all has events to find.
        QVERIFY(m_chart->eventAt(m_second, 250.0f, -1) == -1 && m_chart->eventAt(nullptr, 250.0f, -1) == -1);
    }

    // Without synchronisation nothing is reported: see listScrollMovesChartWithoutEcho.
    void chartScrollReportsFirstEventOfCurrentNode_data()
    {
        QTest::addColumn<bool>("secondIsCurrent");
        QTest::addColumn<double>("time");    // of the scroll value
        QTest::addColumn<int>("firstEvent"); // -1: nothing is reported

        QTest::newRow("scrolling to an event's start reports it") << false << 600.0 << 3;
        QTest::newRow("scrolling into the current node's event reports it") << true << 250.0 << 1;
        QTest::newRow("scrolling past the current node's last event, within another node, reports nothing")
            << true << 800.0 << -1;
    }

    void chartScrollReportsFirstEventOfCurrentNode()
    {
        QFETCH(bool, secondIsCurrent);
        QFETCH(double, time);
        QFETCH(int, firstEvent);

        QVERIFY(makeChart({m_first, m_second}, secondIsCurrent ? m_second : m_first));
        m_chart->zoomAt(10, 0);
        m_chart->setSynchronized(true);
        QSignalSpy scrolled(m_chart.get(), &EventChart::eventChartScrolled);
        const int value = int(std::ceil(time * m_chart->scale()));
        QVERIFY(value <= m_chart->horizontalScrollBar()->maximum());
        m_chart->horizontalScrollBar()->setValue(value);
        QCOMPARE(static_cast<QList<QVariantList> &>(scrolled),
                 firstEvent < 0 ? QList<QVariantList>() : QList<QVariantList>{{firstEvent}});
        QCOMPARE(canvas()->pos(), QPoint(0, 0));
    }

    void listScrollMovesChartWithoutEcho_data()
    {
        QTest::addColumn<int>("zoomSteps");
        QTest::addColumn<int>("startEvent"); // the event at the chart's left edge; -1: the end
        QTest::addColumn<int>("firstEvent");
        QTest::addColumn<bool>("synchronized");
        QTest::addColumn<bool>("moves");

        QTest::newRow("a list scroll back to an earlier event moves the chart back")
            << 10 << 4 << 1 << true << true;

        QTest::newRow("a list scroll within a node the chart shows whole leaves the chart")
            << 0 << 0 << 3 << true << false;
        QTest::newRow("a list scroll to the event the last paint did not reach, past the header's width, "
                      "moves the chart")
            << 1 << 0 << 5 << true << true;
        QTest::newRow("a list scroll to an event past the chart's end leaves the chart")
            << 10 << -1 << 5 << true << false;
        QTest::newRow("a list scroll before the first painted event moves the chart, though its end shows")
            << 10 << -1 << 0 << true << true;

        QTest::newRow("a list scroll without synchronisation leaves the chart")
            << 10 << 0 << 3 << false << false;
    }

    void listScrollMovesChartWithoutEcho()
    {
        QFETCH(int, zoomSteps);
        QFETCH(int, startEvent);
        QFETCH(int, firstEvent);
        QFETCH(bool, synchronized);
        QFETCH(bool, moves);

        QVERIFY(makeChart({m_first}, m_first));
        m_chart->zoomAt(zoomSteps, 0);
        QScrollBar *bar = m_chart->horizontalScrollBar();
        const auto leftOf = [this](int event) {
            return int(float(m_first->event(event)->offset) * m_chart->scale());
        };
        bar->setValue(startEvent < 0 ? bar->maximum() : leftOf(startEvent));
        m_chart->viewport()->repaint();
        m_chart->setSynchronized(synchronized);
        const int expected = moves ? qMin(leftOf(firstEvent), bar->maximum()) : bar->value();
        QSignalSpy scrolled(m_chart.get(), &EventChart::eventChartScrolled);

        m_chart->on_eventListScrolled(firstEvent);
        QCOMPARE(bar->value(), expected);
        QVERIFY(scrolled.isEmpty());

        // The echo of the list's scroll is swallowed, the user's next one is not.
        if (bar->maximum() > 0) {
            bar->setValue(expected > 0 ? expected - 1 : 1);
            QCOMPARE(scrolled.count(), synchronized ? 1 : 0);
        }
    }

    void selectionFromOutside_data()
    {
        QTest::addColumn<Sel>("sel");
        QTest::addColumn<bool>("stored");

        QTest::newRow("the same selection in reverse order causes no repaint") << Sel(4, 2) << false;
        QTest::newRow("another selection is stored and painted") << Sel(1, 3) << true;
    }

    void selectionFromOutside()
    {
        QFETCH(Sel, sel);
        QFETCH(bool, stored);

        QVERIFY(makeChart({m_first, m_second}, m_first));
        std::tie(stateOf(m_first).selFirst, stateOf(m_first).selLast) = Sel(2, 4);
        QCoreApplication::processEvents();
        // A paint records the painted event range again.
        stateOf(m_first).chartFirst = -7;
        QSignalSpy selection(m_chart.get(), &EventChart::selectionWasChanged);

        m_chart->on_selectionWasChangedOutside(sel.first, sel.second);
        QCOMPARE(selectionOf(m_first), stored ? sel : Sel(2, 4));
        QCoreApplication::processEvents();
        if (stored)
            QTRY_COMPARE(stateOf(m_first).chartFirst, 0);
        else
            QCOMPARE(stateOf(m_first).chartFirst, -7);
        QVERIFY(selection.isEmpty());
        QCOMPARE(stateOf(m_second).selFirst, -1);
    }

    void nothingHappensBeforeAnyNodeIsCurrent()
    {
        QVERIFY(makeChart({m_first}, nullptr));
        m_chart->zoomAt(10, 0);
        m_chart->viewport()->repaint();
        QSignalSpy scrolled(m_chart.get(), &EventChart::eventChartScrolled);
        QSignalSpy selection(m_chart.get(), &EventChart::selectionWasChanged);

        moveTo(pointAt(m_first, QStringLiteral("task1"), 50), Qt::NoButton);
        QVERIFY(!QToolTip::isVisible());
        m_chart->horizontalScrollBar()->setValue(100);
        QVERIFY(scrolled.isEmpty());
        m_chart->on_eventListScrolled(3);
        QCOMPARE(m_chart->horizontalScrollBar()->value(), 100);
        m_chart->on_selectionWasChangedOutside(1, 2);
        press(pointAt(m_first, QStringLiteral("task1"), 50));
        QVERIFY(m_chart->dragMode() == EventChart::NO_DRAG && !m_root->currentNode());
        QVERIFY(stateOf(m_first).selFirst == -1 && selection.isEmpty());
    }

    void settingNotificationRereadsOnlyItsSetting()
    {
        QVERIFY(makeChart({m_first}, m_first));
        QSignalSpy state(m_chart.get(), &EventChart::eventChartStateChanged);
        QSettings store = TestSupport::settingsStore();
        store.setValue(QStringLiteral("settings/packet_arrow_width"), 3);
        store.setValue(QStringLiteral("settings/usermarker_color"), 0x222222u); // stored, never announced
        store.sync();
        // A key the chart does not use changes nothing and causes no relayout; its own key is taken up.
        m_tracer.updateSettings({QStringLiteral("recent_nodes_max_count")});
        QVERIFY(m_chart->renderer().settings() == ChartSettings() && state.isEmpty());
        m_tracer.updateSettings({QStringLiteral("packet_arrow_width")});
        ChartSettings expected;
        expected.arrowWidth = 3;
        QVERIFY(m_chart->renderer().settings() == expected);
        QCOMPARE(lastState(state), int(EventChart::LAYOUT_CHANGED));
        // A new chart reads every setting.
        const EventChart fresh(m_root.get(), &m_states, QString());
        QCOMPARE(fresh.renderer().settings().userMarkerColor, QColor(QRgb(0x222222)));
    }

    // A paint of the chart's rows by a renderer of its own, with nothing kept.
    QImage freshPicture() const
    {
        ChartRenderer renderer;
        renderer.setSettings(m_chart->renderer().settings());
        NodeViewStates states = m_states;
        const ChartRenderer::Frame frame = m_chart->frame();
        QImage image(frame.viewport, QImage::Format_RGB32);
        QPainter painter(&image);
        renderer.paint(painter, *m_root, states, image.rect(), frame);
        return image;
    }

    void change(const QString &what)
    {
        QScrollBar *across = m_chart->horizontalScrollBar();
        QScrollBar *down = m_chart->verticalScrollBar();
        QSettings store = TestSupport::settingsStore();
        if (what == QLatin1String("click")) {
            press(pointAt(m_first, QStringLiteral("task1"), 150));
            release(pointAt(m_first, QStringLiteral("task1"), 150));
        } else if (what == QLatin1String("other node")) {
            press(pointAt(m_second, QStringLiteral("task1"), 250));
            release(pointAt(m_second, QStringLiteral("task1"), 250));
        } else if (what == QLatin1String("list range")) {
            std::tie(stateOf(m_first).listFirst, stateOf(m_first).listLast) = Sel(3, 4);
            m_chart->viewport()->update();
        } else if (what == QLatin1String("cursor")) {
            m_chart->marks()->setCursorAt(ChartMarks::CURSOR_A, 300, true);
        } else if (what == QLatin1String("zoom")) {
            m_chart->zoomAt(1, 300);
        } else if (what == QLatin1String("scroll")) {
            across->setValue(across->value() + 30);
            down->setValue(down->value() + RowHeight);
        } else if (what == QLatin1String("resize")) {
            m_chart->resize(m_chart->size() - QSize(60, 0));
        } else if (what == QLatin1String("setting")) {
            store.setValue(QStringLiteral("settings/node_swimlines_schema"), 2);
            m_tracer.updateSettings({QStringLiteral("node_swimlines_schema")});
        } else if (what == QLatin1String("shift")) {
            const QPoint at = pointAt(m_second, QStringLiteral("node"), 100);
            press(at);
            moveTo(at + QPoint(25, 0), Qt::LeftButton);
            release(at + QPoint(25, 0));
        } else if (what == QLatin1String("mode")) {
            m_chart->setLinearMode(false);
        } else if (what == QLatin1String("header")) {
            m_tracer.setExternalHeader(false);
            m_chart->viewport()->update();
        }
    }

    void keptPictureIsWhatAFreshPaintShows_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<int>("update"); // ChartPicture::Update

        const int overlays = ChartPicture::OVERLAYS_REDRAWN;
        const int painted = ChartPicture::PAINTED;
        QTest::newRow("a click on another event redraws only the overlays") << "click" << overlays;
        QTest::newRow("a click that makes another node current redraws only the overlays")
            << "other node" << overlays;
        QTest::newRow("a scroll of the list redraws only the hatching") << "list range" << overlays;
        QTest::newRow("a cursor is drawn over the picture kept") << "cursor" << int(ChartPicture::REUSED);
        QTest::newRow("a zoom paints the rows") << "zoom" << painted;
        QTest::newRow("a scroll across and down paints the rows") << "scroll" << painted;
        QTest::newRow("a resize paints the rows") << "resize" << painted;
        QTest::newRow("a settings change paints the rows") << "setting" << painted;
        QTest::newRow("a node's time axis moved paints the rows") << "shift" << painted;
        QTest::newRow("the logarithmic mode paints the rows") << "mode" << painted;
        QTest::newRow("the header moved inside paints the rows") << "header" << painted;
    }

    void keptPictureIsWhatAFreshPaintShows()
    {
        QFETCH(QString, what);
        QFETCH(int, update);
        QVERIFY(makeChart({m_first, m_second}, m_first, QSize(900, 150)));
        std::tie(stateOf(m_first).selFirst, stateOf(m_first).selLast) = Sel(2, 4);
        std::tie(stateOf(m_first).listFirst, stateOf(m_first).listLast) = Sel(1, 2);
        m_chart->zoomAt(1, 300);
        m_chart->viewport()->repaint();
        const QImage before = m_chart->picture().image().copy();

        change(what);
        m_chart->viewport()->repaint();
        QCOMPARE(int(m_chart->picture().lastUpdate()), update);
        // Each change but the cursor's shows in the rows: a stale picture would not.
        QCOMPARE(m_chart->picture().image() == before, update == ChartPicture::REUSED);
        QCOMPARE(m_chart->picture().image(), freshPicture());
    }

    void rulerFollowsTheRowsAcrossButNotDown_data()
    {
        QTest::addColumn<bool>("linear");
        QTest::addColumn<int>("zoomSteps");
        QTest::addColumn<int>("scroll"); // horizontal, pixels
        QTest::addColumn<int>("dy");     // vertical scroll after it, pixels
        QTest::addColumn<bool>("overview");

        QTest::newRow("a horizontal scroll carries the ticks with the rows")
            << true << 10 << 333 << 0 << true;
        QTest::newRow("a vertical scroll leaves the ruler as it was, the overview hidden")
            << true << 10 << 333 << 2 * RowHeight << false;
        QTest::newRow("in logarithmic mode the ticks read the current node's times")
            << false << 3 << 50 << 0 << true;
    }

    void rulerFollowsTheRowsAcrossButNotDown()
    {
        QFETCH(bool, linear);
        QFETCH(int, zoomSteps);
        QFETCH(int, scroll);
        QFETCH(int, dy);
        QFETCH(bool, overview);

        QVERIFY(makeChart({m_first, m_second}, m_second, QSize(900, 120)));
        // As the settings dialog or the Navigate group's toggle leaves it.
        TestSupport::settingsStore().setValue(QStringLiteral("settings/show_overview"),
                                              QLatin1String(overview ? "show" : "hide"));
        m_chart->on_settingsUpdatingNotify(QStringLiteral("show_overview"));
        QCOMPARE(m_chart->overview()->isVisibleTo(m_chart.get()), overview);
        m_chart->setLinearMode(linear);
        m_chart->zoomAt(zoomSteps, 0);
        QWidget *ruler = m_chart->ruler();
        // Shown once zoomed, so that the scroll has to repaint the ruler on its own.
        if (shownPixels(ruler).isNull())
            QSKIP("the platform cannot grab a window");
        m_chart->horizontalScrollBar()->setValue(scroll);
        QCOMPARE(hValue(), scroll);
        m_chart->verticalScrollBar()->setValue(dy);
        QCOMPARE(m_chart->verticalScrollBar()->value(), dy);

        // Over the rows (and the overview between them, when shown), as wide as they are, its ticks
        // starting right of the header.
        const QRect rows = m_chart->viewport()->geometry();
        const int strip = overview ? OverviewPainter::heightFor(2) : 0;
        QCOMPARE(m_chart->overview()->isVisible(), overview);
        if (overview)
            QCOMPARE(m_chart->overview()->geometry(),
                     QRect(rows.left(), rows.top() - strip, rows.width(), strip));
        QCOMPARE(ruler->geometry(), QRect(rows.left(), rows.top() - strip - ChartMetrics::rulerHeight,
                                          rows.width(), ChartMetrics::rulerHeight));
        const int left = ChartMetrics::headerWidth;
        const TimeRuler expected(ChartMapper(m_chart->timeScale(), scroll), ruler->width() - left,
                                 linear ? nullptr : m_second);
        QVERIFY(!expected.ticks().isEmpty());
        QImage painted(ruler->size(), QImage::Format_RGB32);
        {
            QPainter painter(&painted);
            RulerPainter(painter, ChartStyle().rowFont()).paint(expected, painted.rect(), left);
        }
        QCOMPARE(shownPixels(ruler), painted);
    }

    void overviewMovesTheChart_data()
    {
        QTest::addColumn<QString>(
            "grip"); // where the press lands: "outside" the frame, "frame", "left edge", "right edge"
        QTest::addColumn<int>("moveBy");    // pixels right, with the button down
        QTest::addColumn<int>("leftMoves"); // columns of the strip the chart's left and right edges move
        QTest::addColumn<int>("rightMoves");

        QTest::newRow("a click right of the frame centres the chart on the time under it")
            << "outside" << 0 << 0 << 0;
        QTest::newRow("dragging the frame scrolls the chart by the time the mouse crossed")
            << "frame" << 40 << 40 << 40;
        QTest::newRow("dragging the right edge zooms so that it follows, the left one staying")
            << "right edge" << 60 << 0 << 60;
        QTest::newRow("dragging the left edge of a frame at the end zooms in beyond the old scroll range")
            << "left edge" << 60 << 60 << 0;
    }

    // Whatever the mouse does, the activity is not computed again.
    void overviewMovesTheChart()
    {
        QFETCH(QString, grip);
        QFETCH(int, moveBy);
        QFETCH(int, leftMoves);
        QFETCH(int, rightMoves);

        QVERIFY(makeChart({m_first, m_second}, m_first, QSize(1300, 200)));
        m_chart->zoomAt(8, 0);
        // The frame at the left, room right of it to centre on; or at the right, to zoom in on the end.
        QScrollBar *bar = m_chart->horizontalScrollBar();
        bar->setValue(grip == QLatin1String("left edge") ? bar->maximum() : 0);
        ChartOverview *overview = m_chart->overview();
        overview->repaint();
        const int computed = overview->activity().computations();
        const int header = ChartMetrics::headerWidth;
        const auto shown = [this, header] {
            return AxisTime::visibleSpan(m_chart->mapper(), m_chart->viewport()->width() - header, nullptr,
                                         0);
        };
        const OverviewScale scale(m_root->lengthLin(), overview->width() - header);
        const TimeSpan before = shown();
        const QRect frame = overview->visibleRect();
        const int pressX = grip == QLatin1String("outside")     ? frame.right() + 300
                           : grip == QLatin1String("frame")     ? frame.center().x()
                           : grip == QLatin1String("left edge") ? frame.left()
                                                                : frame.right();
        const QPoint press(pressX, overview->height() / 2);
        QTest::mousePress(overview, Qt::LeftButton, Qt::NoModifier, press);
        const TimeSpan pressed = shown();
        const QPoint to = press + QPoint(moveBy, 0);
        QMouseEvent move(QEvent::MouseMove, to, overview->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(overview, &move);
        QTest::mouseRelease(overview, Qt::LeftButton, Qt::NoModifier, to);

        const TimeSpan after = shown();
        // A column's time either way, and a pixel of the chart's.
        const double slack = 1.5 * scale.columnSpan() + 2.0 / m_chart->scale();
        if (grip == QLatin1String("outside")) {
            QVERIFY(qAbs((after.from + after.to) / 2 - scale.timeAt(pressX - header)) < slack);
        } else {
            QCOMPARE(pressed.from, before.from);
            QVERIFY(qAbs(after.from - before.from - leftMoves * scale.columnSpan()) < slack);
            QVERIFY(qAbs(after.to - before.to - rightMoves * scale.columnSpan()) < slack);
        }
        overview->repaint();
        QCOMPARE(overview->activity().computations(), computed);
    }

    void navigationInputMovesTheView_data()
    {
        // What a gesture over the middle of the rows changes: -1 less, 0 nothing, 1 more.
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<int>("scale");
        QTest::addColumn<int>("across"); // horizontal scroll value
        QTest::addColumn<int>("down");   // vertical scroll value
        QTest::newRow("Ctrl+wheel back zooms out") << "ctrl+wheel-" << -1 << 0 << 0;
        QTest::newRow("Shift+wheel back scrolls right") << "shift+wheel-" << 0 << 1 << 0;
        QTest::newRow("Ctrl+sideways wheel zooms as the wheel does") << "ctrl+sideways wheel+" << 1 << 0 << 0;
        QTest::newRow("the plain wheel scrolls rows") << "wheel-" << 0 << 0 << 1;
        QTest::newRow("the plain wheel over the ruler zooms") << "ruler+wheel+" << 1 << 0 << 0;
        QTest::newRow("a pinch zooms in") << "pinch" << 1 << 0 << 0;
        QTest::newRow("W zooms in") << "W" << 1 << 0 << 0;
        QTest::newRow("S zooms out") << "S" << -1 << 0 << 0;
        QTest::newRow("A moves left") << "A" << 0 << -1 << 0;
        QTest::newRow("D moves right") << "D" << 0 << 1 << 0;
        QTest::newRow("Home goes to the start") << "Home" << 0 << -1 << 0;
        QTest::newRow("End goes to the end") << "End" << 0 << 1 << 0;
        QTest::newRow("a middle drag right and down pulls the view left and up") << "middle" << 0 << -1 << -1;
        QTest::newRow("a left drag while Space is held pans too") << "space" << 0 << -1 << -1;
    }

    void navigationInputMovesTheView()
    {
        QFETCH(QString, gesture);
        QVERIFY(makeChart({m_first, m_second}, m_first, QSize(800, 150)));
        m_chart->zoomAt(4, 0);
        m_chart->horizontalScrollBar()->setValue(300);
        m_chart->verticalScrollBar()->setValue(RowHeight);
        const QPoint at = pointAt(m_first, QStringLiteral("task1"), 500);
        const float scale = m_chart->scale();
        const QPoint scroll(hValue(), m_chart->verticalScrollBar()->value());
        const double time = m_chart->timeAtViewportX(at.x());

        perform(gesture, at);

        const auto sign = [](double value) { return (value > 0) - (value < 0); };
        QTEST(sign(m_chart->scale() - scale), "scale");
        if (gesture == QLatin1String("middle") || gesture == QLatin1String("space"))
            QCOMPARE(m_panCursor, Qt::ClosedHandCursor);
        const bool zoomed = m_chart->scale() != scale;
        if (!zoomed) {
            QTEST(sign(hValue() - scroll.x()), "across");
            QTEST(sign(m_chart->verticalScrollBar()->value() - scroll.y()), "down");
        } else if (!gesture.startsWith(QLatin1Char('W')) && !gesture.startsWith(QLatin1Char('S'))) {
            // The mouse keeps its time, within a pixel.
            QVERIFY(drawsAt(at.x(), time));
        }
    }

    void backAndForwardStepThroughZoomsAndJumps()
    {
        QVERIFY(makeChart({m_first}, m_first, QSize(800, 150)));
        QSignalSpy history(m_chart.get(), &EventChart::historyChanged);
        const auto view = [this] { return qMakePair(m_chart->scale(), hValue()); };
        const auto fitted = view();
        m_chart->zoomAt(3, 400);
        m_chart->horizontalScrollBar()->setValue(hValue() + 20); // scrolling adds no step
        const auto zoomed = view();
        m_chart->centreOn(600);
        const int middle = (ChartMetrics::headerWidth + m_chart->viewport()->width()) / 2;
        QVERIFY(drawsAt(middle, 600.0));
        const auto centred = view();
        QVERIFY(m_chart->goBack());
        QCOMPARE(view(), zoomed);
        QVERIFY(m_chart->goBack() && !m_chart->goBack());
        QCOMPARE(view(), fitted);
        QVERIFY(m_chart->goForward() && m_chart->goForward() && !m_chart->goForward());
        QCOMPARE(view(), centred);
        QCOMPARE(history.size(), 6);
    }

    void withoutASelectionZoomToSelectionFitsTheCursors()
    {
        QVERIFY(makeChart({m_first}, m_first, QSize(800, 150)));
        QVERIFY(!m_chart->zoomToSelection());
        m_chart->marks()->setCursorTime(ChartMarks::CURSOR_B, 200.0);
        m_chart->marks()->setCursorTime(ChartMarks::CURSOR_A, 500.0);
        QVERIFY(m_chart->zoomToSelection() && fits(200.0, 500.0));
    }

    void doubleClickInsideASelectionZoomsToIt_data()
    {
        QTest::addColumn<Sel>("selection");
        QTest::addColumn<double>("clickTime");
        QTest::addColumn<bool>("zooms");
        QTest::newRow("a double-click inside a selection of several events zooms to them")
            << Sel(0, 1) << 150.0 << true;
        QTest::newRow("a double-click outside the selection only selects") << Sel(0, 2) << 650.0 << false;
        QTest::newRow("a double-click on a single selected event only selects")
            << Sel(1, 1) << 150.0 << false;
    }

    void doubleClickInsideASelectionZoomsToIt()
    {
        QFETCH(Sel, selection);
        QFETCH(double, clickTime);
        QFETCH(bool, zooms);
        QVERIFY(makeChart({m_first}, m_first, QSize(800, 150)));
        stateOf(m_first).selFirst = selection.first;
        stateOf(m_first).selLast = selection.second;
        const float scale = m_chart->scale();
        const QPoint at = pointAt(m_first, QStringLiteral("task1"), clickTime);
        // As a window system sends a double-click: its second press comes before it.
        press(at);
        release(at);
        press(at);
        QTest::mouseDClick(canvas(), Qt::LeftButton, Qt::NoModifier, at);
        release(at);
        QCOMPARE(m_chart->scale() > scale, zooms);
        // Events 0 and 1 run from 0 to 300 us.
        if (zooms)
            QVERIFY(selectionOf(m_first) == selection && fits(0.0, 300.0));
    }

    // The copied time read back agrees with the ruler's tick under the mouse, to a pixel.
    void contextMenuOffersNavigationMarksAndCopiesTheTime()
    {
        QVERIFY(makeChart({m_first}, m_first, QSize(800, 150)));
        m_chart->zoomAt(2, 0);
        const TimeRuler ruler(m_chart->mapper(), m_chart->viewport()->width() - ChartMetrics::headerWidth);
        QVERIFY(ruler.ticks().size() > 1);
        const RulerTick tick = ruler.ticks().at(1);
        const QPoint at(tick.x + ChartMetrics::headerWidth, 20);
        QMenu menu;
        m_chart->fillContextMenu(&menu, at);
        QStringList texts;
        for (const QAction *entry : menu.actions())
            texts << entry->text();
        QCOMPARE(
            texts.join(QLatin1Char('|')),
            QStringLiteral("Zoom to Selection|Fit Time||Set Cursor A|Set Cursor B|Add Bookmark||Copy Time||"
                           "Statistics...|Export Chart Image..."));
        menu.actions().at(7)->trigger();
        const QStringList label = tick.label.split(QLatin1Char(' '));
        const double unit = label.last() == QLatin1String("s")    ? 1e6
                            : label.last() == QLatin1String("ms") ? 1e3
                                                                  : 1;
        const QString copied = QGuiApplication::clipboard()->text();
        QVERIFY2(copied.endsWith(QLatin1String(" s")), qPrintable(copied));
        QVERIFY(std::abs(copied.chopped(2).toDouble() * 1e6 - label.first().toDouble() * unit) *
                    m_chart->scale() <=
                1.0);
        menu.actions().at(3)->trigger();
        // Where the right click was, or an event edge it snapped to.
        QVERIFY(std::abs(m_chart->marks()->cursorX(ChartMarks::CURSOR_A).value_or(-99) - at.x()) <=
                m_chart->marks()->snapDistance());
        menu.actions().at(1)->trigger();
        QVERIFY(!m_chart->canZoomOut());
    }

    void resizingZoomingAndSwitchingModesAreReported()
    {
        QVERIFY(makeChart({m_first, m_second}, m_first, QSize(800, 150)));
        QCOMPARE(m_chart->scale(), 1.0f);
        QSignalSpy state(m_chart.get(), &EventChart::eventChartStateChanged);
        m_chart->resize(1500, 150);
        QTRY_COMPARE(m_chart->width(), 1500);
        QVERIFY(state.contains(QVariantList{QVariant::fromValue(EventChart::SCALE_CHANGED)}));
        QVERIFY2(!m_chart->canZoomOut() && !m_chart->zoomOut(),
                 "right after fitting there is no more to show");

        m_chart->zoomAt(3, 0);
        const float zoomed = m_chart->scale();
        for (const bool in : {true, false}) {
            m_chart->horizontalScrollBar()->setValue(500);
            const float before = m_chart->scale();
            const int anchor = m_chart->zoomAnchor();
            const double time = m_chart->timeAtViewportX(anchor);
            state.clear();
            QVERIFY(in ? m_chart->zoomIn() : m_chart->zoomOut());
            QCOMPARE(m_chart->scale() > before, in);
            QVERIFY(drawsAt(anchor, time));
            QCOMPARE(lastState(state), int(EventChart::SCALE_CHANGED));
        }
        QCOMPARE(m_chart->scale(), zoomed); // each a single step

        // An arrow key steps one row down or a tenth of the viewport as it is now across.
        m_chart->horizontalScrollBar()->setValue(0);
        QTest::keyClick(m_chart.get(), Qt::Key_Right);
        QTest::keyClick(m_chart.get(), Qt::Key_Down);
        QCOMPARE(QPoint(hValue(), m_chart->verticalScrollBar()->value()),
                 QPoint(m_chart->viewport()->width() / 10, RowHeight));

        // Only a real switch of modes is reported.
        for (const bool linear : {true, false, false}) {
            const bool switching = linear != m_chart->isLinearMode();
            state.clear();
            m_chart->setLinearMode(linear);
            QCOMPARE(lastState(state), switching ? int(EventChart::MODE_CHANGED) : NoReport);
        }
    }
};

QTEST_MAIN(TestEventChart)
#include "tst_eventchart.moc"
