#include "chart/chartmetrics.h"
#include "chart/viewroot.h"
#include "headlesstracer.h"
#include "trace/eventcsv.h"
#include "trace/eventquery.h"
#include "trace/node.h"
#include "trace/project.h"
#include "trace/task.h"
#include "tracefixture.h"
#include "views/chartmarks.h"
#include "views/eventlistmodel.h"
#include "views/findbar.h"
#include "views/nodeviewwindow.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QtTest>

#include <tuple>

namespace {

using Window = std::unique_ptr<NodeViewWindow>;
using Rows = QPair<int, int>;

// The list's first selection range, top to bottom; (-1, -1) without one.
Rows listSelection(const NodeViewWindow &window)
{
    const QItemSelection selection = window.eventList()->selectionModel()->selection();
    return selection.isEmpty() ? Rows(-1, -1) : Rows(selection.first().top(), selection.first().bottom());
}

void selectRows(const NodeViewWindow &window, int top, int bottom)
{
    const QAbstractItemModel *model = window.eventList()->model();
    window.eventList()->selectionModel()->select(
        QItemSelection(model->index(top, 0), model->index(bottom, 5)), QItemSelectionModel::ClearAndSelect);
}

} // namespace

class TestNodeViewWindow : public QObject
{
    Q_OBJECT

private:
    HeadlessTracer m_tracer;
    int m_dirs = 0;

    Node *open(const QString &name, const QByteArray &contents, bool newDir = false)
    {
        m_dirs += newDir;
        return m_tracer.load(QString::number(m_dirs), name, contents);
    }

    // Copies of demo nodes 1 to `count` as a fresh project.
    QList<Node *> openProject(int count)
    {
        QList<Node *> nodes;
        for (int i = 1; i <= count; ++i) {
            QFile demo(QStringLiteral(KESTREL_DEMO_DIR "/node%1.trace").arg(i));
            nodes.append(demo.open(QIODevice::ReadOnly)
                             ? open(QStringLiteral("node%1.trace").arg(i), demo.readAll(), i == 1)
                             : nullptr);
        }
        return nodes;
    }

    // A shown window with nodes[0..shown) viewed, the last of them current.
    static Window viewing(const QList<Node *> &nodes, int shown)
    {
        Window window = std::make_unique<NodeViewWindow>(nodes.first()->project(), 1);
        window->show();
        for (int i = 0; i < shown; ++i)
            window->showNode(nodes.at(i));
        return QTest::qWaitForWindowExposed(window.get()) ? std::move(window) : nullptr;
    }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<Node *>();
        qRegisterMetaType<NodeViewWindow *>();
    }

    void switchingNodesRestoresScrollAndSelection_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("through the node chooser") << 0;
        QTest::newRow("through a press in the chart") << 1;
    }

    void switchingNodesRestoresScrollAndSelection()
    {
        QFETCH(int, how);
        QList<Node *> nodes = openProject(1);
        QByteArray events;
        for (int i = 0; i < 60; ++i)
            events += TraceFixture::eventXml(1, quint32(100 * i), 0, 9 << 8);
        nodes.append(open(QStringLiteral("short.trace"), TraceFixture::traceFile(9, "", events)));
        Window window = viewing(nodes, 0);
        QSignalSpy recounts(window.get(), &NodeViewWindow::viewedNodesWasRecounted);
        QSignalSpy curNodes(&m_tracer, &Tracer::curNode_Changed);
        QSignalSpy listScrolls(window.get(), &NodeViewWindow::eventListScrolled);
        QScrollBar *bar = window->eventList()->verticalScrollBar();
        // The short node's list is scrolled to its end, where a switch from the long one leaves the bar.
        int scroll[2] = {1500, 0};
        const Rows selection[2] = {{10, 12}, {27, 27}};
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(window->showNode(nodes.at(i)), QString());
            bar->setValue(i == 0 ? scroll[0] : bar->maximum());
            scroll[i] = bar->value();
            selectRows(*window, selection[i].first, selection[i].second);
        }
        QCOMPARE(recounts.size(), 2);

        for (int i : {0, 1, 0}) {
            if (how == 0) {
                window->nodeChooser()->setCurrentIndex(i);
            } else { // what a press on the node's row in the chart does
                window->viewTree()->setCurrentNode(nodes.at(i));
                emit window->viewTree()->currentNodeWasChanged(nodes.at(i));
            }
            QCOMPARE(window->currentNode(), nodes.at(i));
            QCOMPARE(curNodes.last(),
                     QVariantList({QVariant::fromValue(nodes.at(i)), QVariant::fromValue(window.get())}));
            QCOMPARE(
                QList<int>({window->eventList()->model()->rowCount(), window->nodeChooser()->currentIndex()}),
                QList<int>({nodes.at(i)->eventCount(), i}));
            // The list's scroll comes back and reaches the chart, even when the bar already stands there.
            const int listFirst = window->viewStates().value(nodes.at(i)->traceFileName()).listFirst;
            QCOMPARE(QList<int>({bar->value(), listFirst, listScrolls.last().at(0).toInt()}),
                     QList<int>(3, scroll[i]));
            QCOMPARE(listSelection(*window), selection[i]);
        }
        // A node of another project is refused, even under a file name the window shows.
        Node *stranger = open(QStringLiteral("node1.trace"),
                              TraceFixture::traceFile(7, "", TraceFixture::eventXml(1, 50)), true);
        QCOMPARE(window->showNode(stranger),
                 QStringLiteral("Node 'node1.trace' doesn't belong to this Project and can't be viewed."));
        QCOMPARE(window->currentNode(), nodes.at(0));
        // A node shown again is not added again.
        QCOMPARE(window->viewedNodeCount(), 2);
        QCOMPARE(window->nodeCountLabel()->text(), QStringLiteral("2"));
    }

    void selectionsReachTheTracerAndTheOtherSide_data()
    {
        // The chart's selection, reported twice; or, with (-2, -2), two clicks in the list: on row 3 (with
        // shift) or 7, then with `modifier` on row 7.
        QTest::addColumn<Rows>("chart");
        QTest::addColumn<Qt::KeyboardModifier>("modifier");
        QTest::addColumn<int>("category");
        QTest::addColumn<Rows>("rows");
        const Rows clicks(-2, -2);
        QTest::newRow("one list row makes its event's task current")
            << clicks << Qt::NoModifier << 10 << Rows(7, 7);
        QTest::newRow("list rows 3 down to 7 give the node and the range")
            << clicks << Qt::ShiftModifier << 9 << Rows(3, 7);
        QTest::newRow(
            "a range the chart dragged leftwards to the first event reaches the list once, top to bottom")
            << Rows(9, 0) << Qt::NoModifier << 9 << Rows(0, 9);
        QTest::newRow("a range from the first event dragged rightwards")
            << Rows(0, 2) << Qt::NoModifier << 9 << Rows(0, 2);
        QTest::newRow("a chart press before the node's start clears the list once")
            << Rows(-1, 6) << Qt::NoModifier << 255 << Rows(-1, -1);
    }

    void selectionsReachTheTracerAndTheOtherSide()
    {
        QFETCH(Rows, chart);
        QFETCH(Qt::KeyboardModifier, modifier);
        QFETCH(int, category);
        QFETCH(Rows, rows);
        Node *node = openProject(1).first();
        Window window = viewing({node}, 1);
        selectRows(*window, 2, 3);
        QSignalSpy items(&m_tracer, &Tracer::curTracerItem_Changed);
        QSignalSpy toChart(window.get(), &NodeViewWindow::selectionWasChanged);

        const bool fromChart = chart.first != -2;
        for (int round = 0; round < 2; ++round) {
            if (fromChart) { // as a press or a drag in the chart does it: its record, then the signal
                NodeViewState &state = (*window->chart()->viewStates())[node->traceFileName()];
                std::tie(state.selFirst, state.selLast) = chart;
                emit window->chart()->selectionWasChanged(chart.first, chart.second);
            } else {
                QTableView *list = window->eventList();
                const int row = round == 0 && modifier == Qt::ShiftModifier ? 3 : 7;
                QTest::mouseClick(list->viewport(), Qt::LeftButton, round ? modifier : Qt::NoModifier,
                                  list->visualRect(list->model()->index(row, 1)).center());
            }
        }

        TracerItem *expected = category == TracerItem::TASK_EVENT_RANGE ? node : nullptr;
        if (category == TracerItem::TASK_EVENT)
            QVERIFY((expected = node->task(node->event(rows.first)->currentTask)));
        QCOMPARE(qvariant_cast<TracerItem *>(items.last().at(0)), expected);
        QCOMPARE(items.last().mid(1),
                 QVariantList({QVariant::fromValue(TracerItem::TracerItemCategory(category)), rows.first,
                               rows.second}));
        QCOMPARE(toChart.last(), QVariantList({rows.first, rows.second}));
        QCOMPARE(listSelection(*window), rows);
        if (fromChart) { // once, and the chart keeps its own order
            QCOMPARE(QList<int>({int(toChart.size()), int(items.size())}), QList<int>({1, 1}));
            QCOMPARE(window->viewStates().value(node->traceFileName()).selFirst, chart.first);
        }
    }

    void listAndChartScrollTogetherWithoutEcho()
    {
        Node *node = openProject(1).first();
        Window window = viewing({node}, 1);
        QScrollBar *listBar = window->eventList()->verticalScrollBar();
        QScrollBar *chartBar = window->chart()->horizontalScrollBar();
        QSignalSpy toChart(window.get(), &NodeViewWindow::eventListScrolled);
        QSignalSpy fromChart(window->chart(), &EventChart::eventChartScrolled);

        chartBar->setValue(chartBar->maximum() / 2);
        const int first = fromChart.value(0).value(0).toInt();
        QVERIFY(fromChart.size() == 1 && first > 0 && toChart.isEmpty());
        QCOMPARE(QList<int>({listBar->value(), window->viewStates().value(node->traceFileName()).listFirst}),
                 QList<int>(2, first));

        window->chart()->viewport()->repaint();
        const int chartBefore = chartBar->value();
        listBar->setValue(first + 500);
        QVERIFY(toChart.size() == 1 && chartBar->value() > chartBefore && fromChart.size() == 1);
    }

    void findKeysSelectMatchesThatTheChartFollows_data()
    {
        QTest::addColumn<QList<QKeyCombination>>("keys"); // in the query line after typing
        QTest::addColumn<int>("match");                   // the selected one; -1 the last
        const QKeyCombination enter(Qt::Key_Return);
        QTest::newRow("Enter selects the first match, F3 the next")
            << QList<QKeyCombination>{enter, QKeyCombination(Qt::Key_F3)} << 1;
        QTest::newRow("Shift+F3 steps back")
            << QList<QKeyCombination>{enter, QKeyCombination(Qt::Key_F3), Qt::SHIFT | Qt::Key_F3} << 0;
        QTest::newRow("Shift+Enter before the first match wraps to the last")
            << QList<QKeyCombination>{enter, Qt::SHIFT | Qt::Key_Return} << -1;
    }

    void findKeysSelectMatchesThatTheChartFollows()
    {
        QFETCH(QList<QKeyCombination>, keys);
        QFETCH(int, match);
        Node *node = openProject(1).first();
        Window window = viewing({node}, 1);
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        // A low chart scrolled to its last row: a match's task row lies above.
        window->resize(window->width(), 150);
        QApplication::processEvents();
        QScrollBar *rows = window->chart()->verticalScrollBar();
        rows->setValue(rows->maximum());
        window->eventList()->setFocus();
        QTest::keyClick(window->eventList(), Qt::Key_F, Qt::ControlModifier);
        QLineEdit *edit = window->findBar()->queryEdit();
        QVERIFY(!window->findBar()->isHidden() && edit->hasFocus());
        QTest::keyClicks(edit, QStringLiteral("type:ServiceRequest"));
        for (const QKeyCombination &key : keys)
            QTest::keyClick(edit, key.key(), key.keyboardModifiers());

        const std::vector<int> expected = EventQuery(QStringLiteral("type:ServiceRequest"), *node).matchAll();
        QVERIFY(expected.size() > 2 && window->matches() == expected);
        QCOMPARE(window->chart()->marks()->matches(), expected);
        const int position = match < 0 ? int(expected.size()) - 1 : match;
        const int event = expected[size_t(position)];
        QCOMPARE(listSelection(*window), Rows(event, event));
        const ViewItem *task =
            window->viewTree()->nodeList().first()->taskTrain()->childById(node->event(event)->currentTask);
        const int top = task->row() * ChartMetrics::rowHeight;
        QVERIFY2(rows->maximum() > 0 && top >= rows->value() &&
                     top + ChartMetrics::rowHeight <= rows->value() + window->chart()->viewport()->height(),
                 "the chart shows the match's task row");
        const NodeViewState state = window->viewStates().value(node->traceFileName());
        QCOMPARE(Rows(state.selFirst, state.selLast), Rows(event, event));
        QCOMPARE(window->findBar()->statusLabel()->text(),
                 QStringLiteral("%1 of %2 matches").arg(position + 1).arg(expected.size()));

        QTest::keyClick(edit, Qt::Key_Escape);
        QVERIFY(window->findBar()->isHidden() && window->matches().empty());
        QVERIFY(window->chart()->marks()->matches().empty());
    }

    void theFilteredListMapsSelectionsAndCopiesRows()
    {
        Node *node = openProject(1).first();
        Window window = viewing({node}, 1);
        window->findBar()->open();
        window->findBar()->queryEdit()->setText(QStringLiteral("type:ServiceRequest"));
        window->findBar()->flush();
        window->findBar()->filterBox()->setChecked(true);
        const std::vector<int> &matches = window->matches();
        const QAbstractItemModel *model = window->eventList()->model();
        QCOMPARE(model->rowCount(), int(matches.size()));
        QCOMPARE(model->index(1, EventListModel::NUMBER).data().toInt(), matches[1] + 1);

        // The chart's selection reaches the rows inside it, or none; the chart keeps its own.
        QSignalSpy toChart(window.get(), &NodeViewWindow::selectionWasChanged);
        for (const auto &[first, last, rows] : {std::tuple(matches[1], matches[2], Rows(1, 2)),
                                                std::tuple(matches[1] + 1, matches[1] + 1, Rows(-1, -1)),
                                                std::tuple(matches[2], matches[0], Rows(0, 2))}) {
            emit window->chart()->selectionWasChanged(first, last);
            QCOMPARE(listSelection(*window), rows);
        }
        QVERIFY(toChart.isEmpty());
        // A list selection reaches the chart as events.
        selectRows(*window, 1, 1);
        QCOMPARE(toChart.last(), QVariantList({matches[1], matches[1]}));

        selectRows(*window, 0, 1);
        window->eventList()->setFocus();
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window->eventList(), Qt::Key_C, Qt::ControlModifier);
        const QMimeData *copied = QGuiApplication::clipboard()->mimeData();
        const QString csv = EventCsv::rows(*node, {matches[0], matches[1]});
        QCOMPARE(copied->text(), csv);
        QCOMPARE(copied->data(QStringLiteral("text/csv")), csv.toUtf8());

        window->findBar()->filterBox()->setChecked(false);
        QCOMPARE(model->rowCount(), node->eventCount());
        QCOMPARE(listSelection(*window), Rows(matches[0], matches[1]));
    }

    void numberColumnsWidenToTheNodesLargestNumbers()
    {
        // Node 5 has a thousand events, node 6 an hour and more of one task: markers after one task
        // switch, all at once but the last, so Tc runs from 0 to the last time (usec).
        QList<Node *> nodes;
        for (const auto &[id, count, lastTime] : {std::tuple(5, 1000, 10u), std::tuple(6, 3, 4000000000u)}) {
            const QByteArray xml = TraceFixture::eventXml(0, 0, 0, id << 8 | 1) +
                                   TraceFixture::eventXml(16, 0).repeated(count - 2) +
                                   TraceFixture::eventXml(16, lastTime);
            nodes << open(QStringLiteral("n%1.trace").arg(id),
                          TraceFixture::traceFile(id, "<tasks><task id=\"1\" name=\"T\"/></tasks>\n", xml),
                          id == 5);
        }
        Window window = viewing(nodes, 0);
        QTableView *list = window->eventList();
        // Large digits in the cells, so that a few of them outgrow the least widths;
        // the header keeps its font and with it its least section size.
        QFont font = list->font();
        list->horizontalHeader()->setFont(font);
        font.setPixelSize(30);
        list->setFont(font);

        // The list's own least widths, which the header may raise to its least section size.
        const int minimum = qMax(50, list->horizontalHeader()->minimumSectionSize());
        // The first node shown sets the widths anew, the second one only widens them.
        for (const int shown : {0, 1}) {
            window->showNode(nodes.at(shown));
            for (const int column : {EventListModel::NUMBER, EventListModel::TIMECUT}) {
                // What the list's own measure asks for its widest cell.
                const int needed = static_cast<const QAbstractItemView *>(list)->sizeHintForColumn(column);
                QCOMPARE(needed > minimum,
                         column == (shown ? EventListModel::TIMECUT : EventListModel::NUMBER));
                QVERIFY2(list->columnWidth(column) >= needed, qPrintable(QString::number(column)));
            }
            QCOMPARE(list->columnWidth(EventListModel::TIMECUT) == minimum, shown == 0);
        }
    }

    void titleShowsANumberOtherThanZero()
    {
        Project *project = openProject(1).first()->project();
        NodeViewWindow window(project, 12);
        const auto titles = [&window] {
            return QStringList({window.windowTitle(), window.viewAction()->text()});
        };
        QCOMPARE(titles(), QStringList(2, project->path() + QStringLiteral(" (12)")));
        window.setNumber(0);
        QCOMPARE(titles(), QStringList(2, project->path()));
    }

    void closingWhatIsViewedLeavesNothingDangling_data()
    {
        QTest::addColumn<int>("shown"); // the last one is current
        QTest::addColumn<int>("how");   // 0: close button, 1: the project drops node 0, 2: the project closed
        QTest::addColumn<int>("current"); // the current node after; -1: none
        QTest::newRow("the close button on the only node") << 1 << 0 << -1;
        QTest::newRow("the close button on the current of two") << 2 << 0 << 0;
        QTest::newRow("a node closed that is not current") << 2 << 1 << 1;
        QTest::newRow("the project closed") << 2 << 2 << -1;
    }

    void closingWhatIsViewedLeavesNothingDangling()
    {
        QFETCH(int, shown);
        QFETCH(int, how);
        QFETCH(int, current);
        const QList<Node *> nodes = openProject(2);
        QPointer<Project> project = nodes.first()->project();
        QPointer<Node> remaining = current >= 0 ? nodes.at(current) : nullptr;
        Window window = viewing(nodes, shown);
        selectRows(*window, 4, 4); // a task of the current node is the current item
        QSignalSpy closeRequests(window.get(), &NodeViewWindow::viewMustBeClosed);

        if (how == 0)
            window->closeNodeButton()->click();
        else if (how == 1)
            project->removeNode(nodes.first());
        else
            m_tracer.removeProject(project);

        // Close requests, viewed nodes, view states, chooser entries and the project's nodes.
        const int left = current >= 0 ? shown - 1 : 0;
        QCOMPARE(QList<int>({int(closeRequests.size()), window->viewedNodeCount(),
                             int(window->viewStates().size()), window->nodeChooser()->count(),
                             project ? project->nodeCount() : 0}),
                 QList<int>({left == 0 ? 1 : 0, left, left, left, 2 - how}));
        QCOMPARE(window->currentNode(), remaining.data());
        // Under the sanitizers none of this may read a freed node.
        window->chart()->viewport()->repaint();
        window->chart()->horizontalScrollBar()->setValue(window->chart()->horizontalScrollBar()->maximum());
        window->resize(800, 600);
        QSignalSpy closing(window.get(), &NodeViewWindow::viewClosing);
        window.reset();
        QCOMPARE(closing.size(), 1);
    }
};

QTEST_MAIN(TestNodeViewWindow)
#include "tst_nodeviewwindow.moc"
