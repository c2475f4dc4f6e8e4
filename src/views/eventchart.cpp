#include "views/eventchart.h"

#include "app/tracer.h"
#include "chart/chartmapper.h"
#include "chart/chartmetrics.h"
#include "chart/logtime.h"
#include "chart/timeruler.h"
#include "chart/timetext.h"
#include "chart/viewroot.h"
#include "trace/node.h"
#include "views/chartexport.h"
#include "views/chartmarks.h"
#include "views/chartnavigator.h"
#include "views/chartoverview.h"
#include "views/chartruler.h"
#include "views/eventchartcanvas.h"
#include "views/eventtooltip.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace {

bool isGroupRow(const ViewItem *item)
{
    return item->kind() == ViewItem::TASK_TRAIN_ITEM || item->kind() == ViewItem::HUB_TRAIN_ITEM;
}

bool isLeafRow(const ViewItem *item)
{
    return item->kind() == ViewItem::TASK_ITEM || item->kind() == ViewItem::HUB_ITEM;
}

// The root's own pointer to the row: a weak copy of it learns when the row goes.
QSharedPointer<ViewNode> sharedRow(const ViewRoot &root, const ViewNode *row)
{
    for (const QSharedPointer<ViewNode> &node : root.nodes()) {
        if (node.data() == row)
            return node;
    }
    return {};
}

} // namespace

EventChart::EventChart(ViewRoot *root, NodeViewStates *viewStates, const QString &title, QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_root(root)
    , m_viewStates(viewStates)
    , m_title(title)
    , m_canvas(new EventChartCanvas(viewport()))
    , m_ruler(new ChartRuler(*this, this))
    , m_overview(new ChartOverview(*this, this))
{
    // The canvas lives in the viewport rather than beside it, so that it
    // never covers the scroll bars and its mouse positions are viewport
    // positions.
    m_canvas->move(0, 0);
    // The ruler and the overview sit in a top margin of the scroll area,
    // outside the viewport: the rows keep their viewport (and canvas)
    // positions, and scrolling the viewport never moves the strips.
    m_renderer.setSettings(ChartSettings::read());
    showStrips();
    m_navigator = new ChartNavigator(this);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);

    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, &EventChart::on_contentWasMoved);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &EventChart::on_contentWasMoved);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, &EventChart::on_eventChartScrolled);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, m_ruler, qOverload<>(&QWidget::update));
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, m_overview, qOverload<>(&QWidget::update));
    connect(m_canvas, &EventChartCanvas::canvasMousePressEvent, this, &EventChart::on_canvasMousePressEvent);
    connect(m_canvas, &EventChartCanvas::canvasMouseMoveEvent, this, &EventChart::on_canvasMouseMoveEvent);
    connect(m_canvas, &EventChartCanvas::canvasMouseReleaseEvent, this,
            &EventChart::on_canvasMouseReleaseEvent);
    connect(m_canvas, &EventChartCanvas::canvasMouseDoubleClickEvent, this,
            &EventChart::on_canvasMouseDoubleClickEvent);
    if (m_root)
        connect(m_root, &ViewRoot::currentNodeWasChanged, this, &EventChart::on_currentNodeWasChanged);
    if (theTracer)
        connect(theTracer, &Tracer::settingsUpdatingNotify, this, &EventChart::on_settingsUpdatingNotify);

    relayout();
    m_marks = new ChartMarks(*this);
}

EventChart::~EventChart()
{
    // Both filter events of this chart and its parts; the QWidget destructor
    // still sends some (focus, leave) when this is no longer an EventChart.
    delete m_navigator;
    delete m_marks;
}

ViewNode *EventChart::dragItem() const
{
    return m_dragItem.toStrongRef().data();
}

void EventChart::setLinearMode(bool linear)
{
    if (!m_timeScale.setLinearMode(linear))
        return;
    relayout();
    emit eventChartStateChanged(MODE_CHANGED);
}

bool EventChart::zoomIn()
{
    return zoomAt(1, zoomAnchor());
}

bool EventChart::zoomOut()
{
    return zoomAt(-1, zoomAnchor());
}

bool EventChart::zoomAt(int steps, int viewportX)
{
    if (steps == 0 || (steps < 0 && !canZoomOut()))
        return false;
    const ViewHistory::Entry before = currentView();
    const double chartX = viewportX - headerShift();
    int scrollValue = before.horizontalScroll;
    for (; steps > 0; --steps)
        scrollValue = m_timeScale.zoomInAt(scrollValue, chartX);
    for (; steps < 0; ++steps) {
        const std::optional<int> zoomed = m_timeScale.zoomOutAt(scrollValue, chartX, viewport()->width(),
                                                                m_root->lengthLin(), m_root->lengthLog());
        if (!zoomed)
            break;
        scrollValue = *zoomed;
    }
    applyView(before, scrollValue);
    return true;
}

int EventChart::zoomAnchor() const
{
    const QPoint mouse = viewport()->mapFromGlobal(QCursor::pos());
    if (viewport()->rect().contains(mouse) && mouse.x() >= headerShift())
        return mouse.x();
    return headerShift() + (viewport()->width() - headerShift()) / 2;
}

void EventChart::fitTime()
{
    if (!m_root)
        return;
    const ViewHistory::Entry before = currentView();
    const int length = m_timeScale.length(m_root->lengthLin(), m_root->lengthLog());
    applyView(before, m_timeScale.fitRange(0.0, double(length), viewport()->width(), headerShift()));
}

bool EventChart::zoomToSelection()
{
    const ViewNode *node = currentViewNode();
    const NodeViewState *state = node ? stateOf(node->node()) : nullptr;
    if (!state || state->selFirst < 0 || state->selLast < 0)
        return zoomToCursors();
    const std::vector<TraceEvent> &events = node->node()->events();
    const int last = qMin(qMax(state->selFirst, state->selLast), int(events.size()) - 1);
    double first = std::numeric_limits<double>::max();
    double end = std::numeric_limits<double>::lowest();
    // Events need not be in time order: the range is the extent of them all.
    for (int i = qMin(state->selFirst, state->selLast); i <= last; ++i) {
        const TraceEvent &e = events[size_t(i)];
        const double start = m_timeScale.logMode() ? double(e.logPosition) : double(e.offset) + node->shift();
        first = qMin(first, start);
        end = qMax(end, start + (m_timeScale.logMode() ? double(e.logDuration) : double(e.duration)));
    }
    if (first > end)
        return false;
    const ViewHistory::Entry before = currentView();
    applyView(before, m_timeScale.fitRange(first, end, viewport()->width(), headerShift()));
    return true;
}

bool EventChart::zoomToCursors()
{
    const std::optional<double> a = m_marks->cursorTime(ChartMarks::CURSOR_A);
    const std::optional<double> b = m_marks->cursorTime(ChartMarks::CURSOR_B);
    if (!a || !b || *a == *b)
        return false;
    double first = std::min(*a, *b);
    double last = std::max(*a, *b);
    if (m_timeScale.logMode()) {
        // The cursors hold the current node's times there.
        const ViewNode *node = currentViewNode();
        first = node ? LogTime::positionAt(*node->node(), first - node->shift()) : -1.0;
        last = node ? LogTime::positionAt(*node->node(), last - node->shift()) : -1.0;
        if (first < 0.0 || last <= first)
            return false;
    }
    applyView(currentView(), m_timeScale.fitRange(first, last, viewport()->width(), headerShift()));
    return true;
}

void EventChart::centreOn(double alignedTimeUs)
{
    double units = alignedTimeUs;
    if (m_timeScale.logMode()) {
        const ViewNode *node = currentViewNode();
        units = node ? LogTime::positionAt(*node->node(), alignedTimeUs - node->shift()) : -1.0;
        if (units < 0.0)
            return;
    }
    const ViewHistory::Entry before = currentView();
    applyView(before, m_timeScale.scrollFor(units, (viewport()->width() - headerShift()) / 2.0));
}

void EventChart::ensureRowVisible(const ViewItem &item)
{
    QScrollBar *bar = verticalScrollBar();
    const int top = item.row() * ChartMetrics::rowHeight;
    const int bottom = top + ChartMetrics::rowHeight;
    if (top < bar->value())
        bar->setValue(top);
    else if (bottom > bar->value() + viewport()->height())
        bar->setValue(bottom - viewport()->height());
}

void EventChart::goToStart()
{
    applyView(currentView(), horizontalScrollBar()->minimum());
}

void EventChart::goToEnd()
{
    applyView(currentView(), horizontalScrollBar()->maximum());
}

bool EventChart::goBack()
{
    const std::optional<ViewHistory::Entry> entry = m_history.back(currentView());
    if (entry)
        restoreView(*entry);
    return entry.has_value();
}

bool EventChart::goForward()
{
    const std::optional<ViewHistory::Entry> entry = m_history.forward(currentView());
    if (entry)
        restoreView(*entry);
    return entry.has_value();
}

double EventChart::timeAtViewportX(int x) const
{
    return m_timeScale.timeAt(x - headerShift(), horizontalScrollBar()->value());
}

QString EventChart::timeTextAt(int viewportX) const
{
    double time = timeAtViewportX(viewportX);
    if (m_timeScale.logMode())
        time = hasCurrentNode() ? LogTime::timeAt(*m_root->currentNode(), float(time)) : -1.0;
    return time < 0.0 ? QString() : TimeText::instant(time);
}

void EventChart::fillContextMenu(QMenu *menu, const QPoint &position)
{
    menu->addAction(QStringLiteral("Zoom to Selection"), this, &EventChart::zoomToSelection);
    menu->addAction(QStringLiteral("Fit Time"), this, &EventChart::fitTime);
    menu->addSeparator();
    menu->addAction(QStringLiteral("Set Cursor A"), m_marks,
                    [this, position] { m_marks->setCursorAt(ChartMarks::CURSOR_A, position.x()); });
    menu->addAction(QStringLiteral("Set Cursor B"), m_marks,
                    [this, position] { m_marks->setCursorAt(ChartMarks::CURSOR_B, position.x()); });
    menu->addAction(QStringLiteral("Add Bookmark"), m_marks, &ChartMarks::addBookmark);
    menu->addSeparator();
    const QString time = timeTextAt(position.x());
    QAction *copy = menu->addAction(QStringLiteral("Copy Time"), this,
                                    [time] { QApplication::clipboard()->setText(time); });
    copy->setEnabled(!time.isEmpty());
    menu->addSeparator();
    menu->addAction(QStringLiteral("Statistics..."), this, &EventChart::statisticsRequested)
        ->setEnabled(hasCurrentNode());
    menu->addAction(QStringLiteral("Export Chart Image..."), this,
                    [this] { ChartExport::exportWithDialog(*this, this); });
}

ViewHistory::Entry EventChart::currentView() const
{
    return {m_timeScale, horizontalScrollBar()->value()};
}

void EventChart::applyView(const ViewHistory::Entry &before, int scrollValue)
{
    relayout();
    horizontalScrollBar()->setValue(scrollValue);
    m_history.leave(before);
    emit historyChanged();
    emit eventChartStateChanged(SCALE_CHANGED);
}

void EventChart::restoreView(const ViewHistory::Entry &entry)
{
    const bool linear = entry.scale.isLinearMode() || (m_root && m_root->nodes().size() > 1);
    const bool modeChanged = linear != isLinearMode();
    m_timeScale = entry.scale;
    m_timeScale.setLinearMode(linear);
    relayout();
    horizontalScrollBar()->setValue(entry.horizontalScroll);
    emit historyChanged();
    emit eventChartStateChanged(modeChanged ? MODE_CHANGED : SCALE_CHANGED);
}

bool EventChart::canZoomOut() const
{
    if (!m_root)
        return false;
    return m_timeScale.canZoomOut(viewport()->width(), m_root->lengthLin(), m_root->lengthLog());
}

void EventChart::zoomTo(float scale, int scrollValue)
{
    if (!(scale > 0.0f) || !std::isfinite(scale))
        return;
    if (m_timeScale.isLinearMode())
        m_timeScale.setLinScale(scale);
    else
        m_timeScale.setLogScale(scale);
    relayout();
    horizontalScrollBar()->setValue(scrollValue);
    emit eventChartStateChanged(SCALE_CHANGED);
}

void EventChart::showStrips()
{
    m_ruler->setVisible(m_renderer.settings().showRuler);
    m_overview->setVisible(m_renderer.settings().showOverview);
    placeRuler();
}

void EventChart::relayout()
{
    // The overview's height follows the node count.
    placeRuler();
    TimeScale::Viewport geometry;
    geometry.chartWidth = viewport()->width();
    geometry.chartHeight = viewport()->height();
    geometry.headerShift = headerShift();
    geometry.rowHeight = ChartMetrics::rowHeight;
    geometry.hasRoot = m_root != nullptr;
    if (m_root) {
        geometry.lengthLin = m_root->lengthLin();
        geometry.lengthLog = m_root->lengthLog();
        geometry.visibleRowCount = ViewRoot::visibleRowCount(m_root);
    }
    const TimeScale::Layout layout = m_timeScale.relayout(geometry);

    m_canvas->setGeometry(0, 0, layout.canvasWidth, layout.canvasHeight);
    horizontalScrollBar()->setPageStep(layout.horizontalPageStep);
    verticalScrollBar()->setPageStep(layout.verticalPageStep);
    // An arrow key or a wheel notch (three steps) moves by rows down and by a
    // tenth of the viewport across, not by single pixels.
    horizontalScrollBar()->setSingleStep(qMax(1, viewport()->width() / 10));
    verticalScrollBar()->setSingleStep(ChartMetrics::rowHeight);
    horizontalScrollBar()->setRange(0, layout.horizontalMaximum);
    verticalScrollBar()->setRange(0, layout.verticalMaximum);
    // Scale, mode, node set and header place all pass through here.
    m_ruler->update();
    m_overview->update();
    emit eventChartStateChanged(EventChartState(layout.state));
}

int EventChart::headerShift() const
{
    return !theTracer || theTracer->externalHeader() ? ChartMetrics::headerWidth : 0;
}

int EventChart::eventAt(const Node *node, float t, int task) const
{
    if (!node || !m_viewStates || !(t >= 0.0f))
        return -1;
    const auto state = m_viewStates->constFind(node->traceFileName());
    if (state == m_viewStates->cend())
        return -1;
    const int first = state->chartFirst;
    const int end = state->chartEnd;
    if (first < 0 || first >= end || end > node->eventCount())
        return -1;

    const std::vector<TraceEvent> &events = node->events();
    const bool logMode = m_timeScale.logMode();
    // Offsets and durations are unsigned 32-bit microseconds; their sum and
    // the truncated time are compared in 64 bits.
    const qint64 micros = qint64(std::min(double(t), 1e18));
    const auto holds = [&](const TraceEvent &event) {
        return logMode
                   ? event.logPosition <= t && t < event.logPosition + event.logDuration
                   : qint64(event.offset) <= micros && micros < qint64(event.offset) + qint64(event.duration);
    };
    const auto found = [task, &events](int i) {
        return task >= 0 && events[size_t(i)].currentTask != task ? -1 : i;
    };
    if (!node->inTimeOrder()) {
        for (int i = first; i < end; ++i) {
            if (holds(events[size_t(i)]))
                return found(i);
        }
        return -1;
    }
    // In time order, each event other than a marker holds the time up to the
    // next such event, and a marker holds none: only the last event at or
    // before t that is no marker can hold it.
    const auto begin = events.cbegin() + first;
    const auto after = std::upper_bound(begin, events.cbegin() + end, t, [&](float, const TraceEvent &event) {
        return logMode ? t < event.logPosition : micros < qint64(event.offset);
    });
    for (int i = int(after - events.cbegin()) - 1; i >= first; --i) {
        if (events[size_t(i)].isMarker == 0)
            return holds(events[size_t(i)]) ? found(i) : -1;
    }
    return -1;
}

void EventChart::repaintOverlay(const QRegion &region)
{
    viewport()->update(region);
}

void EventChart::on_contentWasMoved(int /*value*/)
{
    viewport()->update();
}

void EventChart::on_canvasMousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !hasCurrentNode())
        return;
    m_beforePresses[0] = m_beforePresses[1];
    if (const NodeViewState *state = stateOf(m_root->currentNode()))
        m_beforePresses[1] = {m_root->currentNode(), state->selFirst, state->selLast};
    const QPoint position = event->position().toPoint();
    ViewItem *item = itemAt(position);
    ViewNode *node = item ? item->viewNode() : nullptr;
    if (!node || !node->node())
        return;

    if (item->kind() == ViewItem::NODE_ITEM) {
        m_dragItem = sharedRow(*m_root, node);
        m_pressPoint = position;
        m_shiftAtPress = node->shift();
        m_shiftsAtPress.clear();
        for (const QSharedPointer<ViewNode> &row : m_root->nodes())
            m_shiftsAtPress.push_back(row->shift());
        setCanvasCursor(Qt::ClosedHandCursor);
        m_dragMode = MOVING_NODE;
    } else if (isGroupRow(item) || isLeafRow(item)) {
        m_dragItem = sharedRow(*m_root, node);
        m_dragMode = SELECTING_EVENTS;
    } else {
        return;
    }

    if (node->node() != m_root->currentNode()) {
        m_root->setCurrentNode(node->node());
        emit m_root->currentNodeWasChanged(node->node());
    }

    if (isLeafRow(item)) {
        if (NodeViewState *state = stateOf(node->node())) {
            const float t = timeAt(node, position.x());
            if (t < 0.0f) {
                state->selFirst = -1;
            } else {
                const int i = eventAt(node->node(), t, -1);
                if (!(event->modifiers() & Qt::ShiftModifier))
                    state->selFirst = i;
                state->selLast = i;
            }
            emit selectionWasChanged(state->selFirst, state->selLast);
        }
    }
    viewport()->update();
}

void EventChart::on_canvasMouseMoveEvent(QMouseEvent *event)
{
    const QPoint position = event->position().toPoint();
    emit pointerMoved(position);
    if (!hasCurrentNode())
        return;
    switch (m_dragMode) {
    case MOVING_NODE:
        moveDraggedNode(position.x());
        break;
    case SELECTING_EVENTS:
        extendSelection(position.x());
        break;
    case NO_DRAG:
        hover(position, event->globalPosition().toPoint());
        break;
    }
}

void EventChart::on_canvasMouseReleaseEvent(QMouseEvent *event)
{
    if (m_canvas->cursor().shape() == Qt::ClosedHandCursor) {
        const ViewItem *item = itemAt(event->position().toPoint());
        setCanvasCursor(item && item->kind() == ViewItem::NODE_ITEM ? Qt::OpenHandCursor : Qt::ArrowCursor);
    }
    m_dragMode = NO_DRAG;
    m_dragItem.clear();
    m_shiftsAtPress.clear();
}

void EventChart::on_canvasMouseDoubleClickEvent(QMouseEvent *event)
{
    const ViewItem *item = itemAt(event->position().toPoint());
    if (item && isLeafRow(item) && restoreSelectionCutAt(item->viewNode())) {
        zoomToSelection();
        return;
    }
    if (!item || item->kind() != ViewItem::NODE_ITEM)
        return;
    m_root->resetShifts();
    m_root->recomputeExtent();
    relayout();
    viewport()->repaint();
}

void EventChart::on_currentNodeWasChanged(Node * /*node*/)
{
    viewport()->update();
    // In logarithmic mode the ruler and the overview read the current node's times.
    m_ruler->update();
    m_overview->update();
}

void EventChart::on_selectionWasChangedOutside(int selFirst, int selLast)
{
    if (!hasCurrentNode())
        return;
    NodeViewState *state = stateOf(m_root->currentNode());
    if (!state)
        return;
    const bool same = state->selFirst == selFirst && state->selLast == selLast;
    const bool reversed = state->selFirst == selLast && state->selLast == selFirst;
    if (same || reversed)
        return;
    state->selFirst = selFirst;
    state->selLast = selLast;
    viewport()->update();
}

void EventChart::on_eventChartScrolled(int value)
{
    if (m_ignoreNextScroll) {
        m_ignoreNextScroll = false;
        return;
    }
    if (!m_synchronized)
        return;
    const ViewNode *node = currentViewNode();
    if (!node)
        return;
    const int first = ChartMapper(m_timeScale, value).eventUnder(*node->node(), 0, node->shift());
    // Scrolled past the node's last event (another node reaches further):
    // there is no event the list could show first.
    if (first < 0)
        return;
    emit eventChartScrolled(first);
}

void EventChart::on_eventListScrolled(int firstEvent)
{
    if (!m_synchronized)
        return;
    const ViewNode *node = currentViewNode();
    if (!node)
        return;
    const int count = node->node()->eventCount();
    if (firstEvent < 0 || firstEvent >= count)
        return;
    NodeViewState *state = stateOf(node->node());
    if (!state)
        return;

    QScrollBar *bar = horizontalScrollBar();
    if (firstEvent == state->chartFirst &&
        ChartMapper(m_timeScale, bar->value()).originAtLeftEdge(node->shift()))
        return;
    // Already in view: not before the last paint's first event, and the event
    // where that paint stopped (the last one when it reached the end) starts
    // inside the viewport. Compared in viewport pixels: measured from the
    // content's start, events up to a header's width beyond the right edge
    // passed for visible.
    const int end = state->chartEnd > 0 && state->chartEnd < count ? state->chartEnd : count - 1;
    const qint64 endX = qint64(scrollValueFor(*node, end)) - bar->value() + headerShift();
    if (firstEvent >= state->chartFirst && endX <= viewport()->width()) {
        viewport()->update();
        return;
    }
    // Only a scroll that really happens comes back through valueChanged; a
    // flag set for one that does not would swallow the user's next scroll.
    const int target = qBound(bar->minimum(), scrollValueFor(*node, firstEvent), bar->maximum());
    if (target != bar->value()) {
        m_ignoreNextScroll = true;
        bar->setValue(target);
    }
    viewport()->update();
}

void EventChart::on_settingsUpdatingNotify(const QString &key)
{
    ChartSettings settings = m_renderer.settings();
    if (!settings.reread(key))
        return;
    m_renderer.setSettings(settings);
    showStrips();
    relayout();
    viewport()->update();
}

void EventChart::paintEvent(QPaintEvent *event)
{
    if (!m_root || !m_viewStates)
        return;
    const qreal ratio = viewport()->devicePixelRatio();
    m_picture.update(m_renderer, *m_root, *m_viewStates, frame(), ratio);
    const QRect rect = event->rect();
    QPainter painter(viewport());
    painter.drawImage(QRectF(rect), m_picture.image(),
                      QRectF(QPointF(rect.topLeft()) * ratio, QSizeF(rect.size()) * ratio));
    if (m_marks)
        m_marks->paintLines(painter);
}

ChartRenderer::Frame EventChart::frame() const
{
    ChartRenderer::Frame frame;
    frame.scale = &m_timeScale;
    frame.horizontalScroll = horizontalScrollBar()->value();
    frame.verticalScroll = verticalScrollBar()->value();
    frame.viewport = viewport()->size();
    frame.externalHeader = headerShift() > 0;
    frame.title = m_title;
    frame.background = palette().color(QPalette::Window);
    frame.catalogue = theTracer ? theTracer->catalogue() : nullptr;
    return frame;
}

void EventChart::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    placeRuler();
    relayout();
}

void EventChart::scrollContentsBy(int dx, int dy)
{
    // The rectangle keeps the canvas where it is: it stays at the viewport's
    // origin.
    viewport()->scroll(dx, dy, viewport()->rect());
}

bool EventChart::hasCurrentNode() const
{
    return m_root && m_root->currentNode();
}

ViewNode *EventChart::currentViewNode() const
{
    if (!hasCurrentNode())
        return nullptr;
    ViewItem *item = m_root->childById(m_root->currentNode()->nodeId());
    auto *node = static_cast<ViewNode *>(item);
    return node && node->node() == m_root->currentNode() ? node : nullptr;
}

bool EventChart::isViewed(const ViewNode *node) const
{
    return node && m_root && m_root->nodeList().contains(node);
}

ViewItem *EventChart::itemAt(const QPoint &position) const
{
    if (!m_root)
        return nullptr;
    const int y = position.y() + verticalScrollBar()->value();
    if (y < 0)
        return nullptr;
    return m_root->itemAtRow(y / ChartMetrics::rowHeight);
}

void EventChart::placeRuler()
{
    const int rulerHeight = isRulerVisible() ? ChartMetrics::rulerHeight : 0;
    const int overviewHeight = isOverviewVisible() ? m_overview->stripHeight() : 0;
    const int top = rulerHeight + overviewHeight;
    if (top != m_topMargin) {
        m_topMargin = top;
        setViewportMargins(0, top, 0, 0);
    }
    const QRect rows = viewport()->geometry();
    m_ruler->setGeometry(rows.left(), rows.top() - top, rows.width(), rulerHeight);
    m_overview->setGeometry(rows.left(), rows.top() - overviewHeight, rows.width(), overviewHeight);
}

ChartMapper EventChart::mapper() const
{
    return ChartMapper(m_timeScale, horizontalScrollBar()->value());
}

float EventChart::timeAt(const ViewNode *node, int x) const
{
    return mapper().timeAt(x - headerShift(), node->shift());
}

NodeViewState *EventChart::stateOf(const Node *node) const
{
    if (!node || !m_viewStates)
        return nullptr;
    return &(*m_viewStates)[node->traceFileName()];
}

void EventChart::setCanvasCursor(Qt::CursorShape shape)
{
    if (m_canvas->cursor().shape() != shape)
        m_canvas->setCursor(shape);
}

void EventChart::moveDraggedNode(int x)
{
    const QSharedPointer<ViewNode> dragged = m_dragItem.toStrongRef();
    if (!isViewed(dragged.data()))
        return;
    const std::vector<QSharedPointer<ViewNode>> &nodes = m_root->nodes();
    if (m_shiftsAtPress.size() == nodes.size()) {
        for (size_t i = 0; i < nodes.size(); ++i)
            nodes[i]->setShift(m_shiftsAtPress[i]);
    }
    // A shift computed from a long drag at a tiny scale may lie beyond the int range: it stops at its ends.
    const float shift = mapper().timeSpan(x - m_pressPoint.x()) + float(m_shiftAtPress);
    dragged->setShift(TimeScaleDetail::toPixel(double(shift)));
    emit clockOffsetDragged(dragged->node()->name(), qint64(dragged->shift()) - m_shiftAtPress);
    m_root->recomputeExtent();
    relayout();
    viewport()->update();
}

void EventChart::extendSelection(int x)
{
    const QSharedPointer<ViewNode> dragged = m_dragItem.toStrongRef();
    if (!isViewed(dragged.data()))
        return;
    const Node *node = dragged->node();
    NodeViewState *state = stateOf(node);
    if (!state)
        return;
    const float t = timeAt(dragged.data(), x);
    int i = -1;
    if (t >= 0.0f)
        i = eventAt(node, t, -1);
    else if (node->eventCount() > 0)
        i = 0;
    if (i > -1 && state->selFirst > -1) {
        state->selLast = i;
        viewport()->update();
        emit selectionWasChanged(state->selFirst, state->selLast);
    }
}

void EventChart::hover(const QPoint &position, const QPoint &globalPosition)
{
    if (headerShift() > 0 && position.x() < ChartMetrics::headerWidth)
        return;
    const ViewItem *item = itemAt(position);
    setCanvasCursor(item && item->kind() == ViewItem::NODE_ITEM ? Qt::OpenHandCursor : Qt::ArrowCursor);

    if (item && item->kind() == ViewItem::TASK_ITEM) {
        const ViewNode *node = item->viewNode();
        const float t = node ? timeAt(node, position.x()) : -1.0f;
        const int i = t >= 0.0f ? eventAt(node->node(), t, item->itemId()) : -1;
        if (i > -1) {
            QToolTip::showText(globalPosition, eventTooltipHtml(*node->node(), i), m_canvas);
            return;
        }
    }
    QToolTip::hideText();
}

bool EventChart::restoreSelectionCutAt(const ViewNode *node)
{
    const PressedSelection &before = m_beforePresses[0];
    if (!node || !hasCurrentNode() || node->node() != before.node || before.node != m_root->currentNode())
        return false;
    NodeViewState *state = stateOf(before.node);
    const int low = qMin(before.first, before.last);
    const int high = qMax(before.first, before.last);
    if (!state || low < 0 || low == high || state->selFirst != state->selLast || state->selFirst < low ||
        state->selFirst > high)
        return false;
    state->selFirst = before.first;
    state->selLast = before.last;
    emit selectionWasChanged(state->selFirst, state->selLast);
    viewport()->update();
    return true;
}

int EventChart::scrollValueFor(const ViewNode &node, int eventIndex) const
{
    const TraceEvent *event = node.node()->event(eventIndex);
    return event ? ChartMapper(m_timeScale, 0).leftX(*event, node.shift()) : 0;
}
