#include "views/statisticspage.h"

#include "views/statisticshistogram.h"
#include "views/statisticsmodel.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

StatisticsPage::StatisticsPage(StatisticsTable table, QWidget *parent)
    : QWidget(parent)
    , m_model(new StatisticsModel(std::move(table), this))
    , m_proxy(new QSortFilterProxyModel(this))
    , m_view(new QTableView)
    , m_histogram(new StatisticsHistogram)
    , m_worst(new QPushButton(QStringLiteral("Go to Worst")))
    , m_best(new QPushButton(QStringLiteral("Go to Best")))
{
    m_proxy->setSourceModel(m_model);
    m_proxy->setSortRole(StatisticsModel::SortRole);
    m_view->setModel(m_proxy);
    m_view->setSortingEnabled(true);
    m_view->sortByColumn(-1, Qt::AscendingOrder); // the writer's order until a header is clicked
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->verticalHeader()->hide();
    m_view->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);

    auto *exportButton = new QPushButton(QStringLiteral("Export CSV..."));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_worst);
    buttons->addWidget(m_best);
    buttons->addStretch();
    buttons->addWidget(exportButton);
    auto *splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(m_view);
    splitter->addWidget(m_histogram);
    // Half each: the tables are short, the histogram needs the height to be read.
    splitter->setSizes({400, 400});
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(splitter);
    layout->addLayout(buttons);

    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &StatisticsPage::showRow);
    connect(m_view, &QWidget::customContextMenuRequested, this, &StatisticsPage::showContextMenu);
    connect(m_worst, &QPushButton::clicked, this, &StatisticsPage::goToWorst);
    connect(m_best, &QPushButton::clicked, this, &StatisticsPage::goToBest);
    connect(exportButton, &QPushButton::clicked, this, &StatisticsPage::exportWithDialog);
    showRow();
}

const StatisticsTable &StatisticsPage::table() const
{
    return m_model->table();
}

int StatisticsPage::currentRow() const
{
    const QModelIndex current = m_proxy->mapToSource(m_view->currentIndex());
    return current.isValid() ? current.row() : -1;
}

void StatisticsPage::showRow()
{
    const int row = currentRow();
    const TimingStats *timing = row >= 0 ? &table().timings.at(row) : nullptr;
    m_worst->setEnabled(timing && timing->worst.eventIndex >= 0);
    m_best->setEnabled(timing && timing->best.eventIndex >= 0);
    if (timing)
        m_histogram->showSamples(table().labels.at(row) + QStringLiteral(": ") + table().quantity,
                                 timing->samples);
    else
        m_histogram->showSamples(
            QStringLiteral("Choose a row to see how its %1 spreads").arg(table().quantity), {});
}

bool StatisticsPage::goToWorst()
{
    const int row = currentRow();
    return row >= 0 && goTo(table().timings.at(row).worst);
}

bool StatisticsPage::goToBest()
{
    const int row = currentRow();
    return row >= 0 && goTo(table().timings.at(row).best);
}

bool StatisticsPage::goTo(const EventRef &where)
{
    if (where.eventIndex < 0)
        return false;
    emit jumpRequested(where.nodeId, where.eventIndex);
    return true;
}

void StatisticsPage::showContextMenu(const QPoint &position)
{
    QMenu menu;
    menu.addAction(QStringLiteral("Go to Worst"), this, &StatisticsPage::goToWorst)
        ->setEnabled(m_worst->isEnabled());
    menu.addAction(QStringLiteral("Go to Best"), this, &StatisticsPage::goToBest)
        ->setEnabled(m_best->isEnabled());
    menu.addSeparator();
    menu.addAction(QStringLiteral("Export CSV..."), this, &StatisticsPage::exportWithDialog);
    menu.exec(m_view->viewport()->mapToGlobal(position));
}

bool StatisticsPage::exportCsv(const QString &path) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = table().csv.toUtf8();
    return file.write(bytes) == bytes.size() && file.flush();
}

void StatisticsPage::exportWithDialog()
{
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export %1").arg(table().title),
                                                QString(), QStringLiteral("CSV table (*.csv)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".csv");
    if (!exportCsv(path))
        QMessageBox::warning(this, QStringLiteral("Export %1").arg(table().title),
                             QStringLiteral("Could not write %1.").arg(QDir::toNativeSeparators(path)));
}
