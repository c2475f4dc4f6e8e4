#pragma once

#include "trace/itempresenter.h"

// The program's presenter: item-tree entries with the program's texts and
// icons, and the property tables of src/views/properties.cpp.
class WidgetItemPresenter : public ItemPresenter
{
public:
    // The one instance; lives until the program ends, so it outlives every item.
    static WidgetItemPresenter *instance();

    QSharedPointer<QTreeWidgetItem> createEntry(TracerItem &item, TracerItem::TracerItemCategory category,
                                                QTreeWidgetItem *parent) override;
    void setEntryText(QTreeWidgetItem *entry, const QString &text) override;
    void detachEntry(QTreeWidgetItem *entry) override;

    void fillProperties(const Project &project, QTableWidget *table) override;
    void fillProperties(const Node &node, TracerItem::TracerItemCategory category, QTableWidget *table,
                        int first, int last) override;
    void fillProperties(const Task &task, TracerItem::TracerItemCategory category, QTableWidget *table,
                        int index) override;
    void fillProperties(const Hub &hub, QTableWidget *table) override;
};
