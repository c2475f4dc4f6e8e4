#include "views/widgetitempresenter.h"

#include "trace/hub.h"
#include "trace/node.h"
#include "trace/project.h"
#include "trace/task.h"
#include "views/properties.h"

#include <QIcon>
#include <QTreeWidgetItem>

namespace {

// The text an entry starts with; a node's own entry gets its label once
// read, and a hub of another node shows nowhere.
bool hasText(TracerItem::TracerItemCategory category)
{
    return category != TracerItem::NODE && category != TracerItem::HIDDEN_HUB;
}

QString entryText(const TracerItem &item, TracerItem::TracerItemCategory category)
{
    switch (category) {
    case TracerItem::PROJECT:
        return static_cast<const Project &>(item).path();
    case TracerItem::TASKS:
        return QStringLiteral("Tasks");
    case TracerItem::HUBS:
        return QStringLiteral("Hubs");
    case TracerItem::TASK:
    case TracerItem::HUB:
        return static_cast<const NodeItem &>(item).name();
    default:
        return QString();
    }
}

QString entryIcon(TracerItem::TracerItemCategory category)
{
    switch (category) {
    case TracerItem::PROJECT:
        return QStringLiteral(":/interface/resources/node_area_16.png");
    case TracerItem::NODE:
        return QStringLiteral(":/interface/resources/node_16.png");
    case TracerItem::TASKS:
        return QStringLiteral(":/interface/resources/tasks_16.png");
    case TracerItem::HUBS:
        return QStringLiteral(":/interface/resources/hubs_16.png");
    case TracerItem::TASK:
        return QStringLiteral(":/interface/resources/task_16.png");
    case TracerItem::HUB:
        return QStringLiteral(":/interface/resources/hub_16.png");
    default:
        return QString();
    }
}

} // namespace

WidgetItemPresenter *WidgetItemPresenter::instance()
{
    static WidgetItemPresenter presenter;
    return &presenter;
}

QSharedPointer<QTreeWidgetItem> WidgetItemPresenter::createEntry(TracerItem &item,
                                                                 TracerItem::TracerItemCategory category,
                                                                 QTreeWidgetItem *parent)
{
    auto *entry = new QTreeWidgetItem;
    if (hasText(category))
        entry->setText(0, entryText(item, category));
    if (const QString icon = entryIcon(category); !icon.isEmpty())
        entry->setIcon(0, QIcon(icon));
    entry->setData(0, CategoryRole, int(category));
    entry->setData(0, ItemRole, TracerItem::itemData(&item));
    if (parent)
        parent->addChild(entry);
    return QSharedPointer<QTreeWidgetItem>(entry);
}

void WidgetItemPresenter::setEntryText(QTreeWidgetItem *entry, const QString &text)
{
    entry->setText(0, text);
}

void WidgetItemPresenter::detachEntry(QTreeWidgetItem *entry)
{
    if (entry->parent())
        entry->parent()->removeChild(entry);
}

void WidgetItemPresenter::fillProperties(const Project &project, QTableWidget *table)
{
    Properties::fillProject(project, table);
}

void WidgetItemPresenter::fillProperties(const Node &node, TracerItem::TracerItemCategory category,
                                         QTableWidget *table, int first, int last)
{
    Properties::fillNode(node, category, table, first, last);
}

void WidgetItemPresenter::fillProperties(const Task &task, TracerItem::TracerItemCategory category,
                                         QTableWidget *table, int index)
{
    Properties::fillTask(task, category, table, index);
}

void WidgetItemPresenter::fillProperties(const Hub &hub, QTableWidget *table)
{
    Properties::fillHub(hub, table);
}
