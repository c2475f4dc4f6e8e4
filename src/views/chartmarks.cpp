#include "views/chartmarks.h"

#include "chart/chartmapper.h"
#include "chart/chartmetrics.h"
#include "chart/edgesnap.h"
#include "chart/logtime.h"
#include "chart/rulermarks.h"
#include "chart/timetext.h"
#include "chart/viewroot.h"
#include "trace/node.h"
#include "views/chartoverview.h"
#include "views/chartruler.h"
#include "views/eventchart.h"
#include "views/eventchartcanvas.h"
#include "views/projectbookmarks.h"

#include <QInputDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

namespace {

const QColor cursorColors[] = {QColor(0x10, 0x60, 0xD0), QColor(0xD0, 0x40, 0x00)};
const QString cursorLabels[] = {QStringLiteral("A"), QStringLiteral("B")};

bool isCursor(int which)
{
    return which == ChartMarks::CURSOR_A || which == ChartMarks::CURSOR_B;
}

// "Δt = 1.25 ms", to the microsecond, with a minus sign when B lies before A.
QString deltaText(double micros)
{
    return QStringLiteral("\u0394t = ") + TimeText::span(micros);
}

} // namespace

int ChartMarks::snapDistance() const
{
    return m_chart.renderer().settings().cursorSnapDistance;
}

ChartMarks::ChartMarks(EventChart &chart)
    : QObject(&chart)
    , m_chart(chart)
    , m_bookmarks(ProjectBookmarks::forProject(chart.title()))
{
    m_chart.installEventFilter(this);
    m_chart.canvas()->installEventFilter(this);
    connect(m_chart.canvas(), &EventChartCanvas::canvasMouseMoveEvent, this, [this](QMouseEvent *event) {
        m_mouse = event->position().toPoint();
        m_mouseInside = true;
    });
    connect(this, &ChartMarks::cursorsChanged, m_chart.ruler(), qOverload<>(&QWidget::update));
    connect(m_bookmarks.data(), &ProjectBookmarks::changed, m_chart.ruler(), qOverload<>(&QWidget::update));
    connect(m_bookmarks.data(), &ProjectBookmarks::changed, m_chart.overview(),
            qOverload<>(&QWidget::update));
}

ChartMarks::~ChartMarks() = default;

std::optional<double> ChartMarks::cursorTime(int which) const
{
    return isCursor(which) ? m_cursors[size_t(which)] : std::nullopt;
}

std::optional<double> ChartMarks::cursorDelta() const
{
    if (!m_cursors[CURSOR_A] || !m_cursors[CURSOR_B])
        return std::nullopt;
    return *m_cursors[CURSOR_B] - *m_cursors[CURSOR_A];
}

std::optional<int> ChartMarks::cursorX(int which) const
{
    const std::optional<double> time = cursorTime(which);
    if (!time)
        return std::nullopt;
    if (m_chart.isLinearMode())
        return xOfUnits(*time);
    const ViewNode *node = currentViewNode();
    if (!node)
        return std::nullopt;
    const double units = LogTime::positionAt(*node->node(), *time - node->shift());
    return units < 0.0 ? std::nullopt : xOfUnits(units);
}

void ChartMarks::setCursorAt(int which, int viewportX, bool free)
{
    if (!isCursor(which) || !m_chart.root() || viewportX < m_chart.headerShift())
        return;
    const EdgeSnap snap(m_chart.scale(), snapDistance(), free);
    if (m_chart.isLinearMode()) {
        setCursorTime(which, snap.alignedTime(*m_chart.root(), m_chart.timeAtViewportX(viewportX)));
        return;
    }
    const ViewNode *node = currentViewNode();
    if (!node)
        return;
    const double units = snap.logPosition(*node->node(), m_chart.timeAtViewportX(viewportX));
    const double time = LogTime::timeAt(*node->node(), float(units));
    if (time >= 0.0)
        setCursorTime(which, time + node->shift());
}

void ChartMarks::setCursorTime(int which, std::optional<double> alignedTime)
{
    if (!isCursor(which) || m_cursors[size_t(which)] == alignedTime)
        return;
    const std::optional<int> before = cursorX(which);
    m_cursors[size_t(which)] = alignedTime;
    repaintLines(before, cursorX(which));
    emit cursorsChanged();
}

void ChartMarks::clearCursors()
{
    setCursorTime(CURSOR_A, std::nullopt);
    setCursorTime(CURSOR_B, std::nullopt);
}

int ChartMarks::cursorNear(int viewportX) const
{
    int nearest = -1;
    int distance = RulerMarks::handleReach + 1;
    for (const int which : {CURSOR_A, CURSOR_B}) {
        const std::optional<int> x = cursorX(which);
        if (x && std::abs(*x - viewportX) < distance) {
            distance = std::abs(*x - viewportX);
            nearest = which;
        }
    }
    return nearest;
}

QList<double> ChartMarks::bookmarkTimes() const
{
    QList<double> times;
    for (const Bookmark &bookmark : m_bookmarks->bookmarks()) {
        if (const ViewNode *node = viewNodeNamed(bookmark.node))
            times.append(double(bookmark.time) + node->shift());
    }
    std::sort(times.begin(), times.end());
    return times;
}

std::optional<int> ChartMarks::bookmarkX(const Bookmark &bookmark) const
{
    const ViewNode *node = viewNodeNamed(bookmark.node);
    const std::optional<double> units = node ? unitsOf(*node, double(bookmark.time)) : std::nullopt;
    return units ? xOfUnits(*units) : std::nullopt;
}

RulerMarks ChartMarks::rulerMarks() const
{
    RulerMarks marks;
    for (const Bookmark &bookmark : m_bookmarks->bookmarks()) {
        if (const std::optional<int> x = bookmarkX(bookmark))
            marks.flags.append({*x, bookmark.name});
    }
    for (const int which : {CURSOR_A, CURSOR_B}) {
        if (const std::optional<int> x = cursorX(which))
            marks.handles.append({*x, cursorLabels[which], cursorColors[which]});
    }
    if (const std::optional<double> delta = cursorDelta(); delta && marks.handles.size() == 2)
        marks.delta = deltaText(*delta);
    marks.matches = matchXs();
    return marks;
}

void ChartMarks::setMatches(const Node *node, std::vector<int> events)
{
    m_matchNode = events.empty() ? nullptr : node;
    m_matches = m_matchNode ? std::move(events) : std::vector<int>();
    m_chart.ruler()->update();
    m_chart.overview()->update();
}

const ViewNode *ChartMarks::matchRow() const
{
    return m_matchNode ? viewNodeNamed(m_matchNode->traceFileName()) : nullptr;
}

QList<int> ChartMarks::matchXs() const
{
    QList<int> xs;
    const ViewNode *row = matchRow();
    if (!row)
        return xs;
    const Node &node = *row->node();
    const ChartMapper mapper = m_chart.mapper();
    const int left = m_chart.headerShift();
    const int width = m_chart.viewport()->width() - left;
    auto from = m_matches.cbegin();
    auto to = m_matches.cend();
    // Only the shown events' matches, found by bisection where the events are in time order.
    if (node.inTimeOrder()) {
        const ShownEvents shown = mapper.eventsBetween(node, row->shift(), 0, width);
        if (shown.first < 0)
            return xs;
        from = std::lower_bound(from, to, shown.first);
        to = std::lower_bound(from, to, shown.end);
    }
    for (auto match = from; match != to; ++match) {
        const int x = mapper.leftX(*node.event(*match), row->shift());
        if (x >= 0 && x <= width && (xs.isEmpty() || xs.last() != left + x))
            xs.append(left + x);
    }
    return xs;
}

void ChartMarks::paintLines(QPainter &painter) const
{
    const int height = m_chart.viewport()->height();
    for (const int which : {CURSOR_A, CURSOR_B}) {
        const std::optional<int> x = cursorX(which);
        if (x && *x >= m_chart.headerShift()) {
            painter.setPen(cursorColors[which]);
            painter.drawLine(*x, 0, *x, height);
        }
    }
}

void ChartMarks::addBookmark()
{
    std::optional<Bookmark> bookmark = bookmarkHere();
    if (!bookmark)
        return;
    const QString suggestion = QStringLiteral("Bookmark %1").arg(m_bookmarks->count() + 1);
    bool accepted = false;
    const QString name = QInputDialog::getText(&m_chart, tr("Add Bookmark"), tr("Name:"), QLineEdit::Normal,
                                               suggestion, &accepted);
    if (!accepted)
        return;
    bookmark->name = name.trimmed().isEmpty() ? suggestion : name.trimmed();
    m_bookmarks->add(*bookmark);
}

void ChartMarks::nextBookmark()
{
    stepBookmark(true);
}

void ChartMarks::previousBookmark()
{
    stepBookmark(false);
}

void ChartMarks::jumpToBookmark(int index)
{
    if (index < 0 || index >= m_bookmarks->count())
        return;
    const Bookmark &bookmark = m_bookmarks->bookmarks().at(index);
    ViewNode *node = viewNodeNamed(bookmark.node);
    if (!node)
        return;
    ViewRoot *root = m_chart.root();
    if (root->currentNode() != node->node()) {
        root->setCurrentNode(node->node());
        emit root->currentNodeWasChanged(node->node());
    }
    m_chart.centreOn(double(bookmark.time) + node->shift());
}

bool ChartMarks::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_chart.canvas() && event->type() == QEvent::Leave)
        m_mouseInside = false;
    if (watched != &m_chart || event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    const int which = key->key() == Qt::Key_1 ? CURSOR_A : key->key() == Qt::Key_2 ? CURSOR_B : -1;
    if (which < 0 || key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier | Qt::ShiftModifier))
        return false;
    placeCursor(which, key->modifiers() & Qt::AltModifier);
    return true;
}

void ChartMarks::placeCursor(int which, bool free)
{
    const std::optional<QPoint> mouse = mouseOverRows();
    setCursorAt(which, mouse ? mouse->x() : middleX(), free);
}

ViewNode *ChartMarks::viewNodeNamed(const QString &traceFileName) const
{
    if (!m_chart.root())
        return nullptr;
    for (const QSharedPointer<ViewNode> &row : m_chart.root()->nodes()) {
        if (row->node() && row->node()->traceFileName() == traceFileName)
            return row.data();
    }
    return nullptr;
}

ViewNode *ChartMarks::currentViewNode() const
{
    const Node *current = m_chart.root() ? m_chart.root()->currentNode() : nullptr;
    return current ? viewNodeNamed(current->traceFileName()) : nullptr;
}

std::optional<int> ChartMarks::xOfUnits(double units) const
{
    // As events are placed, so that a snapped cursor meets its bar's edge.
    return m_chart.headerShift() + m_chart.mapper().xAt(float(units));
}

std::optional<double> ChartMarks::unitsOf(const ViewNode &node, double nodeTime) const
{
    if (m_chart.isLinearMode())
        return nodeTime + node.shift();
    const double units = LogTime::positionAt(*node.node(), nodeTime);
    return units < 0.0 ? std::nullopt : std::optional<double>(units);
}

std::optional<double> ChartMarks::nodeTimeAt(const ViewNode &node, int viewportX) const
{
    const double time = m_chart.isLinearMode()
                            ? m_chart.timeAtViewportX(viewportX) - node.shift()
                            : LogTime::timeAt(*node.node(), float(m_chart.timeAtViewportX(viewportX)));
    return time < 0.0 ? std::nullopt : std::optional<double>(time);
}

int ChartMarks::middleX() const
{
    return (m_chart.headerShift() + m_chart.viewport()->width()) / 2;
}

std::optional<QPoint> ChartMarks::mouseOverRows() const
{
    const QRect rows(QPoint(m_chart.headerShift(), 0), m_chart.viewport()->rect().bottomRight());
    if (!m_mouseInside || !rows.contains(m_mouse))
        return std::nullopt;
    return m_mouse;
}

std::optional<Bookmark> ChartMarks::bookmarkHere() const
{
    ViewNode *current = currentViewNode();
    if (const std::optional<QPoint> mouse = mouseOverRows()) {
        const int row = (mouse->y() + m_chart.verticalScrollBar()->value()) / ChartMetrics::rowHeight;
        const ViewItem *item = m_chart.root()->itemAtRow(row);
        ViewNode *node = item && item->viewNode() ? item->viewNode() : current;
        const std::optional<double> time = node ? nodeTimeAt(*node, mouse->x()) : std::nullopt;
        if (time)
            return Bookmark{QString(), node->node()->traceFileName(), qint64(std::llround(*time))};
    }
    if (!current)
        return std::nullopt;
    const Node &node = *current->node();
    if (const NodeViewStates *states = m_chart.viewStates()) {
        const NodeViewState state = states->value(node.traceFileName());
        const int first = state.selLast >= 0 ? std::min(state.selFirst, state.selLast) : state.selFirst;
        if (const TraceEvent *event = first >= 0 ? node.event(first) : nullptr)
            return Bookmark{QString(), node.traceFileName(), qint64(event->offset)};
    }
    const std::optional<double> time = nodeTimeAt(*current, middleX());
    if (!time)
        return std::nullopt;
    return Bookmark{QString(), node.traceFileName(), qint64(std::llround(*time))};
}

void ChartMarks::stepBookmark(bool forward)
{
    // Half a pixel: the bookmark the view is centred on is not found again.
    const double middle = m_chart.timeAtViewportX(middleX());
    const double margin = 0.5 / double(m_chart.scale());
    int best = -1;
    double bestUnits = 0.0;
    const QList<Bookmark> &list = m_bookmarks->bookmarks();
    for (int i = 0; i < list.size(); ++i) {
        const ViewNode *node = viewNodeNamed(list[i].node);
        const std::optional<double> units = node ? unitsOf(*node, double(list[i].time)) : std::nullopt;
        if (!units || (forward ? *units <= middle + margin : *units >= middle - margin))
            continue;
        if (best < 0 || (forward ? *units < bestUnits : *units > bestUnits)) {
            best = i;
            bestUnits = *units;
        }
    }
    jumpToBookmark(best);
}

void ChartMarks::repaintLines(const std::optional<int> &before, const std::optional<int> &after) const
{
    const int height = m_chart.viewport()->height();
    QRegion damage;
    for (const std::optional<int> &x : {before, after}) {
        if (x)
            damage += QRect(*x - 1, 0, 3, height);
    }
    m_chart.repaintOverlay(damage);
}
