#include "views/chartruler.h"

#include "chart/chartmapper.h"
#include "chart/chartstyle.h"
#include "chart/rulermarks.h"
#include "chart/rulerpainter.h"
#include "chart/timeruler.h"
#include "chart/viewroot.h"
#include "views/chartmarks.h"
#include "views/eventchart.h"

#include <QMouseEvent>
#include <QPainter>

ChartRuler::ChartRuler(const EventChart &chart, QWidget *parent)
    : QWidget(parent)
    , m_chart(chart)
    , m_font(ChartStyle().rowFont())
{
    // The painter fills the whole strip: nothing behind it needs painting.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // A handle under the mouse shows that it can be dragged.
    setMouseTracking(true);
}

void ChartRuler::paintEvent(QPaintEvent * /*event*/)
{
    QPainter painter(this);
    paintStrip(painter);
}

void ChartRuler::paintStrip(QPainter &painter) const
{
    const int chartLeft = m_chart.headerShift();
    const Node *node = m_chart.isLinearMode() || !m_chart.root() ? nullptr : m_chart.root()->currentNode();
    const TimeRuler ruler(m_chart.mapper(), width() - chartLeft, node);
    RulerPainter(painter, m_font).paint(ruler, rect(), chartLeft);
    if (const ChartMarks *marks = m_chart.marks())
        marks->rulerMarks().paint(painter, m_font, rect(), chartLeft);
}

void ChartRuler::mousePressEvent(QMouseEvent *event)
{
    const ChartMarks *marks = m_chart.marks();
    if (event->button() == Qt::LeftButton && marks)
        m_draggedCursor = marks->cursorNear(event->position().toPoint().x());
}

void ChartRuler::mouseMoveEvent(QMouseEvent *event)
{
    ChartMarks *marks = m_chart.marks();
    if (!marks)
        return;
    const int x = event->position().toPoint().x();
    if (m_draggedCursor >= 0)
        marks->setCursorAt(m_draggedCursor, x, event->modifiers() & Qt::AltModifier);
    const bool onHandle = m_draggedCursor >= 0 || marks->cursorNear(x) >= 0;
    setCursor(onHandle ? Qt::SizeHorCursor : Qt::ArrowCursor);
}

void ChartRuler::mouseReleaseEvent(QMouseEvent * /*event*/)
{
    m_draggedCursor = -1;
}
