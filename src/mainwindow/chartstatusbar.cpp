#include "mainwindow/chartstatusbar.h"

#include "chart/timetext.h"
#include "mainwindow/viewmanager.h"
#include "trace/node.h"
#include "views/chartmarks.h"
#include "views/chartpointer.h"
#include "views/eventchart.h"
#include "views/nodeviewwindow.h"

#include <QLabel>
#include <QMdiArea>
#include <QScrollBar>
#include <QStatusBar>

namespace {

QString microseconds(qint64 us)
{
    return QString::number(us) + QLatin1Char(' ') + QChar(0x00B5) + QLatin1Char('s');
}

QString spanText(const TimeSpan &span)
{
    return TimeText::instant(span.from) + QStringLiteral(" \u2013 ") + TimeText::instant(span.to) +
           QStringLiteral(" (") + TimeText::span(span.to - span.from) + QLatin1Char(')');
}

} // namespace

ChartStatusBar::ChartStatusBar(QStatusBar *bar, QMdiArea *area)
    : QObject(bar)
    , m_bar(bar)
    , m_pointer(new QLabel)
    , m_range(new QLabel)
    , m_selection(new QLabel)
    , m_cursors(new QLabel)
{
    m_bar->addPermanentWidget(m_pointer, 1);
    m_bar->addPermanentWidget(m_range);
    m_bar->addPermanentWidget(m_selection);
    m_bar->addPermanentWidget(m_cursors);
    connect(area, &QMdiArea::subWindowActivated, this, &ChartStatusBar::follow);
    // Without a view there is nothing to tell, and the panels keep their room.
    m_bar->hide();
}

QString ChartStatusBar::pointerText() const
{
    return m_pointer->text();
}

QString ChartStatusBar::rangeText() const
{
    return m_range->text();
}

QString ChartStatusBar::selectionText() const
{
    return m_selection->text();
}

QString ChartStatusBar::cursorsText() const
{
    return m_cursors->text();
}

void ChartStatusBar::showClockOffset(const QString &node, qint64 offsetUs)
{
    m_bar->showMessage(tr("%1: clock moved by %2").arg(node, TimeText::span(double(offsetUs))), 2000);
}

void ChartStatusBar::follow(QMdiSubWindow *window)
{
    NodeViewWindow *view = ViewManager::nodeView(window);
    if (!view) {
        // Focus leaving the area keeps the last view's texts; the last view closing clears them.
        if (!window)
            clear();
        return;
    }
    if (view->chart() == m_chart)
        return;
    for (const QMetaObject::Connection &connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_chart = view->chart();
    m_bar->show();
    EventChart *chart = m_chart.data();
    m_connections << connect(chart, &EventChart::pointerMoved, this, &ChartStatusBar::showPointer)
                  << connect(chart->horizontalScrollBar(), &QScrollBar::valueChanged, this,
                             &ChartStatusBar::showRange)
                  << connect(chart, &EventChart::eventChartStateChanged, this, &ChartStatusBar::showRange)
                  << connect(chart, &EventChart::selectionWasChanged, this, &ChartStatusBar::showSelection)
                  << connect(view, &NodeViewWindow::selectionWasChanged, this, &ChartStatusBar::showSelection)
                  << connect(view, &NodeViewWindow::curNode_Changed, this, &ChartStatusBar::showSelection)
                  << connect(chart->marks(), &ChartMarks::cursorsChanged, this, &ChartStatusBar::showCursors)
                  << connect(chart, &EventChart::clockOffsetDragged, this, &ChartStatusBar::showClockOffset);
    m_pointer->clear();
    m_lastPointer.reset();
    showRange();
    showSelection();
    showCursors();
}

void ChartStatusBar::showPointer(const QPoint &position)
{
    if (!m_chart)
        return;
    m_lastPointer = position;
    const ChartPointer pointer = ChartPointers::pointerAt(*m_chart, position);
    QStringList parts;
    if (pointer.time >= 0.0)
        parts << tr("Time %1").arg(TimeText::instant(pointer.time));
    if (pointer.nodeTimestamp >= 0)
        parts << tr("%1 clock %2").arg(pointer.node, microseconds(pointer.nodeTimestamp));
    else if (!pointer.node.isEmpty())
        parts << pointer.node;
    if (pointer.overRows)
        parts << tr("Row %1").arg(pointer.row);
    m_pointer->setText(parts.join(QStringLiteral("   ")));
}

void ChartStatusBar::showRange()
{
    m_range->setText(m_chart ? tr("View %1").arg(spanText(ChartPointers::visibleTimes(*m_chart)))
                             : QString());
    if (m_lastPointer)
        showPointer(*m_lastPointer);
}

void ChartStatusBar::showSelection()
{
    const std::optional<TimeSpan> span = m_chart ? ChartPointers::selectedTimes(*m_chart) : std::nullopt;
    m_selection->setText(span ? tr("Selection %1").arg(TimeText::span(span->to - span->from)) : QString());
}

void ChartStatusBar::showCursors()
{
    QStringList parts;
    if (m_chart) {
        const ChartMarks &marks = *m_chart->marks();
        for (const int which : {ChartMarks::CURSOR_A, ChartMarks::CURSOR_B}) {
            const QString name = which == ChartMarks::CURSOR_A ? QStringLiteral("A") : QStringLiteral("B");
            if (const std::optional<double> time = marks.cursorTime(which))
                parts << name + QLatin1Char(' ') + TimeText::instant(*time);
        }
        if (const std::optional<double> delta = marks.cursorDelta())
            parts << QStringLiteral("\u0394t %1").arg(TimeText::span(*delta));
    }
    m_cursors->setText(parts.join(QStringLiteral("   ")));
}

void ChartStatusBar::clear()
{
    m_chart.clear();
    m_lastPointer.reset();
    m_pointer->clear();
    m_range->clear();
    m_selection->clear();
    m_cursors->clear();
    m_bar->hide();
}
