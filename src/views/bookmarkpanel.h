#pragma once

#include <QDockWidget>
#include <QPointer>

class EventChart;
class QTableWidget;
class QTableWidgetItem;

// The dockable list of the bookmarks of one chart's project: name, time (on
// the node's own clock) and node. A double-click jumps the chart to a
// bookmark, Delete removes the selected ones and a name is edited in place;
// every change is saved at once. Tells the user, once, when the project's
// bookmark file was ignored, and whenever a change cannot be saved.
class BookmarkPanel : public QDockWidget
{
    Q_OBJECT
public:
    enum Column { NAME_COLUMN = 0, TIME_COLUMN = 1, NODE_COLUMN = 2 };

    explicit BookmarkPanel(QWidget *parent = nullptr);

    // Follows `chart` (null: shows nothing) until another one is set or it goes.
    void setChart(EventChart *chart);
    EventChart *chart() const { return m_chart.data(); }
    QTableWidget *table() const { return m_table; }

public slots:
    void removeSelected();

private:
    void refill();
    // Drops the chart that is going away, without reading it.
    void forgetChart();
    void rename(QTableWidgetItem *item);
    void jump(int row);
    void warn(const QString &message);

    QTableWidget *m_table;
    QPointer<EventChart> m_chart;
    QList<QMetaObject::Connection> m_connections;
    bool m_filling = false; // the table's own changes are no renames
};
