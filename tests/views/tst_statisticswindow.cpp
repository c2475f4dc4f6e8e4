#include "chart/viewroot.h"
#include "headlesstracer.h"
#include "trace/node.h"
#include "views/nodeviewwindow.h"
#include "views/statisticshistogram.h"
#include "views/statisticspage.h"
#include "views/statisticstables.h"
#include "views/statisticswindow.h"

#include <QFile>
#include <QHeaderView>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTabWidget>
#include <QtTest>

#include <memory>
#include <utility>

namespace {

// The page of the tab titled `title`; null when there is none.
StatisticsPage *page(const StatisticsWindow &window, const QString &title)
{
    for (int tab = 0; tab < window.tabs()->count(); ++tab) {
        if (window.tabs()->tabText(tab) == title)
            return window.pages().at(tab);
    }
    return nullptr;
}

// The column of the view's header titled `title`, top to bottom, joined by spaces.
QString columnText(const QTableView &view, const QString &title)
{
    const QAbstractItemModel *model = view.model();
    int column = 0;
    while (column < model->columnCount() && model->headerData(column, Qt::Horizontal) != title)
        ++column;
    QStringList texts;
    for (int row = 0; row < model->rowCount(); ++row)
        texts << model->index(row, column).data().toString();
    return texts.join(QLatin1Char(' '));
}

StatisticsTable handMadeTable()
{
    StatisticsTable table;
    table.columns = QStringList{QStringLiteral("name"), QStringLiteral("total"), QStringLiteral("code")};
    table.rows = {{QStringLiteral("b"), QStringLiteral("10"), QStringLiteral("7")},
                  {QStringLiteral("a"), QStringLiteral("9"), QStringLiteral("x")},
                  {QStringLiteral("c"), QStringLiteral("100"), QStringLiteral("10")}};
    table.labels.fill(QString(), 3);
    table.timings.resize(3);
    return table;
}

} // namespace

class TestStatisticsWindow : public QObject
{
    Q_OBJECT

private:
    HeadlessTracer m_tracer;
    QList<Node *> m_nodes;
    QStringList m_paths;
    std::unique_ptr<NodeViewWindow> m_view;

    // The statistics of the view's current node `current` (1 or 2), both demo nodes viewed.
    StatisticsWindow *openStatistics(int current)
    {
        m_view = std::make_unique<NodeViewWindow>(m_nodes.first()->project(), 1);
        m_view->resize(1200, 600);
        m_view->show();
        for (Node *node : std::as_const(m_nodes))
            m_view->showNode(node);
        m_view->showNode(m_nodes.at(current - 1));
        return QTest::qWaitForWindowExposed(m_view.get()) ? m_view->showStatistics() : nullptr;
    }

private slots:
    void initTestCase()
    {
        for (const char *name : {"node1.trace", "node2.trace"}) {
            QFile demo(QStringLiteral(KESTREL_DEMO_DIR "/") + QLatin1String(name));
            QVERIFY(demo.open(QIODevice::ReadOnly));
            m_paths << TestSupport::writeTempFile(QStringLiteral("demo"), QLatin1String(name),
                                                  demo.readAll());
            m_nodes << m_tracer.createNode(m_paths.last(), m_tracer.rootEntry(), FROM_TRACER);
            QVERIFY(m_nodes.last());
        }
    }

    void cleanup() { m_view.reset(); }

    void headerClickSortsNumbersByValue_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("sorted");

        QTest::newRow("a column of numbers sorts by value, not as text") << "total"
                                                                         << "9 10 100";
        QTest::newRow("a column with a word among the numbers sorts as text") << "code"
                                                                              << "10 7 x";
    }

    void headerClickSortsNumbersByValue()
    {
        QFETCH(QString, column);
        StatisticsPage page(handMadeTable());
        QTableView &view = *page.tableView();
        // The writer's order until a header is clicked.
        QCOMPARE(columnText(view, QStringLiteral("name")), QStringLiteral("b a c"));
        view.sortByColumn(int(handMadeTable().columns.indexOf(column)), Qt::AscendingOrder);
        QTEST(columnText(view, column), "sorted");
    }

    void goToWorstOrBestSelectsTheEventInListAndChart_data()
    {
        QTest::addColumn<QString>("tab");
        QTest::addColumn<bool>("worst");

        QTest::newRow("a service's quickest call") << "Services" << false;
        QTest::newRow("a packet route's slowest leg, on the other node") << "Packet Routes" << true;
    }

    void goToWorstOrBestSelectsTheEventInListAndChart()
    {
        QFETCH(QString, tab);
        QFETCH(bool, worst);
        StatisticsWindow *window = openStatistics(2);
        QVERIFY(window);
        StatisticsPage *shown = page(*window, tab);
        QVERIFY(shown);
        shown->tableView()->selectRow(0);
        const TimingStats &timing = shown->table().timings.at(shown->currentRow());
        const EventRef where = worst ? timing.worst : timing.best;
        QVERIFY(where.eventIndex >= 0);
        QVERIFY(!shown->histogram()->bins().counts.isEmpty());
        QTest::mouseClick(worst ? shown->worstButton() : shown->bestButton(), Qt::LeftButton);

        QCOMPARE(m_view->currentNode()->nodeId(), where.nodeId);
        // The list's and the chart's selection of the view's current node.
        const QItemSelection list = m_view->eventList()->selectionModel()->selection();
        const NodeViewState state = m_view->viewStates().value(m_view->currentNode()->traceFileName());
        QVERIFY(!list.isEmpty());
        QCOMPARE((QList<int>{list.first().top(), list.first().bottom(), state.selFirst, state.selLast}),
                 QList<int>(4, where.eventIndex));
        const QRect inList =
            m_view->eventList()->visualRect(m_view->eventList()->model()->index(where.eventIndex, 0));
        QVERIFY(m_view->eventList()->viewport()->rect().intersects(inList));
    }

    // The pages show the writer's records read back from its text.
    void csvTextReadsBackIntoRecords_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("records"); // fields joined by '|', records by '/'
        QTest::newRow("plain fields, the last line without its end") << "a,b\nc,d"
                                                                     << "a|b/c|d";
        QTest::newRow("a quoted field keeps commas, line ends and doubled quotes; CR LF ends a line")
            << "\"x,\"\"y\"\"\n\",z\r\n"
            << "x,\"y\"\n|z";
        QTest::newRow("an empty last field") << "a,\n"
                                             << "a|";
    }

    void csvTextReadsBackIntoRecords()
    {
        QFETCH(QString, text);
        QStringList records;
        for (const QStringList &record : parseCsv(text))
            records << record.join(QLatin1Char('|'));
        QTEST(records.join(QLatin1Char('/')), "records");
    }

    void csvExportIsTheCommandLinesTable_data()
    {
        QTest::addColumn<QString>("tab");
        QTest::addColumn<QString>("table"); // kestrel-cli stats --table

        for (const auto &[tab, table] :
             {std::pair("Tasks", "tasks"), std::pair("Services", "services"),
              std::pair("Interrupts", "interrupts"), std::pair("Packet Routes", "packets")})
            QTest::newRow(tab) << QString::fromLatin1(tab) << QString::fromLatin1(table);
    }

    void csvExportIsTheCommandLinesTable()
    {
        QFETCH(QString, tab);
        QFETCH(QString, table);
        StatisticsWindow *window = openStatistics(1);
        QVERIFY(window);
        const QString path = TestSupport::sandboxPath() + QStringLiteral("/export.csv");
        QVERIFY(page(*window, tab)->exportCsv(path));
        QFile exported(path);
        QVERIFY(exported.open(QIODevice::ReadOnly));

        QStringList arguments{QStringLiteral("stats"), m_paths.first()};
        if (table == QLatin1String("packets"))
            arguments << m_paths.last();
        QProcess cli;
        cli.start(QStringLiteral(KESTREL_CLI_PATH), arguments << QStringLiteral("--table") << table);
        QVERIFY(cli.waitForFinished(30000));
        const QByteArray expected = cli.readAllStandardOutput();
        QVERIFY(expected.count('\n') > 1);
        QCOMPARE(exported.readAll(), expected);
    }
};

QTEST_MAIN(TestStatisticsWindow)
#include "tst_statisticswindow.moc"
