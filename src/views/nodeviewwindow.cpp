#include "views/nodeviewwindow.h"

#include "app/tracer.h"
#include "chart/viewroot.h"
#include "trace/node.h"
#include "trace/project.h"
#include "trace/task.h"
#include "views/eventlistmodel.h"
#include "views/findbar.h"
#include "views/statisticswindow.h"

#include <QComboBox>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMdiArea>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// Pixels, columns 0 to 5 of the event list.
constexpr std::array<int, 6> columnWidths = {50, 80, 25, 35, 55, 50};

QChar widestDigit(const QFontMetricsF &metrics)
{
    QChar widest = QLatin1Char('0');
    for (char digit = '1'; digit <= '9'; ++digit) {
        if (metrics.horizontalAdvance(QLatin1Char(digit)) > metrics.horizontalAdvance(widest))
            widest = QLatin1Char(digit);
    }
    return widest;
}

QIcon nodeViewIcon()
{
    return QIcon(QStringLiteral(":/interface/resources/node_view_16.png"));
}

} // namespace

NodeViewWindow::NodeViewWindow(Project *project, int number, QWidget *parent)
    : ViewWindow(NODE_VIEW, parent)
    , m_project(project)
    , m_projectPath(project ? project->path() : QString())
    , m_number(number)
    , m_viewTree(new ViewRoot)
{
    setWindowTitle(titleText());
    setWindowFlags(Qt::Tool | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint);
    setWindowIcon(nodeViewIcon());
    resize(700, 500);
    viewAction()->setText(titleText());

    // Rows have one fixed height and columns fixed widths: nothing here may
    // walk a million rows to measure them.
    m_eventList = new QTableView;
    m_eventList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_eventList->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_eventList->verticalHeader()->setDefaultSectionSize(rowHeight);
    m_eventList->verticalHeader()->hide();
    setColumnWidths();
    m_eventList->resize(305, 210);
    m_eventList->horizontalHeader()->setStretchLastSection(true);

    m_chart = new EventChart(m_viewTree.data(), &m_viewStates, m_projectPath, this);

    m_closeNodeBtn = new QPushButton;
    m_closeNodeBtn->setFlat(true);
    m_closeNodeBtn->setIcon(QIcon(QStringLiteral(":/interface/resources/close_16.png")));
    m_closeNodeBtn->setFixedSize(24, 24);
    m_closeNodeBtn->setToolTip(QStringLiteral("Close Node"));

    m_nodeCountLabel = new QLabel;
    m_nodeCountLabel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_nodeCountLabel->setMargin(6);
    m_nodeCountLabel->setScaledContents(true);
    m_nodeCountLabel->setToolTip(QStringLiteral("Number of open Nodes in the View"));
    updateNodeCount();

    m_nodeChooser = new QComboBox;

    auto *chooserRow = new QHBoxLayout;
    chooserRow->addWidget(m_nodeCountLabel, 0);
    chooserRow->addWidget(m_nodeChooser, 1);
    chooserRow->addWidget(m_closeNodeBtn, 0);
    auto *panel = new QWidget;
    auto *panelLayout = new QVBoxLayout(panel);
    panelLayout->addLayout(chooserRow, 0);
    panelLayout->addWidget(m_eventList, 1);
    panelLayout->setSpacing(2);
    panelLayout->setContentsMargins(2, 2, 2, 2);
    panel->resize(310, 200);
    m_splitter = new QSplitter;
    m_splitter->addWidget(panel);
    m_splitter->addWidget(m_chart);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_findBar = new FindBar;
    m_findBar->hide();
    auto *body = new QWidget;
    auto *bodyLayout = new QVBoxLayout(body);
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    bodyLayout->setSpacing(0);
    bodyLayout->addWidget(m_splitter, 1);
    bodyLayout->addWidget(m_findBar, 0);
    setWidget(body);

    connect(m_closeNodeBtn, &QPushButton::clicked, this, &NodeViewWindow::on_closeNodeBtn_clicked);
    connect(m_nodeChooser, &QComboBox::currentIndexChanged, this,
            [this](int index) { on_currentIndexChanged(m_nodeChooser->itemText(index)); });
    if (project) {
        connect(project, &Project::nodeUnderRemoving, this, &NodeViewWindow::on_nodeUnderRemoving);
        connect(project, &Project::projectUnderRemoving, this, &NodeViewWindow::on_projectUnderRemoving);
    }
    setListModel(nullptr);
    connect(m_viewTree.data(), &ViewRoot::currentNodeWasChanged, this,
            &NodeViewWindow::on_currentNodeWasChanged);
    connect(m_chart, &EventChart::eventChartStateChanged, this, &NodeViewWindow::on_eventChartStateChanged);
    connect(m_chart, &EventChart::selectionWasChanged, this, &NodeViewWindow::on_selectionWasChangedOutside);
    connect(m_eventList->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &NodeViewWindow::on_eventListScrolled);
    connect(m_chart, &EventChart::eventChartScrolled, this, &NodeViewWindow::on_eventChartScrolled);
    connect(m_chart, &EventChart::statisticsRequested, this, &NodeViewWindow::showStatistics);
    connect(this, &NodeViewWindow::selectionWasChanged, m_chart, &EventChart::on_selectionWasChangedOutside);
    connect(this, &NodeViewWindow::eventListScrolled, m_chart, &EventChart::on_eventListScrolled);
    if (theTracer)
        connect(this, &NodeViewWindow::curNode_Changed, theTracer, &Tracer::on_curNode_Changed);
    connectFind();
}

NodeViewWindow::~NodeViewWindow()
{
    emit viewClosing(this);
    disconnect();
    if (m_project)
        m_project->disconnect(this);
    // The widgets go first, while the models they show and the tree and
    // table the chart reads still exist, and while no slot of this window can
    // be reached half destroyed.
    delete widget();
    m_viewStates.clear();
    m_listModels.clear();
    m_viewTree.reset();
}

QString NodeViewWindow::showNode(Node *node)
{
    if (!node)
        return {};
    const QString name = node->traceFileName();
    // The node itself, not just its file name: a node of another project
    // would never be let go when it is closed.
    if (!m_project || m_project->node(name) != node)
        return QStringLiteral("Node '%1' doesn't belong to this Project and can't be viewed.").arg(name);

    const int viewed = m_nodeChooser->findData(name);
    if (viewed >= 0) {
        {
            const QSignalBlocker blocker(m_nodeChooser);
            m_nodeChooser->setCurrentIndex(viewed);
        }
        if (m_viewTree->currentNode() != node) {
            m_viewTree->setCurrentNode(node);
            emit m_viewTree->currentNodeWasChanged(node);
        }
    } else {
        NodeViewState state;
        state.node = node;
        state.listLast = visibleRows();
        m_viewStates.insert(name, state);
        m_listModels.insert(name, QSharedPointer<EventListModel>::create(node));
        {
            // The node becomes current below, once it has its chart rows.
            const QSignalBlocker blocker(m_nodeChooser);
            m_nodeChooser->addItem(nodeViewIcon(), node->label(), name);
            m_nodeChooser->setCurrentIndex(m_nodeChooser->count() - 1);
        }
        setListModel(m_listModels.value(name).data());

        m_viewTree->addViewedNode(node);
        m_viewTree->setCurrentNode(node);
        emit m_viewTree->currentNodeWasChanged(node);

        repaintChart();
        if (viewedNodeCount() == 1)
            setColumnWidths();
    }
    updateNodeCount();
    emit viewedNodesWasRecounted(this);
    return {};
}

void NodeViewWindow::setNumber(int number)
{
    m_number = number;
    viewAction()->setText(titleText());
    setWindowTitle(titleText());
}

QString NodeViewWindow::titleText() const
{
    if (m_number == 0)
        return m_projectPath;
    return m_projectPath + QStringLiteral(" (") + QString::number(m_number) + QLatin1Char(')');
}

void NodeViewWindow::setLinearMode(bool linear)
{
    m_chart->setLinearMode(linear);
}

bool NodeViewWindow::isLinearMode() const
{
    return m_chart->isLinearMode();
}

void NodeViewWindow::setSynchronized(bool synchronized)
{
    m_chart->setSynchronized(synchronized);
}

bool NodeViewWindow::isSynchronized() const
{
    return m_chart->isSynchronized();
}

void NodeViewWindow::relayout()
{
    m_chart->relayout();
}

bool NodeViewWindow::zoomIn()
{
    return m_chart->zoomIn();
}

bool NodeViewWindow::zoomOut()
{
    return m_chart->zoomOut();
}

Project *NodeViewWindow::project() const
{
    return m_project.data();
}

Node *NodeViewWindow::currentNode() const
{
    return m_viewTree ? m_viewTree->currentNode() : nullptr;
}

int NodeViewWindow::viewedNodeCount() const
{
    return m_viewTree ? m_viewTree->childCount() : 0;
}

void NodeViewWindow::on_closeNodeBtn_clicked()
{
    if (m_nodeChooser->count() == 0 || !m_project)
        return;
    if (Node *node = m_project->node(m_nodeChooser->currentData().toString()))
        on_nodeUnderRemoving(node);
}

void NodeViewWindow::on_currentIndexChanged(const QString &text)
{
    if (text.isEmpty() || !m_project)
        return;
    const int index = m_nodeChooser->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0)
        return;
    const QString name = m_nodeChooser->itemData(index).toString();
    const Node *current = m_viewTree->currentNode();
    if (current && current->traceFileName() == name)
        return;
    Node *node = m_project->node(name);
    if (!node)
        return;
    m_viewTree->setCurrentNode(node);
    emit m_viewTree->currentNodeWasChanged(node);
}

void NodeViewWindow::on_nodeUnderRemoving(Node *node)
{
    if (!node)
        return;
    const QString name = node->traceFileName();
    const int index = m_nodeChooser->findData(name);
    if (index < 0)
        return;

    // The list lets go of the node's model before the model goes with its record.
    if (m_viewTree->currentNode() == node) {
        setListModel(nullptr);
        m_viewTree->setCurrentNode(nullptr);
    }
    {
        // The current node is chosen below, once the node is out of the tree.
        const QSignalBlocker blocker(m_nodeChooser);
        m_nodeChooser->removeItem(index);
    }
    m_viewStates.remove(name);
    m_listModels.remove(name);
    m_viewTree->removeViewedNode(node);
    updateNodeCount();
    repaintChart();
    if (viewedNodeCount() == 0) {
        emit viewMustBeClosed(this);
        return;
    }
    if (Node *next = m_project ? m_project->node(m_nodeChooser->currentData().toString()) : nullptr) {
        m_viewTree->setCurrentNode(next);
        emit m_viewTree->currentNodeWasChanged(next);
    }
    emit viewedNodesWasRecounted(this);
}

void NodeViewWindow::on_projectUnderRemoving()
{
    releaseNodes();
    emit viewMustBeClosed(this);
}

void NodeViewWindow::on_selectionChanged(const QItemSelection & /*selected*/,
                                         const QItemSelection & /*deselected*/)
{
    if (m_selectionEcho)
        return;
    const QItemSelection selection = m_eventList->selectionModel()->selection();
    const EventListModel *model = listModel();
    if (selection.isEmpty() || !m_viewTree->currentNode() || !model) {
        setTracerSelection(-1, -1);
        emit selectionWasChanged(-1, -1);
    } else {
        const int first = model->eventAt(selection.first().top());
        const int last = model->eventAt(selection.first().bottom());
        setTracerSelection(first, last);
        emit selectionWasChanged(first, last);
    }
    updateMatchCount();
}

void NodeViewWindow::setTracerSelection(int first, int last)
{
    Node *node = m_viewTree->currentNode();
    if (!theTracer)
        return;
    if (first < 0 || !node) {
        theTracer->setCurTracerItem(nullptr, TracerItem::NO_SELECTION, -1, -1);
    } else if (first != last) {
        theTracer->setCurTracerItem(node, TracerItem::TASK_EVENT_RANGE, first, last);
    } else {
        const TraceEvent *event = node->event(first);
        Task *task = event ? node->task(event->currentTask) : nullptr;
        theTracer->setCurTracerItem(task, TracerItem::TASK_EVENT, first, first);
    }
}

void NodeViewWindow::on_currentNodeWasChanged(Node *node)
{
    if (!node)
        return;
    const auto state = m_viewStates.find(node->traceFileName());
    if (state == m_viewStates.end() || state->node != node)
        return;
    // Taken before the list changes model: the scroll bar reports the new
    // model's range, which is no scroll of the user's.
    const int listFirst = state->listFirst;
    const int selFirst = state->selFirst;
    const int selLast = state->selLast;
    setListModel(m_listModels.value(state.key()).data());
    runQuery();

    const QString label = node->label();
    if (m_nodeChooser->currentText() != label) {
        const int index = m_nodeChooser->findText(label, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index < 0)
            return;
        m_nodeChooser->setCurrentIndex(index);
    }

    QScrollBar *bar = m_eventList->verticalScrollBar();
    const int listRow = rowForEvent(listFirst);
    if (bar->value() == listRow)
        on_eventListScrolled(listRow);
    else
        bar->setValue(listRow);
    on_selectionWasChangedOutside(selFirst, selLast);
    emit curNode_Changed(node, this);
}

void NodeViewWindow::on_action_View_triggered()
{
    if (QMdiArea *area = mdiArea())
        area->setActiveSubWindow(this);
}

void NodeViewWindow::on_eventChartStateChanged(EventChart::EventChartState ecs)
{
    switch (ecs) {
    case EventChart::MODE_CHANGED:
    case EventChart::SCALE_CHANGED:
    case EventChart::LAYOUT_CHANGED:
        emit viewStateChanged(ViewStateItem(ecs));
        break;
    }
}

void NodeViewWindow::on_selectionWasChangedOutside(int selFirst, int selLast)
{
    QItemSelectionModel *selectionModel = m_eventList->selectionModel();
    if (selFirst < 0 || selLast < 0) {
        selectionModel->clearSelection();
        return;
    }
    // The chart keeps the order the user dragged in; the list's ranges run
    // top to bottom.
    const int top = std::min(selFirst, selLast);
    const int bottom = std::max(selFirst, selLast);
    if (const EventListModel *filtered = listModel(); filtered && filtered->isFiltered()) {
        selectRowsOfEvents(top, bottom);
        setTracerSelection(top, bottom);
        updateMatchCount();
        return;
    }
    const QItemSelection current = selectionModel->selection();
    if (!current.isEmpty() && current.first().top() == top && current.first().bottom() == bottom)
        return;
    const QAbstractItemModel *model = m_eventList->model();
    if (!model)
        return;
    const QItemSelection rows(model->index(top, 0), model->index(bottom, EventListModel::columns - 1));
    selectionModel->select(rows, QItemSelectionModel::ClearAndSelect);
}

ViewNode *NodeViewWindow::viewedRowOf(int nodeId) const
{
    const QList<ViewNode *> &rows = m_viewTree->nodeList();
    const auto row = std::find_if(rows.cbegin(), rows.cend(), [nodeId](const ViewNode *viewed) {
        return viewed->node() && viewed->node()->nodeId() == nodeId;
    });
    return row == rows.cend() ? nullptr : *row;
}

void NodeViewWindow::showEventRow(const ViewNode &row, const TraceEvent &event)
{
    const ViewItem *task = row.taskTrain() ? row.taskTrain()->childById(event.currentTask) : nullptr;
    m_chart->ensureRowVisible(task ? *task : row);
}

bool NodeViewWindow::goToEvent(int nodeId, int eventIndex)
{
    ViewNode *row = viewedRowOf(nodeId);
    if (!row || eventIndex < 0 || eventIndex >= row->node()->eventCount())
        return false;
    Node *node = row->node();
    if (node != currentNode())
        showNode(node);
    on_selectionWasChangedOutside(eventIndex, eventIndex);
    // The chart first: scrolled in step with it, the list then only moves
    // when the event is not among its rows.
    const TraceEvent *event = node->event(eventIndex);
    m_chart->centreOn(double(event->offset) + row->shift());
    showEventRow(*row, *event);
    // A filtered list may not show the event: it then stays where it is.
    if (const EventListModel *model = listModel(); model && model->rowOf(eventIndex) >= 0)
        m_eventList->scrollTo(model->index(model->rowOf(eventIndex), 0));
    return true;
}

StatisticsWindow *NodeViewWindow::showStatistics()
{
    Node *node = currentNode();
    const NodeViewState *state = currentState();
    if (!node || !state)
        return nullptr;
    const bool selection = state->selFirst >= 0 && state->selLast >= 0 && state->selFirst != state->selLast;
    const EventRange range =
        selection ? EventRange::of(*node, state->selFirst, state->selLast) : EventRange::whole(*node);
    auto *window = new StatisticsWindow(this, *node, range);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    return window;
}

void NodeViewWindow::on_eventListScrolled(int value)
{
    const EventListModel *model = listModel();
    if (model && model->isFiltered()) {
        // The events of the first and the last visible row; past the last
        // row, the node's last event.
        const int lastRow = std::min(value + visibleRows(), model->rowCount() - 1);
        const int last = lastRow > value ? model->eventAt(lastRow) : -1;
        value = std::max(0, model->eventAt(value));
        if (NodeViewState *state = currentState()) {
            state->listFirst = value;
            state->listLast = last >= 0 ? last : model->node()->eventCount() - 1;
        }
    } else if (NodeViewState *state = currentState()) {
        state->listFirst = value;
        state->listLast = visibleRows() + value;
    }
    if (m_scrollEcho) {
        m_scrollEcho = false;
        return;
    }
    emit eventListScrolled(value);
}

void NodeViewWindow::on_eventChartScrolled(int firstEvent)
{
    const NodeViewState *state = currentState();
    if (!state || firstEvent == state->listFirst)
        return;
    scrollListQuietly(rowForEvent(firstEvent));
}

void NodeViewWindow::scrollListQuietly(int row)
{
    QScrollBar *bar = m_eventList->verticalScrollBar();
    // A value the bar cannot take, or already has, brings no valueChanged
    // that would clear the flag: it would swallow the user's next scroll.
    const int target = qBound(bar->minimum(), row, bar->maximum());
    if (target == bar->value())
        return;
    m_scrollEcho = true;
    bar->setValue(target);
    m_scrollEcho = false;
}

void NodeViewWindow::resizeEvent(QResizeEvent *event)
{
    if (const NodeViewState *state = currentState())
        on_eventListScrolled(state->listFirst);
    ViewWindow::resizeEvent(event);
}

NodeViewState *NodeViewWindow::currentState()
{
    const Node *node = currentNode();
    if (!node)
        return nullptr;
    const auto state = m_viewStates.find(node->traceFileName());
    return state == m_viewStates.end() ? nullptr : &state.value();
}

int NodeViewWindow::visibleRows() const
{
    return m_eventList->viewport()->height() / m_eventList->verticalHeader()->defaultSectionSize();
}

void NodeViewWindow::setListModel(EventListModel *model)
{
    QItemSelectionModel *old = m_eventList->selectionModel();
    if (old && m_eventList->model() == model)
        return;
    if (old)
        old->disconnect(this);
    {
        // The bar follows the new model's range; that is no scroll of the user's.
        const QSignalBlocker blocker(m_eventList->verticalScrollBar());
        auto *previous = qobject_cast<EventListModel *>(m_eventList->model());
        m_eventList->setModel(model);
        m_eventList->doItemsLayout();
        // A model not shown keeps no filter: the find bar sets it again when
        // the model comes back.
        if (previous && previous != model && previous->isFiltered())
            previous->setRowFilter(std::nullopt);
    }
    // The view keeps a replaced selection model alive as its child, one per switch.
    delete old;
    connect(m_eventList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &NodeViewWindow::on_selectionChanged);
    widenNumberColumns();
}

void NodeViewWindow::setColumnWidths()
{
    for (int column = 0; column < int(columnWidths.size()); ++column)
        m_eventList->setColumnWidth(column, columnWidths[size_t(column)]);
    widenNumberColumns();
}

void NodeViewWindow::widenNumberColumns()
{
    const auto *model = qobject_cast<const EventListModel *>(m_eventList->model());
    if (!model)
        return;
    // Every number of as many digits as the largest fits: in some fonts the
    // digits differ in width, so the widest one stands in every place.
    const QFontMetricsF metrics(m_eventList->font());
    const QChar digit = widestDigit(metrics);
    // The item delegate keeps this margin (pixels) on either side of the text;
    // the grid line takes one pixel of the column.
    const int textMargin =
        m_eventList->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_eventList) + 1;
    const int gridLine = m_eventList->showGrid() ? 1 : 0;
    for (const int column : {EventListModel::NUMBER, EventListModel::TIMECUT}) {
        const QString widest(QString::number(model->largestNumber(column)).size(), digit);
        // Fractions of a pixel round up, as the delegate rounds them.
        const int needed = int(std::ceil(metrics.horizontalAdvance(widest))) + 2 * textMargin + gridLine;
        if (m_eventList->columnWidth(column) < needed)
            m_eventList->setColumnWidth(column, needed);
    }
}

void NodeViewWindow::updateNodeCount()
{
    m_nodeCountLabel->setNum(viewedNodeCount());
}

void NodeViewWindow::repaintChart()
{
    m_chart->relayout();
    m_chart->viewport()->update();
}

void NodeViewWindow::releaseNodes()
{
    setListModel(nullptr);
    m_viewTree->setCurrentNode(nullptr);
    {
        const QSignalBlocker blocker(m_nodeChooser);
        m_nodeChooser->clear();
    }
    while (m_viewTree->childCount() > 0)
        m_viewTree->removeChild(0);
    m_viewTree->removeViewedNode(nullptr); // realigns and renumbers what is left: the root
    m_viewStates.clear();
    m_listModels.clear();
    updateNodeCount();
    repaintChart();
}
