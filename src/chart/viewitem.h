#pragma once

#include <QHash>
#include <QRect>
#include <QSharedPointer>
#include <QString>

#include <memory>
#include <vector>

class Hub;
class Node;
class Task;
class PacketKeyIndex;
class PaintIndex;
class ViewNode;

// One row of an event chart. The rows form a tree: the root, one node row per
// viewed node, under each its "Tasks" and "Hubs" group rows, and under those
// one row per task and hub. Every item is exactly one row of the chart.
class ViewItem
{
public:
    enum ViewItemKind {
        ROOT_ITEM = 0,
        NODE_ITEM = 1,
        TASK_TRAIN_ITEM = 2,
        HUB_TRAIN_ITEM = 3,
        TASK_ITEM = 4,
        HUB_ITEM = 5
    };

    virtual ~ViewItem() = default;

    // The i-th child; null when out of range.
    virtual ViewItem *child(int i) const;
    // The child that stands for the node, task or hub with that id; null when none.
    virtual ViewItem *childById(int id) const;
    virtual int childCount() const;
    // The row text.
    virtual QString label() const;
    // Appends a child; items that cannot hang here are ignored.
    virtual void addChild(ViewItem *item);
    // Removes the i-th child; out of range is ignored.
    virtual void removeChild(int i);

    ViewItemKind kind() const { return m_kind; }
    // The id of the node, task or hub the row stands for; 0 for the root and the group rows.
    int itemId() const { return m_itemId; }
    ViewItem *parent() const { return m_parent; }
    void setParent(ViewItem *parent) { m_parent = parent; }
    // Position among the parent's children.
    int index() const { return m_index; }
    void setIndex(int index) { m_index = index; }
    // Chart row number; 0 is the root's row.
    int row() const { return m_row; }
    void setRow(int row) { m_row = row; }
    // The children of a collapsed item get no rows.
    bool isExpanded() const { return m_expanded; }
    void setExpanded(bool expanded) { m_expanded = expanded; }
    // The full rectangle in viewport coordinates, as the chart last painted it.
    const QRect &rect() const { return m_rect; }
    void setRect(const QRect &rect) { m_rect = rect; }

    // The node row this item belongs to (the item itself for a node row); null for the root.
    ViewNode *viewNode() const;

protected:
    ViewItem(ViewItemKind kind, int itemId, ViewItem *parent, int index = 0);
    // Rows are copied only as their concrete type (trains hold their rows by value).
    ViewItem(const ViewItem &) = default;
    ViewItem &operator=(const ViewItem &) = default;

private:
    QRect m_rect;
    ViewItemKind m_kind;
    int m_itemId;
    ViewItem *m_parent;
    int m_index;
    int m_row = 0;
    bool m_expanded = true;
};

// The row of one task of a node.
class ViewTask : public ViewItem
{
public:
    ViewTask(Task *task, ViewItem *parent);

    // "[id] name"; a negative id shows as "[?] name".
    QString label() const override;
    Task *task() const { return m_task; }

private:
    Task *m_task;
};

// The row of one hub of a node.
class ViewHub : public ViewItem
{
public:
    ViewHub(Hub *hub, ViewItem *parent);

    QString label() const override;
    Hub *hub() const { return m_hub; }

private:
    Hub *m_hub;
};

// A group row with its rows held by value, found by position or by the id of
// the task or hub they stand for.
template<typename Row> class ViewTrain : public ViewItem
{
public:
    ViewItem *child(int i) const override;
    ViewItem *childById(int id) const override;
    int childCount() const override { return int(m_rows.size()); }
    // Takes a copy of a Row; other items are ignored.
    void addChild(ViewItem *item) override;
    void removeChild(int i) override;

    const std::vector<Row> &rows() const { return m_rows; }

protected:
    ViewTrain(ViewItemKind kind, ViewItem *parent, int index);
    ViewTrain(const ViewTrain &) = delete;
    ViewTrain &operator=(const ViewTrain &) = delete;

private:
    // Gives every row its position again, in the rows and in the id table.
    void renumber();

    std::vector<Row> m_rows;
    QHash<int, int> m_positionById;
};

extern template class ViewTrain<ViewTask>;
extern template class ViewTrain<ViewHub>;

// The "Tasks" group row and the rows of a node's tasks.
class ViewTaskTrain : public ViewTrain<ViewTask>
{
public:
    explicit ViewTaskTrain(ViewItem *parent);
    QString label() const override;
};

// The "Hubs" group row and the rows of a node's hubs.
class ViewHubTrain : public ViewTrain<ViewHub>
{
public:
    explicit ViewHubTrain(ViewItem *parent);
    QString label() const override;
};

// The row of one viewed node with its two group rows. The node is not owned:
// the view lets go of the row before the node goes away.
class ViewNode : public ViewItem
{
public:
    // A row for node `nodeId`; with a node, its tasks and hubs get rows in the
    // order of the node's tables (ascending id).
    ViewNode(int nodeId, Node *node, ViewItem *parent, int index = 0);
    ~ViewNode() override;
    ViewNode(const ViewNode &) = delete;
    ViewNode &operator=(const ViewNode &) = delete;

    // Child 0 is the task train, child 1 the hub train; childById(i) is child(i).
    ViewItem *child(int i) const override;
    ViewItem *childById(int id) const override;
    int childCount() const override { return 2; }
    // "[id] name", or the id alone for a row without node.
    QString label() const override;

    Node *node() const { return m_node; }
    // Microseconds added to the linear position of every event of the node.
    int shift() const { return m_shift; }
    void setShift(int shift) { m_shift = shift; }
    // The shift the clock alignment found; resetShifts() returns to it.
    int baseShift() const { return m_baseShift; }
    void setBaseShift(int shift) { m_baseShift = shift; }
    ViewTaskTrain *taskTrain() const { return m_taskTrain.data(); }
    ViewHubTrain *hubTrain() const { return m_hubTrain.data(); }
    // Shared with every other view of the node, built on first use; a row
    // without node gets an empty index.
    const PaintIndex &paintIndex() const;
    // Shared as the paint index is.
    const PacketKeyIndex &packetKeyIndex() const;

private:
    Node *m_node;
    mutable std::shared_ptr<const PaintIndex> m_paintIndex;
    mutable std::shared_ptr<const PacketKeyIndex> m_packetKeyIndex;
    int m_shift = 0;
    int m_baseShift = 0;
    QSharedPointer<ViewTaskTrain> m_taskTrain;
    QSharedPointer<ViewHubTrain> m_hubTrain;
};
