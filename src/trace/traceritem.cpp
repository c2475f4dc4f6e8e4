#include "trace/traceritem.h"

#include "trace/node.h"

#include <QTreeWidgetItem>
#include <QVariant>

TracerItem::TracerItem(TracerItemCategory category)
    : m_category(category)
{}

TracerItem::~TracerItem() = default;

void TracerItem::fillProperties(TracerItemCategory, QTableWidget *, int, int) {}

QVariant TracerItem::itemData(TracerItem *item)
{
    return QVariant::fromValue(static_cast<void *>(item));
}

TracerItem *TracerItem::itemFromData(const QVariant &data)
{
    return static_cast<TracerItem *>(data.value<void *>());
}

void TracerItem::setTreeItem(QTreeWidgetItem *entry, TracerItemCategory entryCategory)
{
    m_treeItem.reset(entry);
    if (!entry)
        return;
    entry->setData(0, CategoryRole, int(entryCategory));
    entry->setData(0, ItemRole, itemData(this));
}

NodeItem::NodeItem(int id, const QString &name, const QColor &colour, TracerItemCategory category, Node *node)
    : TracerItem(category)
    , m_colour(colour)
    , m_id(id)
    , m_name(name)
    , m_node(node)
{
    auto *entry = new QTreeWidgetItem;
    setTreeItem(entry, category);
    if (node) {
        if (QTreeWidgetItem *parent = node->parentEntryFor(category))
            parent->addChild(entry);
    }
}
