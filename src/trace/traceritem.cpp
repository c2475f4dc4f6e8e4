#include "trace/traceritem.h"

#include "trace/node.h"

#include <QTableWidget>
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

void TracerItem::setPropertyRow(QTableWidget *table, int row, const QString &label, const QString &value,
                                const QIcon &icon, const QBrush &background)
{
    auto *labelCell = new QTableWidgetItem(label);
    labelCell->setForeground(QBrush(Qt::darkGray, Qt::SolidPattern));
    labelCell->setFlags(Qt::ItemIsEnabled);
    table->setItem(row, 0, labelCell);

    auto *valueCell = new QTableWidgetItem(icon, value);
    valueCell->setFlags(Qt::ItemIsEnabled);
    if (background.style() != Qt::NoBrush)
        valueCell->setBackground(background);
    table->setItem(row, 1, valueCell);
}

void TracerItem::setCategoryRow(QTableWidget *table, const QString &category, const QString &iconPath)
{
    setPropertyRow(table, 0, QStringLiteral("Category"), category, QIcon(iconPath));
}

void TracerItem::fitProperties(QTableWidget *table)
{
    table->resizeRowsToContents();
    table->resizeColumnToContents(0);
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
