#include "views/chartruler.h"

#include "chart/chartmapper.h"
#include "chart/chartstyle.h"
#include "chart/rulerpainter.h"
#include "chart/timeruler.h"
#include "chart/viewroot.h"
#include "views/eventchart.h"

#include <QPainter>

ChartRuler::ChartRuler(const EventChart &chart, QWidget *parent)
    : QWidget(parent)
    , m_chart(chart)
    , m_font(ChartStyle().rowFont())
{
    // The painter fills the whole strip: nothing behind it needs painting.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ChartRuler::paintEvent(QPaintEvent * /*event*/)
{
    const int chartLeft = m_chart.headerShift();
    const Node *node = m_chart.isLinearMode() || !m_chart.root() ? nullptr : m_chart.root()->currentNode();
    const TimeRuler ruler(m_chart.mapper(), width() - chartLeft, node);
    QPainter painter(this);
    RulerPainter(painter, m_font).paint(ruler, rect(), chartLeft);
}
