#pragma once

#include "views/statisticstables.h"

#include <QWidget>

class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class StatisticsHistogram;
class StatisticsModel;

// One tab of the statistics window: a sortable table, the histogram of the
// chosen row's durations, and the chosen row's worst and best instances one
// click away (buttons and the table's context menu). Exports the table as
// the CSV writer wrote it.
class StatisticsPage : public QWidget
{
    Q_OBJECT
public:
    explicit StatisticsPage(StatisticsTable table, QWidget *parent = nullptr);

    const StatisticsTable &table() const;
    QTableView *tableView() const { return m_view; }
    StatisticsHistogram *histogram() const { return m_histogram; }
    QPushButton *worstButton() const { return m_worst; }
    QPushButton *bestButton() const { return m_best; }

    // The table's row (in the table's own order) of the view's current row; -1 for none.
    int currentRow() const;
    // Asks for the event of the current row's worst or best instance; false when there is none.
    bool goToWorst();
    bool goToBest();
    // Writes the table's CSV; false when the file could not be written.
    bool exportCsv(const QString &path) const;
    // Asks for a file and exports to it; tells the user when that fails.
    void exportWithDialog();

signals:
    // The user asked to see event `eventIndex` of node `nodeId`.
    void jumpRequested(int nodeId, int eventIndex);

private:
    void showRow();
    bool goTo(const EventRef &where);
    void showContextMenu(const QPoint &position);

    StatisticsModel *m_model;
    QSortFilterProxyModel *m_proxy;
    QTableView *m_view;
    StatisticsHistogram *m_histogram;
    QPushButton *m_worst;
    QPushButton *m_best;
};
