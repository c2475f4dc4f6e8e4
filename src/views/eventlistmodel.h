#pragma once

#include <QAbstractItemModel>
#include <QPointer>

class Node;

// The read-only table of one node's events behind a view window's event list.
// Every cell is computed when asked, from the event, the node's task and
// service tables and the controller's system-event catalogue.
class EventListModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    enum Column { NUMBER = 0, TIMESTAMP = 1, TYPE = 2, ARG1 = 3, ARG2 = 4, TIMECUT = 5 };
    static constexpr int columns = 6;

    // The node is not owned; once it is destroyed the model has no rows.
    explicit EventListModel(Node *node, QObject *parent = nullptr);
    ~EventListModel() override;

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &index) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    Node *node() const;
    // The largest number the column shows: the last event number in NUMBER,
    // the longest execution time (usec) in TIMECUT; 0 for other columns and
    // once the node is gone.
    quint64 largestNumber(int column) const;

private:
    QPointer<Node> m_node;
    // Found once: a node's events never change after loading.
    quint32 m_largestTimecut = 0;
};
