#include "views/statisticswindow.h"

#include "trace/node.h"
#include "views/nodeviewwindow.h"
#include "views/statisticspage.h"
#include "views/statisticstables.h"

#include <QTabWidget>
#include <QVBoxLayout>

namespace {

QString titleFor(const Node &node, EventRange range)
{
    const QString title = QStringLiteral("Statistics: ") + node.label();
    const EventRange whole = EventRange::whole(node);
    if (range.first == whole.first && range.last == whole.last)
        return title;
    return title + QStringLiteral(", events %1 to %2").arg(range.first).arg(range.last);
}

} // namespace

StatisticsWindow::StatisticsWindow(NodeViewWindow *view, const Node &node, EventRange range)
    : QWidget(view, Qt::Window)
    , m_view(view)
    , m_tabs(new QTabWidget)
{
    setWindowTitle(titleFor(node, range));
    const QVector<StatisticsTable> tables = statisticsTables(node, range, *view->viewTree());
    for (const StatisticsTable &table : tables) {
        auto *page = new StatisticsPage(table);
        connect(page, &StatisticsPage::jumpRequested, this, &StatisticsWindow::jump);
        m_tabs->addTab(page, table.title);
        m_pages.append(page);
    }
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    resize(900, 650);
}

void StatisticsWindow::jump(int nodeId, int eventIndex)
{
    if (m_view)
        m_view->goToEvent(nodeId, eventIndex);
}
