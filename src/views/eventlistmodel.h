#pragma once

#include "trace/eventcells.h"

#include <QAbstractItemModel>
#include <QPointer>

#include <optional>
#include <vector>

class Node;

// The read-only table of one node's events behind a view window's event list.
// Every cell is computed when asked, from the event, the node's task and
// service tables and the controller's system-event catalogue. A row filter
// shows only some events, each under its own event number; rows and events
// are then told apart, and the functions below map between them.
class EventListModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    enum Column {
        NUMBER = EventCells::NUMBER,
        TIMESTAMP = EventCells::TIMESTAMP,
        TYPE = EventCells::TYPE,
        ARG1 = EventCells::ARG1,
        ARG2 = EventCells::ARG2,
        TIMECUT = EventCells::TIMECUT
    };
    static constexpr int columns = EventCells::columns;

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

    // Shows only the rows of `events` (ascending event indexes of the node),
    // or every event for none; views are reset either way.
    void setRowFilter(std::optional<std::vector<int>> events);
    bool isFiltered() const { return m_filtered; }
    // The event a row shows; -1 outside the rows.
    int eventAt(int row) const;
    // The row showing the event; -1 when no row shows it.
    int rowOf(int event) const;
    // The first row showing the event or one after it; rowCount() past the last.
    int rowAtOrAfter(int event) const;

private:
    QPointer<Node> m_node;
    // Found once: a node's events never change after loading.
    quint32 m_largestTimecut = 0;
    bool m_filtered = false;
    std::vector<int> m_rows; // event index by row while filtered
};
