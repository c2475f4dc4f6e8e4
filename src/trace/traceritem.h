#pragma once

#include <QColor>
#include <QObject>
#include <QSharedPointer>
#include <QString>

class Node;
class QTableWidget;
class QTreeWidgetItem;

// Item-data roles of the item tree's entries: the category of the selection
// the entry stands for, and the item itself as an untyped pointer.
constexpr int CategoryRole = 64;
constexpr int ItemRole = 65;

// Something the user can select and have described in the property browser.
class TracerItem : public QObject
{
    Q_OBJECT
public:
    enum TracerItemCategory {
        NONE = 0,
        PROJECT = 1,
        NODE = 2,
        TASKS = 3,
        HUBS = 4,
        TASK = 6,
        HUB = 7,
        HIDDEN_HUB = 8,
        TASK_EVENT_RANGE = 9,
        TASK_EVENT = 10,
        NO_SELECTION = 255
    };

    explicit TracerItem(TracerItemCategory category);
    ~TracerItem() override;

    TracerItemCategory category() const { return m_category; }

    // The item's entry in the item tree; null for items that have none. The
    // item is the entry's only owner: releasing it removes the entry.
    QTreeWidgetItem *treeItem() const { return m_treeItem.data(); }

    // Fills the property browser's two-column table for this item shown under
    // `category`; a null table is left alone. data1/data2 carry the event
    // indexes of an event-list selection. The tables are drawn by the
    // installed ItemPresenter; with none, nothing is written.
    virtual void fillProperties(TracerItemCategory category, QTableWidget *table, int data1, int data2);

    // The untyped pointer kept under ItemRole, and back.
    static QVariant itemData(TracerItem *item);
    static TracerItem *itemFromData(const QVariant &data);

protected:
    // Asks the installed presenter for the item's tree entry, hung under
    // `parent` when that is not null; no presenter, no entry.
    void createTreeItem(TracerItemCategory entryCategory, QTreeWidgetItem *parent);

private:
    const TracerItemCategory m_category;
    QSharedPointer<QTreeWidgetItem> m_treeItem;
};

// Base of tasks and hubs: a numbered, named, coloured part of one node.
class NodeItem : public TracerItem
{
    Q_OBJECT
public:
    NodeItem(int id, const QString &name, const QColor &colour, TracerItemCategory category, Node *node);

    int id() const { return m_id; }
    const QString &name() const { return m_name; }
    const QColor &colour() const { return m_colour; }
    Node *node() const { return m_node; }

protected:
    // Ends the constructor of a task or hub: draws a random light colour when
    // `drawColour`, then makes the tree entry. A node read off the main
    // thread keeps both for Node::attach(), which makes them in this order.
    void present(bool drawColour);

    QColor m_colour;

private:
    friend class Node;

    const int m_id;
    const QString m_name;
    Node *const m_node;
};
