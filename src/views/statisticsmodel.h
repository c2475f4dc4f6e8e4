#pragma once

#include "views/statisticstables.h"

#include <QAbstractTableModel>

// A statistics table for a view: each field as written. In a column whose
// every field is a number, SortRole gives numbers, so that a sort puts 9
// before 10, and the fields are right aligned; other columns stay text.
class StatisticsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int SortRole = Qt::UserRole;

    explicit StatisticsModel(StatisticsTable table, QObject *parent = nullptr);

    const StatisticsTable &table() const { return m_table; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    StatisticsTable m_table;
    QVector<bool> m_numeric; // per column
};
