// The view window's find bar, list filter and copy of rows.

#include "views/nodeviewwindow.h"

#include "trace/eventcsv.h"
#include "trace/eventquery.h"
#include "trace/node.h"
#include "views/chartmarks.h"
#include "views/eventlistmodel.h"
#include "views/findbar.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTableView>

#include <algorithm>

void NodeViewWindow::connectFind()
{
    const auto key = [this](const QKeySequence &sequence, QWidget *scope, Qt::ShortcutContext context) {
        return new QShortcut(sequence, scope, nullptr, nullptr, context);
    };
    connect(key(QKeySequence(Qt::CTRL | Qt::Key_F), this, Qt::WidgetWithChildrenShortcut),
            &QShortcut::activated, this, &NodeViewWindow::openFind);
    connect(key(QKeySequence(Qt::Key_F3), this, Qt::WidgetWithChildrenShortcut), &QShortcut::activated, this,
            [this] { stepMatch(true); });
    connect(key(QKeySequence(Qt::SHIFT | Qt::Key_F3), this, Qt::WidgetWithChildrenShortcut),
            &QShortcut::activated, this, [this] { stepMatch(false); });
    // Escape closes the bar wherever the focus is in the window, while it is open.
    connect(key(QKeySequence(Qt::Key_Escape), this, Qt::WidgetWithChildrenShortcut), &QShortcut::activated,
            this, [this] {
                if (!m_findBar->isHidden())
                    m_findBar->dismiss();
            });
    connect(key(QKeySequence::Copy, m_eventList, Qt::WidgetShortcut), &QShortcut::activated, this,
            &NodeViewWindow::copySelectedRows);

    connect(m_findBar, &FindBar::queryChanged, this, [this] { runQuery(); });
    connect(m_findBar, &FindBar::stepRequested, this, &NodeViewWindow::stepMatch);
    connect(m_findBar, &FindBar::filterToggled, this, [this] {
        if (applyFilter())
            restoreListView();
    });
    connect(m_findBar, &FindBar::closed, this, &NodeViewWindow::closeFind);
}

void NodeViewWindow::openFind()
{
    m_findBar->open();
    runQuery();
}

void NodeViewWindow::closeFind()
{
    runQuery();
}

void NodeViewWindow::stepMatch(bool forward)
{
    if (m_findBar->isHidden())
        return;
    m_findBar->flush();
    if (!m_queryValid) {
        runQuery(true);
        return;
    }
    EventListModel *model = listModel();
    const NodeViewState *state = currentState();
    if (!model || !state || m_matches.empty())
        return;
    // From the selection's far end, else from the list's first row on.
    int current = forward ? state->listFirst - 1 : state->listFirst;
    if (state->selFirst >= 0 && state->selLast >= 0)
        current =
            forward ? std::max(state->selFirst, state->selLast) : std::min(state->selFirst, state->selLast);
    const int match = EventQuery::step(m_matches, current, forward);
    const int row = model->rowOf(match);
    if (row < 0)
        return;
    // The list selects it and shows it on top; the chart follows both.
    m_eventList->selectionModel()->setCurrentIndex(model->index(row, 0), QItemSelectionModel::ClearAndSelect |
                                                                             QItemSelectionModel::Rows);
    m_eventList->verticalScrollBar()->setValue(row);
    // The chart follows in time only; the match's task row may lie below.
    if (const ViewNode *viewed = viewedRowOf(model->node()->nodeId()))
        showEventRow(*viewed, *model->node()->event(match));
}

void NodeViewWindow::copySelectedRows()
{
    const EventListModel *model = listModel();
    const Node *node = currentNode();
    if (!model || !node)
        return;
    std::vector<int> events;
    for (const QModelIndex &index : m_eventList->selectionModel()->selectedRows())
        events.push_back(model->eventAt(index.row()));
    if (events.empty())
        return;
    std::sort(events.begin(), events.end());
    const QString csv = EventCsv::rows(*node, events);
    auto *mime = new QMimeData;
    mime->setText(csv);
    mime->setData(QStringLiteral("text/csv"), csv.toUtf8());
    QGuiApplication::clipboard()->setMimeData(mime);
}

EventListModel *NodeViewWindow::listModel() const
{
    return qobject_cast<EventListModel *>(m_eventList->model());
}

void NodeViewWindow::selectRowsOfEvents(int top, int bottom)
{
    const EventListModel *model = listModel();
    if (!model)
        return;
    const int firstRow = model->rowAtOrAfter(top);
    const int lastRow = model->rowAtOrAfter(bottom + 1) - 1;
    m_selectionEcho = true;
    if (firstRow > lastRow)
        m_eventList->selectionModel()->clearSelection();
    else
        m_eventList->selectionModel()->select(
            QItemSelection(model->index(firstRow, 0), model->index(lastRow, EventListModel::columns - 1)),
            QItemSelectionModel::ClearAndSelect);
    m_selectionEcho = false;
}

int NodeViewWindow::rowForEvent(int event) const
{
    const EventListModel *model = listModel();
    return model && model->isFiltered() ? model->rowAtOrAfter(event) : event;
}

void NodeViewWindow::runQuery(bool selectFault)
{
    Node *node = currentNode();
    m_matches.clear();
    m_queryValid = true;
    if (!m_findBar->isHidden() && node) {
        const EventQuery query(m_findBar->query(), *node);
        m_queryValid = query.isValid();
        if (m_queryValid)
            m_matches = query.matchAll();
        else
            m_findBar->showError(query.error(), selectFault);
    }
    m_chart->marks()->setMatches(node, m_matches);
    if (applyFilter())
        restoreListView();
    updateMatchCount();
}

bool NodeViewWindow::applyFilter()
{
    EventListModel *model = listModel();
    if (!model)
        return false;
    const bool filter = !m_findBar->isHidden() && m_findBar->isFiltering() && m_queryValid &&
                        !m_findBar->query().trimmed().isEmpty();
    if (!filter && !model->isFiltered())
        return false;
    const QSignalBlocker blocker(m_eventList->verticalScrollBar());
    model->setRowFilter(filter ? std::optional<std::vector<int>>(m_matches) : std::nullopt);
    return true;
}

void NodeViewWindow::restoreListView()
{
    const NodeViewState *state = currentState();
    if (!state)
        return;
    const int selFirst = state->selFirst;
    const int selLast = state->selLast;
    const int top = selFirst >= 0 ? std::min(selFirst, selLast) : state->listFirst;
    // The chart keeps its place: the list comes to it.
    scrollListQuietly(rowForEvent(top));
    // The list's rows stand for other events now: the shared record learns
    // them, the chart is not moved.
    m_scrollEcho = true;
    on_eventListScrolled(m_eventList->verticalScrollBar()->value());
    if (selFirst >= 0 && selLast >= 0) {
        selectRowsOfEvents(std::min(selFirst, selLast), std::max(selFirst, selLast));
        setTracerSelection(std::min(selFirst, selLast), std::max(selFirst, selLast));
    }
}

void NodeViewWindow::updateMatchCount()
{
    if (!m_queryValid)
        return;
    const NodeViewState *state = currentState();
    int current = 0;
    if (state && state->selFirst >= 0 && state->selFirst == state->selLast) {
        const auto found = std::lower_bound(m_matches.begin(), m_matches.end(), state->selFirst);
        if (found != m_matches.end() && *found == state->selFirst)
            current = int(found - m_matches.begin()) + 1;
    }
    m_findBar->showCount(current, int(m_matches.size()));
}
