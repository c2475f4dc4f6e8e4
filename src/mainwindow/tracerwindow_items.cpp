// TracerWindow: the current item, the Project and Node groups that act on it,
// the property browser that describes it and the item tree that picks it.

#include "mainwindow/tracerwindow.h"

#include "app/tracer.h"
#include "mainwindow/itemtree.h"
#include "mainwindow/smartmenu.h"
#include "mainwindow/viewmanager.h"
#include "trace/node.h"
#include "trace/project.h"
#include "views/nodeviewwindow.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMouseEvent>
#include <QTableWidget>
#include <QTreeWidgetItem>

namespace {

// Whether items of `category` belong to one node: the node, its folders, its tasks and hubs.
bool isNodeCategory(TracerItem::TracerItemCategory category)
{
    return category == TracerItem::NODE || category == TracerItem::TASKS || category == TracerItem::HUBS ||
           category == TracerItem::TASK || category == TracerItem::HUB;
}

// The node an item of the item tree belongs to, or null: projects and
// event-list selections (a range or one event) name no node.
Node *nodeOf(TracerItem *item, TracerItem::TracerItemCategory category)
{
    switch (category) {
    case TracerItem::NODE:
    case TracerItem::TASKS:
    case TracerItem::HUBS:
        return qobject_cast<Node *>(item);
    case TracerItem::TASK:
    case TracerItem::HUB: {
        auto *part = qobject_cast<NodeItem *>(item);
        return part ? part->node() : nullptr;
    }
    default:
        return nullptr;
    }
}

// The project an item stands in, or null for an event-list selection.
Project *projectOf(TracerItem *item, TracerItem::TracerItemCategory category)
{
    if (category == TracerItem::PROJECT)
        return qobject_cast<Project *>(item);
    Node *node = nodeOf(item, category);
    return node ? node->project() : nullptr;
}

// Whether `entry` is `ancestor` or lies below it.
bool isWithin(const QTreeWidgetItem *entry, const QTreeWidgetItem *ancestor)
{
    for (; entry; entry = entry->parent()) {
        if (entry == ancestor)
            return true;
    }
    return false;
}

} // namespace

TracerItem *TracerWindow::selectedCurrentItem() const
{
    if (!theTracer || m_itemTree->selectedItems().isEmpty())
        return nullptr;
    return theTracer->curTracerItem();
}

void TracerWindow::on_curTracerItem_Changed(TracerItem *tracerItem, TracerItem::TracerItemCategory category,
                                            int data1, int data2)
{
    if (!tracerItem) {
        m_smartMenu->setGroupEnabled(NODE_GROUP, false);
        m_smartMenu->setGroupEnabled(PROJECT_GROUP, false);
    } else if (category == TracerItem::PROJECT) {
        m_smartMenu->setGroupEnabled(NODE_GROUP, false);
        m_smartMenu->setGroupEnabled(PROJECT_GROUP, true);
    } else if (isNodeCategory(category)) {
        m_smartMenu->setGroupEnabled(NODE_GROUP, true);
        m_smartMenu->setGroupEnabled(PROJECT_GROUP, true);
    }
    // An event-list selection leaves the groups as they are.
    m_propertyTable->clearContents();
    m_propertyTable->setRowCount(0);
    if (tracerItem)
        tracerItem->fillProperties(category, m_propertyTable, data1, data2);
}

// ---------------------------------------------------------------- Project and Node groups

void TracerWindow::on_action_ViewNodes_triggered()
{
    if (!theTracer || !theTracer->curTracerItem())
        return;
    Project *project = projectOf(theTracer->curTracerItem(), theTracer->curCategory());
    if (!project)
        return;
    const QVector<Node *> nodes = project->nodesInOrder();
    for (Node *node : nodes)
        viewNode(node, false);
}

void TracerWindow::on_action_ViewNode_triggered()
{
    TracerItem *item = theTracer ? theTracer->curTracerItem() : nullptr;
    if (item && item->category() == TracerItem::NODE)
        viewNode(qobject_cast<Node *>(item), false);
}

void TracerWindow::on_action_ViewNodeApart_triggered()
{
    TracerItem *item = theTracer ? theTracer->curTracerItem() : nullptr;
    if (item && item->category() == TracerItem::NODE)
        viewNode(qobject_cast<Node *>(item), true);
}

void TracerWindow::on_action_NodeStatistics_triggered()
{
    TracerItem *item = theTracer ? theTracer->curTracerItem() : nullptr;
    if (!item || item->category() != TracerItem::NODE)
        return;
    viewNode(qobject_cast<Node *>(item), false);
    if (NodeViewWindow *view = ViewManager::nodeView(m_mdiArea->currentSubWindow()))
        view->showStatistics();
}

void TracerWindow::leaveEntry(const QTreeWidgetItem *entry)
{
    // The tree would otherwise pick a new current entry while the item is
    // half destroyed and describe it in the property browser.
    if (isWithin(m_itemTree->currentItem(), entry))
        m_itemTree->setCurrentItem(nullptr);
}

void TracerWindow::forgetUnselectedCurrentItem()
{
    if (m_itemTree->selectedItems().isEmpty())
        theTracer->setCurTracerItem(nullptr, TracerItem::NONE, 0, 0);
}

void TracerWindow::on_action_CloseNode_triggered()
{
    TracerItem *item = selectedCurrentItem();
    Node *node = item ? nodeOf(item, theTracer->curCategory()) : nullptr;
    Project *project = node ? node->project() : nullptr;
    if (!project)
        return;
    leaveEntry(node->treeItem());
    if (project->removeNode(node) == 0) {
        theTracer->removeProject(project);
        m_views->disableGroupsWhenEmpty();
    }
    forgetUnselectedCurrentItem();
}

void TracerWindow::on_action_CloseProject_triggered()
{
    TracerItem *item = selectedCurrentItem();
    if (!item)
        return;
    Project *project = projectOf(item, theTracer->curCategory());
    if (project)
        leaveEntry(project->treeItem());
    theTracer->removeProject(project);
    m_views->disableGroupsWhenEmpty();
    forgetUnselectedCurrentItem();
}

// ---------------------------------------------------------------- item tree

void TracerWindow::on_itemTree_currentItemChanged(QTreeWidgetItem *current, QTreeWidgetItem *previous)
{
    Q_UNUSED(previous)
    if (!current || !theTracer)
        return;
    TracerItem *item = TracerItem::itemFromData(current->data(0, ItemRole));
    const auto category = TracerItem::TracerItemCategory(current->data(0, CategoryRole).toInt());
    theTracer->setCurTracerItem(item, category, 0, 0);
}

void TracerWindow::on_itemTree_contextMenu(QContextMenuEvent *event)
{
    if (!event)
        return;
    QTreeWidgetItem *entry = m_itemTree->itemAt(event->pos());
    if (!entry)
        return;
    m_itemTree->setCurrentItem(entry);
    if (!selectedCurrentItem())
        return;
    if (theTracer->curCategory() == TracerItem::PROJECT)
        m_projectContextMenu->exec(event->globalPos());
    else if (theTracer->curCategory() == TracerItem::NODE)
        m_nodeContextMenu->exec(event->globalPos());
}

void TracerWindow::on_itemTree_doubleClicked(QMouseEvent *event)
{
    if (!event || !selectedCurrentItem() || theTracer->curCategory() != TracerItem::NODE)
        return;
    if (event->modifiers().testFlag(Qt::ControlModifier))
        on_action_ViewNodeApart_triggered();
    else
        on_action_ViewNode_triggered();
}

void TracerWindow::on_itemTree_keyPressed(QKeyEvent *event)
{
    if (!event || !selectedCurrentItem())
        return;
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return;
    if (theTracer->curCategory() == TracerItem::PROJECT)
        on_action_ViewNodes_triggered();
    else if (theTracer->curCategory() != TracerItem::NODE)
        return;
    else if (event->modifiers().testFlag(Qt::ControlModifier))
        on_action_ViewNodeApart_triggered();
    else
        on_action_ViewNode_triggered();
}
