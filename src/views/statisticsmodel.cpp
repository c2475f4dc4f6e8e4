#include "views/statisticsmodel.h"

#include <utility>

namespace {

bool isNumber(const QString &field)
{
    bool ok = false;
    field.toDouble(&ok);
    return ok;
}

} // namespace

StatisticsModel::StatisticsModel(StatisticsTable table, QObject *parent)
    : QAbstractTableModel(parent)
    , m_table(std::move(table))
    , m_numeric(m_table.columns.size(), true)
{
    for (const QStringList &fields : std::as_const(m_table.rows)) {
        for (int column = 0; column < m_numeric.size(); ++column)
            m_numeric[column] = m_numeric[column] && column < fields.size() && isNumber(fields.at(column));
    }
}

int StatisticsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_table.rows.size());
}

int StatisticsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_table.columns.size());
}

QVariant StatisticsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const QStringList &fields = m_table.rows.at(index.row());
    const QString field = index.column() < fields.size() ? fields.at(index.column()) : QString();
    switch (role) {
    case Qt::DisplayRole:
        return field;
    case SortRole:
        return m_numeric.at(index.column()) ? QVariant(field.toDouble()) : QVariant(field);
    case Qt::TextAlignmentRole:
        return int(m_numeric.at(index.column()) ? Qt::AlignRight | Qt::AlignVCenter
                                                : Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant StatisticsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    return m_table.columns.at(section);
}
