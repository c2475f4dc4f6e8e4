#include "app/tracer.h"
#include "chart/chartmetrics.h"
#include "chart/viewroot.h"
#include "testsupport.h"
#include "trace/node.h"
#include "tracefixture.h"
#include "views/eventchart.h"
#include "views/eventchartcanvas.h"
#include "views/eventtooltip.h"

#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QToolTip>
#include <QtTest>

#include <cmath>
#include <memory>

using TraceFixture::eventXml;
using TraceFixture::traceFile;

namespace {

constexpr int RowHeight = ChartMetrics::rowHeight;
using Sel = QPair<int, int>; // selFirst, selLast

// Node 1: Worker (task 1) runs events 0-2 at 0, 100 and 300 us, Logger (task 2)
// events 3-5 at 600, 700 and 1000 us; the last has no duration. Node 2: Sender
// (task 1) runs events at 0, 200 and 500 us. Node 3 has one event, so no length.
QByteArray nodeTrace(int node)
{
    const QByteArray kernel = "<tasks><task id=\"0\" name=\"Kernel\"/>";
    if (node == 1)
        return traceFile(1,
                         kernel + "<task id=\"1\" name=\"Worker\"/><task id=\"2\" name=\"Logger\"/></tasks>\n"
                                  "<hubs><hub id=\"1\" name=\"Queue\"/></hubs>\n",
                         eventXml(0, 0, 0, 1) + eventXml(1, 100) + eventXml(1, 300) + eventXml(0, 600, 0, 2) +
                             eventXml(1, 700) + eventXml(1, 1000));
    if (node == 2)
        return traceFile(2, kernel + "<task id=\"1\" name=\"Sender\"/></tasks>\n",
                         eventXml(0, 0, 0, 1) + eventXml(1, 200) + eventXml(1, 500));
    return traceFile(3, kernel + "</tasks>\n", eventXml(1, 50));
}

// Counts the paints of the widget it watches.
struct PaintCounter : QObject
{
    int m_paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        m_paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

// The state of the last report, or NoReport.
constexpr int NoReport = -1;
int lastState(const QSignalSpy &spy)
{
    return spy.isEmpty() ? NoReport : int(spy.last().at(0).value<EventChart::EventChartState>());
}

} // namespace

Q_DECLARE_METATYPE(ChartSettings)

class TestEventChart : public QObject
{
    Q_OBJECT

private:
    Tracer m_tracer;
    Node *m_first = nullptr;
    Node *m_second = nullptr;
    Node *m_flat = nullptr;
    std::unique_ptr<ViewRoot> m_root;
    NodeViewStates m_states;
    std::unique_ptr<EventChart> m_chart;

    Node *load(int node, const char *dir)
    {
        const QString name = QString::number(node) + QStringLiteral(".trace");
        return m_tracer.createNode(TestSupport::writeTempFile(QLatin1String(dir), name, nodeTrace(node)),
                                   m_tracer.rootEntry(), FROM_TRACER);
    }

    // A shown chart of `nodes`, painted once so the view states hold the painted event ranges.
    bool makeChart(const QList<Node *> &nodes, Node *current, const QSize &size = QSize(1300, 400))
    {
        m_chart.reset();
        m_root = std::make_unique<ViewRoot>();
        m_states.clear();
        for (Node *node : nodes)
            m_root->addViewedNode(node);
        m_root->setCurrentNode(current);
        m_chart = std::make_unique<EventChart>(m_root.get(), &m_states, QStringLiteral("/project"));
        m_chart->resize(size);
        m_chart->show();
        if (!QTest::qWaitForWindowExposed(m_chart.get()))
            return false;
        m_chart->viewport()->repaint();
        return true;
    }

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
        if (name == QLatin1String("tasks"))
            return item->taskTrain();
        if (name == QLatin1String("hubs"))
            return item->hubTrain();
        if (name.startsWith(QLatin1String("task")))
            return item->taskTrain()->childById(name.mid(4).toInt());
        return item->hubTrain()->childById(name.mid(3).toInt());
    }

    int hValue() const { return m_chart->horizontalScrollBar()->value(); }

    // The viewport point over `item`'s row less than a pixel left of time t (us or log units).
    QPoint pointAt(const ViewItem *item, double t) const
    {
        const ViewNode *node = item->viewNode();
        const double shift = node && m_chart->isLinearMode() ? node->shift() : 0;
        const int headerShift = m_tracer.externalHeader() ? 200 : 0;
        const double x = headerShift + (t + shift) * m_chart->scale() - hValue();
        return QPoint(int(std::floor(x)),
                      item->row() * RowHeight - m_chart->verticalScrollBar()->value() + 9);
    }

    QWidget *canvas() const { return m_chart->canvas(); }

    void press(const QPoint &at, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mousePress(canvas(), Qt::LeftButton, modifiers, at);
    }
    void click(const QPoint &at, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        press(at, modifiers);
        release(at);
    }
    void release(const QPoint &at) { QTest::mouseRelease(canvas(), Qt::LeftButton, Qt::NoModifier, at); }
    void moveTo(const QPoint &at, Qt::MouseButtons buttons)
    {
        QMouseEvent event(QEvent::MouseMove, at, canvas()->mapToGlobal(at), Qt::NoButton, buttons,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(canvas(), &event);
    }

    NodeViewState &stateOf(const Node *node) { return m_states[node->traceFileName()]; }
    Sel selectionOf(const Node *node) { return Sel(stateOf(node).selFirst, stateOf(node).selLast); }
    void setSelection(const Node *node, Sel sel)
    {
        stateOf(node).selFirst = sel.first;
        stateOf(node).selLast = sel.second;
    }

    void zoomInTimes(int times)
    {
        for (int i = 0; i < times; ++i)
            m_chart->zoomIn();
    }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<Node *>();
        m_tracer.initHeadless();
        m_tracer.setMessageSink(
            [](QMessageBox::Icon, const QString &text) { qWarning("%s", qPrintable(text)); });
        m_first = load(1, "chart");
        m_second = load(2, "chart");
        m_flat = load(3, "flat");
        QVERIFY(m_first && m_second && m_flat);
    }

    void init()
    {
        m_tracer.setExternalHeader(true);
        QSettings(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview")).clear();
        QToolTip::hideText();
    }

    void cleanup()
    {
        m_chart.reset();
        m_root.reset();
    }

    void pressOnARowSelectsOrStartsADrag_data()
    {
        QTest::addColumn<QString>("rowName");
        QTest::addColumn<double>("time");
        QTest::addColumn<bool>("withShift");
        QTest::addColumn<bool>("externalHeader");
        QTest::addColumn<Sel>("before");
        QTest::addColumn<Sel>("after");
        QTest::addColumn<int>("dragMode");

        const int selecting = EventChart::SELECTING_EVENTS;
        QTest::newRow("a press on an event of a task row selects that event and starts selecting")
            << "task1" << 150.0 << false << true << Sel(-1, -1) << Sel(1, 1) << selecting;
        QTest::newRow("a press on a task row selects the event there whichever task ran it")
            << "task1" << 750.0 << false << true << Sel(-1, -1) << Sel(4, 4) << selecting;
        QTest::newRow("a press on a hub row selects the event there and starts selecting")
            << "hub1" << 350.0 << false << true << Sel(0, 0) << Sel(2, 2) << selecting;
        QTest::newRow("a shift-press keeps the selection start and moves its end")
            << "task2" << 750.0 << true << true << Sel(1, 1) << Sel(1, 4) << selecting;
        QTest::newRow("a press left of the node's first event clears the start and keeps the end")
            << "task1" << -50.0 << false << true << Sel(2, 4) << Sel(-1, 4) << selecting;
        QTest::newRow("a press past the node's last event selects nothing")
            << "task1" << 1100.0 << false << true << Sel(2, 4) << Sel(-1, -1) << selecting;
        QTest::newRow("with the internal header the chart starts at the viewport's left edge")
            << "task1" << 50.0 << false << false << Sel(-1, -1) << Sel(0, 0) << selecting;
        QTest::newRow("a press on the tasks row starts selecting without a selection")
            << "tasks" << 150.0 << false << true << Sel(-1, -1) << Sel(-1, -1) << selecting;
        QTest::newRow("a press on the hubs row starts selecting without a selection")
            << "hubs" << 150.0 << false << true << Sel(-1, -1) << Sel(-1, -1) << selecting;
        QTest::newRow("a press on a node row starts moving the node with a closed hand")
            << "node" << 150.0 << false << true << Sel(-1, -1) << Sel(-1, -1) << int(EventChart::MOVING_NODE);
    }

    void pressOnARowSelectsOrStartsADrag()
    {
        QFETCH(QString, rowName);
        QFETCH(double, time);
        QFETCH(bool, withShift);
        QFETCH(bool, externalHeader);
        QFETCH(Sel, before);
        QFETCH(Sel, after);
        QFETCH(int, dragMode);

        m_tracer.setExternalHeader(externalHeader);
        QVERIFY(makeChart({m_first, m_second}, m_first));
        setSelection(m_first, before);
        QSignalSpy selection(m_chart.get(), &EventChart::selectionWasChanged);
        QSignalSpy current(m_root.get(), &ViewRoot::currentNodeWasChanged);

        const QPoint at = pointAt(row(m_first, rowName), time);
        const bool moving = dragMode == EventChart::MOVING_NODE;
        press(at, withShift ? Qt::ShiftModifier : Qt::NoModifier);
        QCOMPARE(int(m_chart->dragMode()), dragMode);
        QCOMPARE(m_chart->dragItem(), viewNode(m_first));
        QCOMPARE(canvas()->cursor().shape(), moving ? Qt::ClosedHandCursor : Qt::ArrowCursor);
        release(at);
        QCOMPARE(int(m_chart->dragMode()), int(EventChart::NO_DRAG));
        QVERIFY(!m_chart->dragItem());
        QCOMPARE(canvas()->cursor().shape(), moving ? Qt::OpenHandCursor : Qt::ArrowCursor);

        QCOMPARE(selectionOf(m_first), after);
        QCOMPARE(selection.count(), after == before ? 0 : 1);
        if (after != before)
            QCOMPARE(selection.first(), QVariantList({after.first, after.second}));
        QVERIFY(current.isEmpty());
    }

    void pressesThatDoNothing_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("rowNumber");

        QTest::newRow("a right-button press does nothing") << int(Qt::RightButton) << 4;
        QTest::newRow("a press on the root row does nothing") << int(Qt::LeftButton) << 0;
        QTest::newRow("a press below every row does nothing") << int(Qt::LeftButton) << 13;
    }

    void pressesThatDoNothing()
    {
        QFETCH(int, button);
        QFETCH(int, rowNumber);

        QVERIFY(makeChart({m_first, m_second}, m_first));
        QCOMPARE(row(m_first, QStringLiteral("task1"))->row(), 4);
        QSignalSpy selection(m_chart.get(), &EventChart::selectionWasChanged);
        QSignalSpy current(m_root.get(), &ViewRoot::currentNodeWasChanged);
        const QPoint at(250, rowNumber * RowHeight + 9);
        QTest::mousePress(canvas(), Qt::MouseButton(button), Qt::NoModifier, at);
        QCOMPARE(int(m_chart->dragMode()), int(EventChart::NO_DRAG));
        QVERIFY(!m_chart->dragItem());
        QCOMPARE(canvas()->cursor().shape(), Qt::ArrowCursor);
        QTest::mouseRelease(canvas(), Qt::MouseButton(button), Qt::NoModifier, at);
        QVERIFY(selection.isEmpty());
        QVERIFY(current.isEmpty());
        QCOMPARE(m_root->currentNode(), m_first);
        QCOMPARE(stateOf(m_first).selFirst, -1);
    }

    void pressOnAnotherNodeMakesItCurrent()
    {
        QVERIFY(makeChart({m_first, m_second}, m_first));
        QSignalSpy current(m_root.get(), &ViewRoot::currentNodeWasChanged);
        QSignalSpy selection(m_chart.get(), &EventChart::selectionWasChanged);

        const QPoint onSender = pointAt(row(m_second, QStringLiteral("task1")), 250);
        click(onSender);
        QCOMPARE(m_root->currentNode(), m_second);
        QCOMPARE(current.count(), 1);
        QCOMPARE(current.first().at(0).value<Node *>(), m_second);
        QCOMPARE(selection.first(), QVariantList({1, 1}));
        QCOMPARE(stateOf(m_second).selLast, 1);
        QCOMPARE(stateOf(m_first).selLast, -1);

        click(onSender);
        QCOMPARE(current.count(), 1);
        click(pointAt(row(m_first, QStringLiteral("node")), 250));
        QCOMPARE(m_root->currentNode(), m_first);
        QCOMPARE(current.count(), 2);
    }

    void draggingSelection_data()
    {
        QTest::addColumn<double>("pressTime");
        QTest::addColumn<bool>("overSecondNode");
        QTest::addColumn<double>("moveTime");
        QTest::addColumn<Sel>("after");
        QTest::addColumn<bool>("reported");

        QTest::newRow("dragging to an earlier event makes it the selection end")
            << 750.0 << false << 150.0 << Sel(4, 1) << true;
        QTest::newRow("dragging left of the node's start ends the selection at its first event")
            << 750.0 << false << -100.0 << Sel(4, 0) << true;
        QTest::newRow("dragging past the node's last event keeps the selection")
            << 750.0 << false << 1100.0 << Sel(4, 4) << false;
        QTest::newRow("dragging over another node's rows selects in the pressed node")
            << 750.0 << true << 350.0 << Sel(4, 2) << true;
        QTest::newRow("a drag that began left of the node's start selects nothing")
            << -50.0 << false << 150.0 << Sel(-1, -1) << false;
    }

    void draggingSelection()
    {
        QFETCH(double, pressTime);
        QFETCH(bool, overSecondNode);
        QFETCH(double, moveTime);
        QFETCH(Sel, after);
        QFETCH(bool, reported);

        QVERIFY(makeChart({m_first, m_second}, m_first));
        const QPoint pressed = pointAt(row(m_first, QStringLiteral("task1")), pressTime);
        press(pressed);
        QSignalSpy selection(m_chart.get(), &EventChart::selectionWasChanged);
        moveTo(pointAt(row(overSecondNode ? m_second : m_first, QStringLiteral("task1")), moveTime),
               Qt::LeftButton);
        release(pressed);

        QCOMPARE(selectionOf(m_first), after);
        QCOMPARE(selection.count(), reported ? 1 : 0);
        if (reported)
            QCOMPARE(selection.first(), QVariantList({after.first, after.second}));
        QCOMPARE(stateOf(m_second).selLast, -1);
    }

    void draggingNodeRowMovesItsTimeAxisUntilDoubleClicked_data()
    {
        QTest::addColumn<QList<int>>("moves"); // pixels right of the press point, in order
        QTest::addColumn<int>("firstShift");
        QTest::addColumn<int>("secondShift");

        QTest::newRow("moving right shifts only the dragged node") << QList<int>{200} << 0 << 200;
        QTest::newRow("moving left of the other node's start shifts the other node instead")
            << QList<int>{-150} << 150 << 0;
        QTest::newRow("moving left and then right does not carry the normalisation over")
            << QList<int>{-150, 50} << 0 << 50;
        QTest::newRow("returning to the press point restores the shifts")
            << QList<int>{-150, 300, 0} << 0 << 0;
    }

    void draggingNodeRowMovesItsTimeAxisUntilDoubleClicked()
    {
        QFETCH(QList<int>, moves);
        QFETCH(int, firstShift);
        QFETCH(int, secondShift);

        QVERIFY(makeChart({m_first, m_second}, m_first));
        QCOMPARE(m_chart->scale(), 1.0f);
        QSignalSpy state(m_chart.get(), &EventChart::eventChartStateChanged);
        const QPoint pressed = pointAt(row(m_second, QStringLiteral("node")), 300);
        press(pressed);
        QCOMPARE(m_root->currentNode(), m_second);
        for (const int dx : std::as_const(moves))
            moveTo(pressed + QPoint(dx, 0), Qt::LeftButton);
        QCOMPARE(canvas()->cursor().shape(), Qt::ClosedHandCursor);
        release(pressed + QPoint(moves.last(), 0));

        QCOMPARE(viewNode(m_first)->shift(), firstShift);
        QCOMPARE(viewNode(m_second)->shift(), secondShift);
        const int length = qMax(1000 + firstShift, 500 + secondShift);
        QCOMPARE(m_root->lengthLin(), length);
        QCOMPARE(canvas()->width(), length + 200 + 3);
        QCOMPARE(lastState(state), int(EventChart::LAYOUT_CHANGED));

        // A double click on a task row keeps the drags, one on a node row undoes them.
        for (const QString &rowName : {QStringLiteral("task1"), QStringLiteral("node")}) {
            state.clear();
            const QPoint at = pointAt(row(m_first, rowName), 150);
            QTest::mouseDClick(canvas(), Qt::LeftButton, Qt::NoModifier, at);
            release(at);
            const bool undone = rowName == QLatin1String("node");
            QCOMPARE(viewNode(m_first)->shift(), undone ? 0 : firstShift);
            QCOMPARE(viewNode(m_second)->shift(), undone ? 0 : secondShift);
            QCOMPARE(m_root->lengthLin(), undone ? 1000 : length);
            QCOMPARE(canvas()->width(), m_root->lengthLin() + 203);
            QCOMPARE(state.isEmpty(), !undone);
        }
    }

    void hoverSetsCursorAndTooltip_data()
    {
        QTest::addColumn<QString>("rowName");
        QTest::addColumn<double>("time");
        QTest::addColumn<bool>("externalHeader");
        QTest::addColumn<int>("firstShift");
        QTest::addColumn<int>("tooltipEvent"); // -1: hidden

        QTest::newRow("over an event of the row's task the tooltip describes it")
            << "task1" << 350.0 << true << 0 << 2;
        QTest::newRow("over another task's event on a task row the tooltip goes")
            << "task1" << 750.0 << true << 0 << -1;
        QTest::newRow("over a hub row the tooltip goes") << "hub1" << 350.0 << true << 0 << -1;
        QTest::newRow("over a node row the hand opens and the tooltip goes")
            << "node" << 350.0 << true << 0 << -1;
        QTest::newRow("left of a shifted node's first event the tooltip goes")
            << "task1" << -50.0 << true << 100 << -1;
        QTest::newRow("over the external header nothing changes") << "node" << -120.0 << true << 0 << 1;
        QTest::newRow("with the internal header the leftmost pixels show tooltips too")
            << "task1" << 50.0 << false << 0 << 0;
    }

    void hoverSetsCursorAndTooltip()
    {
        QFETCH(QString, rowName);
        QFETCH(double, time);
        QFETCH(bool, externalHeader);
        QFETCH(int, firstShift);
        QFETCH(int, tooltipEvent);

        m_tracer.setExternalHeader(externalHeader);
        QVERIFY(makeChart({m_first, m_second}, m_first));
        if (firstShift != 0) {
            viewNode(m_first)->setShift(firstShift);
            m_root->recomputeExtent();
            m_chart->relayout();
            m_chart->viewport()->repaint();
        }
        moveTo(pointAt(row(m_first, QStringLiteral("task1")), 150), Qt::NoButton);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), eventTooltipHtml(*m_first, 1));

        moveTo(pointAt(row(m_first, rowName), time), Qt::NoButton);
        const bool overNode = rowName == QLatin1String("node") && time >= 0;
        QCOMPARE(canvas()->cursor().shape(), overNode ? Qt::OpenHandCursor : Qt::ArrowCursor);
        if (tooltipEvent < 0) {
            QTRY_VERIFY(!QToolTip::isVisible());
        } else {
            QVERIFY(QToolTip::isVisible());
            QCOMPARE(QToolTip::text(), eventTooltipHtml(*m_first, tooltipEvent));
        }
    }

    void eventAtSearchesThePaintedRange_data()
    {
        QTest::addColumn<bool>("linear");
        QTest::addColumn<Sel>("range"); // chartFirst, chartEnd; (-2, -2): as painted
        QTest::addColumn<double>("time");
        QTest::addColumn<int>("event");

        const Sel painted(-2, -2);
        QTest::newRow("an event's start belongs to it") << true << painted << 100.0 << 1;
        QTest::newRow("linear times are truncated to whole microseconds") << true << painted << 99.9 << 0;
        QTest::newRow("the last event, without duration, is never hit") << true << Sel(0, 6) << 1000.0 << -1;
        QTest::newRow("a negative time finds nothing") << true << painted << -0.5 << -1;
        QTest::newRow("the search starts at the painted first event") << true << Sel(2, 6) << 150.0 << -1;
        QTest::newRow("the search stops before the painted end") << true << Sel(0, 2) << 350.0 << -1;
        QTest::newRow("a range reaching past the node's events finds nothing")
            << true << Sel(0, 7) << 150.0 << -1;
        QTest::newRow("an empty range finds nothing") << true << Sel(3, 3) << 650.0 << -1;
        QTest::newRow("a range before the first event finds nothing") << true << Sel(-1, 6) << 150.0 << -1;
        QTest::newRow("logarithmic positions inside an event are not truncated")
            << false << painted << 4.7 << 1;
        QTest::newRow("a logarithmic position before an event's start is not in it")
            << false << painted << 4.5 << 0;
    }

    void eventAtSearchesThePaintedRange()
    {
        QFETCH(bool, linear);
        QFETCH(Sel, range);
        QFETCH(double, time);
        QFETCH(int, event);

        QVERIFY(makeChart({m_first}, m_first));
        m_chart->setLinearMode(linear);
        m_chart->viewport()->repaint();
        // The last event lies on the row's right end, beyond its last pixel.
        QCOMPARE(stateOf(m_first).chartFirst, 0);
        QCOMPARE(stateOf(m_first).chartEnd, 5);
        if (range.first != -2) {
            stateOf(m_first).chartFirst = range.first;
            stateOf(m_first).chartEnd = range.second;
        }
        QCOMPARE(m_chart->eventAt(m_first, float(time), -1), event);
    }

    void eventAtWithoutViewStateFindsNothing()
    {
        QVERIFY(makeChart({m_first}, m_first));
        QCOMPARE(m_chart->eventAt(m_second, 250.0f, -1), -1);
        QCOMPARE(m_chart->eventAt(nullptr, 250.0f, -1), -1);
        QVERIFY(!m_states.contains(m_second->traceFileName()));
    }

    void chartScrollReportsFirstEventOfCurrentNode_data()
    {
        QTest::addColumn<bool>("synchronized");
        QTest::addColumn<bool>("secondIsCurrent");
        QTest::addColumn<double>("time");    // of the scroll value
        QTest::addColumn<int>("firstEvent"); // -1: nothing reported

        QTest::newRow("scrolling to an event's start reports it") << true << false << 600.0 << 3;
        QTest::newRow("scrolling into the current node's event reports it") << true << true << 250.0 << 1;
        QTest::newRow("scrolling past the current node's last event reports nothing")
            << true << true << 700.0 << -1;
        QTest::newRow("scrolling without synchronisation reports nothing") << false << false << 150.0 << -1;
    }

    void chartScrollReportsFirstEventOfCurrentNode()
    {
        QFETCH(bool, synchronized);
        QFETCH(bool, secondIsCurrent);
        QFETCH(double, time);
        QFETCH(int, firstEvent);

        QVERIFY(makeChart({m_first, m_second}, secondIsCurrent ? m_second : m_first));
        zoomInTimes(10);
        m_chart->setSynchronized(synchronized);
        QSignalSpy scrolled(m_chart.get(), &EventChart::eventChartScrolled);
        const int value = int(std::ceil(time * m_chart->scale()));
        QVERIFY(value <= m_chart->horizontalScrollBar()->maximum());
        m_chart->horizontalScrollBar()->setValue(value);

        QCOMPARE(scrolled.count(), firstEvent < 0 ? 0 : 1);
        if (firstEvent >= 0)
            QCOMPARE(scrolled.first().at(0).toInt(), firstEvent);
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
        QTest::newRow("a list scroll one row on, with the chart scrolled right, moves the chart along")
            << 10 << 3 << 4 << true << true;
        QTest::newRow("a list scroll to the event already first, at the node's start, leaves the chart")
            << 10 << 0 << 0 << true << false;
        QTest::newRow("a list scroll within a node the chart shows whole leaves the chart")
            << 0 << 0 << 3 << true << false;
        QTest::newRow("a list scroll to an event past the chart's end leaves the chart")
            << 10 << -1 << 5 << true << false;
        QTest::newRow("a list scroll to no event of the node leaves the chart")
            << 10 << 0 << 6 << true << false;
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
        zoomInTimes(zoomSteps);
        QScrollBar *bar = m_chart->horizontalScrollBar();
        bar->setValue(startEvent < 0 ? bar->maximum()
                                     : int(float(m_first->event(startEvent)->offset) * m_chart->scale()));
        m_chart->viewport()->repaint();
        m_chart->setSynchronized(synchronized);
        const int before = bar->value();
        QSignalSpy scrolled(m_chart.get(), &EventChart::eventChartScrolled);

        m_chart->on_eventListScrolled(firstEvent);
        const int expected =
            moves ? int(float(m_first->event(firstEvent)->offset) * m_chart->scale()) : before;
        QCOMPARE(bar->value(), expected);
        QVERIFY(scrolled.isEmpty());

        // The echo of the list's scroll is swallowed, the user's next one is not.
        if (bar->maximum() > 0) {
            bar->setValue(expected > 0 ? expected - 1 : 1);
            QCOMPARE(scrolled.count(), synchronized ? 1 : 0);
        }
    }

    void listScrollToTheFirstEventRightOfTheViewMovesTheChart()
    {
        // At every zoom level the first event the last paint did not reach is out of view.
        QVERIFY(makeChart({m_first}, m_first));
        QScrollBar *bar = m_chart->horizontalScrollBar();
        int exercised = 0;
        for (int zoom = 0; zoom < 16; ++zoom) {
            bar->setValue(0);
            m_chart->viewport()->repaint();
            const NodeViewState state = m_states.value(m_first->traceFileName());
            if (state.chartEnd > state.chartFirst && state.chartEnd < m_first->eventCount()) {
                m_chart->on_eventListScrolled(state.chartEnd);
                const int wanted = int(float(m_first->event(state.chartEnd)->offset) * m_chart->scale());
                QCOMPARE(bar->value(), qMin(wanted, bar->maximum()));
                ++exercised;
            }
            m_chart->zoomIn();
        }
        QVERIFY(exercised > 3);
    }

    void selectionFromOutside_data()
    {
        QTest::addColumn<Sel>("sel");
        QTest::addColumn<bool>("stored");

        QTest::newRow("the same selection causes no repaint") << Sel(2, 4) << false;
        QTest::newRow("the same selection in reverse order causes no repaint") << Sel(4, 2) << false;
        QTest::newRow("another selection is stored and painted") << Sel(1, 3) << true;
        QTest::newRow("a cleared selection is stored and painted") << Sel(-1, -1) << true;
    }

    void selectionFromOutside()
    {
        QFETCH(Sel, sel);
        QFETCH(bool, stored);

        QVERIFY(makeChart({m_first, m_second}, m_first));
        setSelection(m_first, Sel(2, 4));
        PaintCounter counter;
        m_chart->viewport()->installEventFilter(&counter);
        QCoreApplication::processEvents();
        counter.m_paints = 0;
        QSignalSpy selection(m_chart.get(), &EventChart::selectionWasChanged);

        m_chart->on_selectionWasChangedOutside(sel.first, sel.second);
        QCOMPARE(selectionOf(m_first), stored ? sel : Sel(2, 4));
        QCoreApplication::processEvents();
        if (stored)
            QTRY_VERIFY(counter.m_paints > 0);
        else
            QCOMPARE(counter.m_paints, 0);
        QVERIFY(selection.isEmpty());
        QCOMPARE(stateOf(m_second).selFirst, -1);
    }

    void nothingHappensBeforeAnyNodeIsCurrent()
    {
        QVERIFY(makeChart({m_first}, nullptr));
        zoomInTimes(10);
        m_chart->viewport()->repaint();
        QSignalSpy scrolled(m_chart.get(), &EventChart::eventChartScrolled);
        QSignalSpy selection(m_chart.get(), &EventChart::selectionWasChanged);

        moveTo(pointAt(row(m_first, QStringLiteral("task1")), 50), Qt::NoButton);
        QVERIFY(!QToolTip::isVisible());
        m_chart->horizontalScrollBar()->setValue(100);
        QVERIFY(scrolled.isEmpty());
        m_chart->on_eventListScrolled(3);
        QCOMPARE(m_chart->horizontalScrollBar()->value(), 100);
        m_chart->on_selectionWasChangedOutside(1, 2);
        click(pointAt(row(m_first, QStringLiteral("task1")), 50));
        QCOMPARE(int(m_chart->dragMode()), int(EventChart::NO_DRAG));
        QVERIFY(!m_root->currentNode());
        QCOMPARE(stateOf(m_first).selFirst, -1);
        QVERIFY(selection.isEmpty());
    }

    void settingNotificationRereadsItsSetting_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<ChartSettings>("expected");
        QTest::addColumn<bool>("relayout");

        const ChartSettings defaults;
        const auto taken = [&defaults](const char *id, const QVariant &value, auto change) {
            ChartSettings s = defaults;
            change(s);
            QTest::addRow("a new %s is taken up", id) << QString::fromLatin1(id) << value << s << true;
        };
        taken("packet_arrow_width", 3, [](ChartSettings &s) { s.arrowWidth = 3; });
        taken("packet_receive_arrow_style", QStringLiteral("dashdotted"),
              [](ChartSettings &s) { s.receiveStyle = Qt::DashDotLine; });
        taken("packet_transmit_arrow_color", 0xff0000u,
              [](ChartSettings &s) { s.transmitColor = QColor(QRgb(0xff0000)); });
        taken("event_bar_filling", 1, [](ChartSettings &s) { s.gradientBars = true; });
        taken("show_syncmarker_icons", QStringLiteral("hide"),
              [](ChartSettings &s) { s.showSyncMarkerIcons = false; });
        QTest::newRow("a key the chart does not use changes nothing and causes no relayout")
            << "recent_nodes_max_count" << QVariant(9) << defaults << false;
    }

    void settingNotificationRereadsItsSetting()
    {
        QFETCH(QString, id);
        QFETCH(QVariant, value);
        QFETCH(ChartSettings, expected);
        QFETCH(bool, relayout);

        QVERIFY(makeChart({m_first}, m_first));
        QVERIFY(m_chart->renderer().settings() == ChartSettings());
        QSignalSpy state(m_chart.get(), &EventChart::eventChartStateChanged);
        QSettings(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview"))
            .setValue(QStringLiteral("settings/") + id, value);

        m_tracer.updateSettings({id});
        QVERIFY(m_chart->renderer().settings() == expected);
        QCOMPARE(lastState(state), relayout ? int(EventChart::LAYOUT_CHANGED) : NoReport);
        QVERIFY(EventChart(m_root.get(), &m_states, QString()).renderer().settings() == expected);
    }

    void settingNotificationRereadsNoOtherSetting()
    {
        QVERIFY(makeChart({m_first}, m_first));
        QSettings store(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview"));
        store.setValue(QStringLiteral("settings/syncmarker_color"), 0x111111u);
        store.setValue(QStringLiteral("settings/usermarker_color"), 0x222222u);
        store.sync();

        m_tracer.updateSettings({QStringLiteral("syncmarker_color")});
        QCOMPARE(m_chart->renderer().settings().syncMarkerColor, QColor(QRgb(0x111111)));
        QCOMPARE(m_chart->renderer().settings().userMarkerColor, ChartSettings().userMarkerColor);
    }

    void partlyRepaintedViewShowsWhatAFullPaintShows_data()
    {
        QTest::addColumn<int>("dx"); // scroll bar steps, pixels
        QTest::addColumn<int>("dy");
        QTest::newRow("scrolled right by a few pixels") << 7 << 0;
        QTest::newRow("scrolled right by most of the width") << 900 << 0;
        QTest::newRow("scrolled left and down") << -40 << 18;
    }

    void partlyRepaintedViewShowsWhatAFullPaintShows()
    {
        QFETCH(int, dx);
        QFETCH(int, dy);
        QVERIFY(makeChart({m_first, m_second}, m_first, QSize(900, 200)));
        zoomInTimes(4);
        m_chart->horizontalScrollBar()->setValue(m_chart->horizontalScrollBar()->maximum() / 2);
        m_chart->viewport()->repaint();
        // Scrolling moves the pixels on screen and paints only the strip
        // uncovered; the window's own pixels are what a person sees.
        m_chart->horizontalScrollBar()->setValue(hValue() + dx);
        m_chart->verticalScrollBar()->setValue(m_chart->verticalScrollBar()->value() + dy);
        QCoreApplication::processEvents();
        QWidget *viewport = m_chart->viewport();
        const QRect area(viewport->mapTo(m_chart->window(), QPoint(0, 0)), viewport->size());
        const QImage shown = m_chart->window()->screen()->grabWindow(m_chart->window()->winId()).toImage();
        if (shown.isNull())
            QSKIP("the platform cannot grab a window");
        const QImage painted = viewport->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.copy(area).convertToFormat(QImage::Format_RGB32), painted);
    }

    void zoomScalesScrollValueAndReportsIt_data()
    {
        QTest::addColumn<bool>("zoomIn");
        QTest::addColumn<int>("value"); // of the scroll bar, after zooming at 500

        QTest::newRow("zooming in multiplies scale and scroll value by 1.2") << true << 600;
        QTest::newRow("zooming out divides scale and scroll value by 1.2") << false << 416;
    }

    void zoomScalesScrollValueAndReportsIt()
    {
        QFETCH(bool, zoomIn);
        QFETCH(int, value);

        QVERIFY(makeChart({m_first}, m_first, QSize(1500, 300)));
        QSignalSpy state(m_chart.get(), &EventChart::eventChartStateChanged);
        QVERIFY2(!m_chart->canZoomOut() && !m_chart->zoomOut(),
                 "right after fitting there is no more to show");
        QCOMPARE(lastState(state), NoReport);
        zoomInTimes(3);
        m_chart->horizontalScrollBar()->setValue(500);
        QCOMPARE(hValue(), 500);
        const float before = m_chart->scale();
        state.clear();

        QVERIFY(zoomIn ? m_chart->zoomIn() : m_chart->zoomOut());
        QCOMPARE(m_chart->scale(), zoomIn ? before * 1.2f : before / 1.2f);
        QCOMPARE(hValue(), value);
        QCOMPARE(lastState(state), int(EventChart::SCALE_CHANGED));
    }

    void wideChartFitsScaleToViewport()
    {
        QVERIFY(makeChart({m_first}, m_first, QSize(800, 300)));
        QCOMPARE(m_chart->scale(), 1.0f);
        QSignalSpy state(m_chart.get(), &EventChart::eventChartStateChanged);
        m_chart->resize(1500, 300);
        QTRY_COMPARE(m_chart->width(), 1500);
        const int width = m_chart->viewport()->width();
        QVERIFY(width > 1000 + 203);
        QVERIFY(state.contains(QVariantList{QVariant::fromValue(EventChart::SCALE_CHANGED)}));
        QVERIFY(qAbs(m_chart->scale() - float(width) / 1000.0f) < 1e-6f);
        QVERIFY(m_chart->horizontalScrollBar()->maximum() <= 203);
        QVERIFY(!m_chart->canZoomOut());
    }

    void arrowKeysStepOneRowOrATenthOfTheViewport()
    {
        QVERIFY(makeChart({m_first, m_second}, m_first, QSize(800, 150)));
        zoomInTimes(10);
        QScrollBar *across = m_chart->horizontalScrollBar();
        QScrollBar *down = m_chart->verticalScrollBar();
        for (const int width : {800, 1100}) {
            m_chart->resize(width, 150);
            QTRY_COMPARE(m_chart->width(), width);
            across->setValue(0);
            down->setValue(0);
            QTest::keyClick(m_chart.get(), Qt::Key_Right);
            QTest::keyClick(m_chart.get(), Qt::Key_Down);
            QCOMPARE(across->value(), m_chart->viewport()->width() / 10);
            QCOMPARE(down->value(), RowHeight);
        }
    }

    void switchingModesReportsOnlyRealChanges()
    {
        QVERIFY(makeChart({m_first}, m_first));
        QSignalSpy state(m_chart.get(), &EventChart::eventChartStateChanged);
        for (const bool linear : {true, false, false, true}) {
            const bool switching = linear != m_chart->isLinearMode();
            state.clear();
            m_chart->setLinearMode(linear);
            QCOMPARE(m_chart->isLinearMode(), linear);
            QCOMPARE(lastState(state), switching ? int(EventChart::MODE_CHANGED) : NoReport);
        }
    }

    void chartWithoutLengthKeepsItsScaleInBothModes()
    {
        QVERIFY(makeChart({m_flat}, m_flat));
        QCOMPARE(m_root->lengthLin(), 0);
        for (const bool linear : {true, false}) {
            m_chart->setLinearMode(linear);
            m_chart->resize(linear ? 900 : 1000, 300);
            QTRY_COMPARE(m_chart->width(), linear ? 900 : 1000);
            m_chart->relayout();
            QCOMPARE(m_chart->scale(), linear ? 1.0f : 2.0f);
            QVERIFY(!m_chart->canZoomOut());
            QVERIFY(!m_chart->zoomOut());
            QCOMPARE(m_chart->horizontalScrollBar()->maximum(), 0);
            m_chart->viewport()->repaint();
            click(pointAt(row(m_flat, QStringLiteral("task0")), 0));
            QCOMPARE(stateOf(m_flat).selFirst, -1);
        }
    }
};

QTEST_MAIN(TestEventChart)
#include "tst_eventchart.moc"
