#include "views/chartoverview.h"

#include "chart/chartmapper.h"
#include "chart/timescale.h"
#include "chart/viewroot.h"
#include "trace/node.h"
#include "views/chartmarks.h"
#include "views/eventchart.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace {

// The narrowest range an edge can be dragged to, in columns of the strip.
constexpr double narrowestColumns = 3.0;

} // namespace

ChartOverview::ChartOverview(EventChart &chart, QWidget *parent)
    : QWidget(parent)
    , m_chart(chart)
{
    // The painter fills the whole strip: nothing behind it needs painting.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

int ChartOverview::stripHeight() const
{
    return OverviewPainter::heightFor(m_chart.root() ? int(m_chart.root()->nodes().size()) : 0);
}

OverviewContent ChartOverview::content()
{
    OverviewContent content;
    content.scale = scale();
    if (m_chart.root())
        content.bands = &m_activity.profiles(*m_chart.root(), content.scale.columns());
    content.visible = visibleSpan();
    // Read at each paint: a few times, and they follow every re-alignment.
    if (const ChartMarks *marks = m_chart.marks()) {
        for (const double time : marks->bookmarkTimes())
            content.bookmarks.append(qint64(time));
        content.matches = matchColumns(*marks, content.scale);
    }
    return content;
}

std::vector<int> ChartOverview::matchColumns(const ChartMarks &marks, const OverviewScale &scale)
{
    std::vector<int> columns;
    const ViewNode *row = marks.matchRow();
    if (!row)
        return columns;
    const Node &node = *row->node();
    for (const int match : marks.matches()) {
        const int column = scale.xOf(double(node.event(match)->offset) + row->shift());
        if (columns.empty() || columns.back() != column)
            columns.push_back(column);
    }
    return columns;
}

QRect ChartOverview::visibleRect()
{
    OverviewContent shown;
    shown.scale = scale();
    shown.visible = visibleSpan();
    return OverviewPainter::visibleRect(shown, rect(), chartLeft());
}

void ChartOverview::paintEvent(QPaintEvent * /*event*/)
{
    QPainter painter(this);
    paintStrip(painter);
}

void ChartOverview::paintStrip(QPainter &painter)
{
    OverviewPainter(painter).paint(content(), rect(), chartLeft());
}

void ChartOverview::mousePressEvent(QMouseEvent *event)
{
    const int x = event->position().toPoint().x();
    if (event->button() != Qt::LeftButton || !m_chart.root() || x < chartLeft())
        return;
    m_grip = gripAt(x);
    if (m_grip == NoGrip) {
        // A click centres the chart there and holds the frame for a drag.
        scrollTo(timeAt(x), chartWidth() / 2);
        m_grip = Body;
    }
    m_pressX = x;
    m_spanAtPress = visibleSpan();
    if (m_grip == Body)
        setCursor(Qt::ClosedHandCursor);
}

void ChartOverview::mouseMoveEvent(QMouseEvent *event)
{
    const int x = event->position().toPoint().x();
    if (m_grip != NoGrip && (event->buttons() & Qt::LeftButton)) {
        follow(x);
        return;
    }
    const Grip grip = x < chartLeft() ? NoGrip : gripAt(x);
    setCursor(grip == Body ? Qt::OpenHandCursor : grip == NoGrip ? Qt::ArrowCursor : Qt::SizeHorCursor);
}

void ChartOverview::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (m_grip == Body)
        setCursor(Qt::OpenHandCursor);
    m_grip = NoGrip;
}

// On a narrow frame both edges are in reach: the nearer one is taken, the
// right one right of the frame's middle.
ChartOverview::Grip ChartOverview::gripAt(int x)
{
    const QRect frame = visibleRect();
    const int toLeft = std::abs(x - frame.left());
    const int toRight = std::abs(x - frame.right());
    if (std::min(toLeft, toRight) <= edgeGrip) {
        if (toLeft != toRight)
            return toLeft < toRight ? LeftEdge : RightEdge;
        return 2 * x > frame.left() + frame.right() ? RightEdge : LeftEdge;
    }
    return x > frame.left() && x < frame.right() ? Body : NoGrip;
}

int ChartOverview::chartLeft() const
{
    return m_chart.headerShift();
}

int ChartOverview::chartWidth() const
{
    return std::max(1, m_chart.viewport()->width() - m_chart.headerShift());
}

OverviewScale ChartOverview::scale() const
{
    return OverviewScale(m_chart.root() ? m_chart.root()->lengthLin() : 0, width() - chartLeft());
}

double ChartOverview::timeAt(int x) const
{
    return scale().timeAt(double(x - chartLeft()) + 0.5);
}

const Node *ChartOverview::logNode(int *shift) const
{
    *shift = 0;
    const ViewRoot *root = m_chart.root();
    if (m_chart.isLinearMode() || !root)
        return nullptr;
    const Node *node = root->currentNode();
    for (const QSharedPointer<ViewNode> &row : root->nodes()) {
        if (row->node() == node)
            *shift = row->shift();
    }
    return node;
}

TimeSpan ChartOverview::visibleSpan() const
{
    int shift = 0;
    const Node *node = logNode(&shift);
    return AxisTime::visibleSpan(m_chart.mapper(), chartWidth(), node, shift);
}

void ChartOverview::scrollTo(double time, int x)
{
    int shift = 0;
    const Node *node = logNode(&shift);
    const double units = AxisTime::axisUnitsAt(time, !m_chart.isLinearMode(), node, shift);
    // In the precision the chart places events in.
    const int left = TimeScaleDetail::toPixel(double(float(units) * m_chart.scale()));
    m_chart.horizontalScrollBar()->setValue(left - x);
}

void ChartOverview::zoomTo(double from, double to)
{
    int shift = 0;
    const Node *node = logNode(&shift);
    const bool logMode = !m_chart.isLinearMode();
    const double first = AxisTime::axisUnitsAt(from, logMode, node, shift);
    const double last = AxisTime::axisUnitsAt(to, logMode, node, shift);
    if (!(last > first))
        return;
    const float zoomed = float(double(chartWidth()) / (last - first));
    m_chart.zoomTo(zoomed, TimeScaleDetail::toPixel(double(float(first) * zoomed)));
}

void ChartOverview::follow(int x)
{
    const double narrowest = narrowestColumns * scale().columnSpan();
    const double time = std::clamp(timeAt(x), 0.0, double(scale().length()));
    switch (m_grip) {
    case Body:
        scrollTo(m_spanAtPress.from + time - timeAt(m_pressX), 0);
        break;
    case LeftEdge:
        zoomTo(std::min(time, m_spanAtPress.to - narrowest), m_spanAtPress.to);
        break;
    case RightEdge:
        zoomTo(m_spanAtPress.from, std::max(time, m_spanAtPress.from + narrowest));
        break;
    case NoGrip:
        break;
    }
}
