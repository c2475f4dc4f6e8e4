#include "views/bookmarkpanel.h"

#include "chart/timeruler.h"
#include "chart/viewroot.h"
#include "trace/node.h"
#include "views/chartmarks.h"
#include "views/eventchart.h"
#include "views/projectbookmarks.h"

#include <QHeaderView>
#include <QMessageBox>
#include <QShortcut>
#include <QTableWidget>

#include <algorithm>

namespace {

// The node's label where the chart shows it, else its trace file name.
QString nodeText(const EventChart &chart, const QString &traceFileName)
{
    if (const ViewRoot *root = chart.root()) {
        for (const QSharedPointer<ViewNode> &row : root->nodes()) {
            if (row->node() && row->node()->traceFileName() == traceFileName)
                return row->node()->label();
        }
    }
    return traceFileName;
}

QTableWidgetItem *fixedItem(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

} // namespace

BookmarkPanel::BookmarkPanel(QWidget *parent)
    : QDockWidget(tr("Bookmarks"), parent)
    , m_table(new QTableWidget(0, 3, this))
{
    setObjectName(QStringLiteral("BookmarkPanel"));
    m_table->setHorizontalHeaderLabels({tr("Name"), tr("Time"), tr("Node")});
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->hide();
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setWidget(m_table);

    // Only while the list has the focus: an editor keeps its Delete key.
    auto *remove = new QShortcut(QKeySequence::Delete, m_table, nullptr, nullptr, Qt::WidgetShortcut);
    connect(remove, &QShortcut::activated, this, &BookmarkPanel::removeSelected);
    connect(m_table, &QTableWidget::itemChanged, this, &BookmarkPanel::rename);
    connect(m_table, &QTableWidget::cellDoubleClicked, this, [this](int row, int /*column*/) { jump(row); });
}

void BookmarkPanel::forgetChart()
{
    for (const QMetaObject::Connection &connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_chart = nullptr;
    refill();
}

void BookmarkPanel::setChart(EventChart *chart)
{
    if (chart == m_chart)
        return;
    for (const QMetaObject::Connection &connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_chart = chart;
    if (chart) {
        ProjectBookmarks *bookmarks = &chart->marks()->bookmarks();
        m_connections << connect(bookmarks, &ProjectBookmarks::changed, this, &BookmarkPanel::refill)
                      << connect(bookmarks, &ProjectBookmarks::saveFailed, this, &BookmarkPanel::warn)
                      // QWidget announces its end when it is no EventChart any more: the
                      // pointer is dropped without being read.
                      << connect(chart, &QObject::destroyed, this, &BookmarkPanel::forgetChart);
        const QString error = bookmarks->takeLoadError();
        // Not inside the activation that brought the chart here.
        if (!error.isEmpty())
            QMetaObject::invokeMethod(
                this, [this, error] { warn(error); }, Qt::QueuedConnection);
    }
    refill();
}

void BookmarkPanel::removeSelected()
{
    if (!m_chart)
        return;
    QList<int> rows;
    for (const QModelIndex &index : m_table->selectionModel()->selectedRows())
        rows.append(index.row());
    // From the last, so that the rows still to go keep their numbers.
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (const int row : std::as_const(rows))
        m_chart->marks()->bookmarks().remove(row);
}

void BookmarkPanel::refill()
{
    m_filling = true;
    const QList<Bookmark> list = m_chart ? m_chart->marks()->bookmarks().bookmarks() : QList<Bookmark>();
    m_table->setRowCount(int(list.size()));
    for (int row = 0; row < list.size(); ++row) {
        m_table->setItem(row, NAME_COLUMN, new QTableWidgetItem(list[row].name));
        m_table->setItem(row, TIME_COLUMN, fixedItem(TimeRuler::logLabel(double(list[row].time))));
        m_table->setItem(row, NODE_COLUMN, fixedItem(nodeText(*m_chart, list[row].node)));
    }
    m_filling = false;
}

void BookmarkPanel::rename(QTableWidgetItem *item)
{
    if (m_filling || !m_chart || item->column() != NAME_COLUMN)
        return;
    m_chart->marks()->bookmarks().rename(item->row(), item->text());
}

void BookmarkPanel::jump(int row)
{
    if (m_chart)
        m_chart->marks()->jumpToBookmark(row);
}

void BookmarkPanel::warn(const QString &message)
{
    QMessageBox::warning(this, tr("Bookmarks"), message);
}
