#pragma once

#include "trace/traceritem.h"

#include <QSharedPointer>

class Hub;
class Node;
class Project;
class QTableWidget;
class QTreeWidgetItem;
class Task;

// The widget work that belongs to the items: each item's entry in the item
// tree and its table in the property browser. The trace layer links no
// widgets, so the program installs a presenter from above; tools and tests
// of the model install none, and their items have no entries and fill no
// tables.
class ItemPresenter
{
public:
    virtual ~ItemPresenter();

    // The presenter the items use; null until one is installed.
    static ItemPresenter *current();
    // Not owned: it must outlive every item made while it is installed.
    static void install(ItemPresenter *presenter);

    // A new entry standing for `item` under `category`, with its text, icon
    // and both item-data roles, appended to `parent` when that is not null.
    // Called at the end of the item's constructor, so the item is complete.
    virtual QSharedPointer<QTreeWidgetItem>
    createEntry(TracerItem &item, TracerItem::TracerItemCategory category, QTreeWidgetItem *parent) = 0;
    // A node's text is known once its file is read.
    virtual void setEntryText(QTreeWidgetItem *entry, const QString &text) = 0;
    // Takes the entry out of its parent, so that the parent does not delete
    // what the item still owns.
    virtual void detachEntry(QTreeWidgetItem *entry) = 0;

    // The property tables; `table` is never null here.
    virtual void fillProperties(const Project &project, QTableWidget *table) = 0;
    // NODE, TASKS, HUBS, and TASK_EVENT_RANGE over events first..last.
    virtual void fillProperties(const Node &node, TracerItem::TracerItemCategory category,
                                QTableWidget *table, int first, int last) = 0;
    // TASK, and TASK_EVENT for the node's event `index`.
    virtual void fillProperties(const Task &task, TracerItem::TracerItemCategory category,
                                QTableWidget *table, int index) = 0;
    virtual void fillProperties(const Hub &hub, QTableWidget *table) = 0;
};
