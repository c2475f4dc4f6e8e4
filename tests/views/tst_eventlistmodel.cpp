#include "headlesstracer.h"
#include "trace/node.h"
#include "trace/project.h"
#include "trace/task.h"
#include "tracefixture.h"
#include "views/eventlistmodel.h"

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QPixmap>
#include <QtTest>

using TraceFixture::eventXml;

namespace {

constexpr int None = -1000; // no icon; or the light red of a row without a known task

// Reaches rows that index() refuses.
class RawIndexModel : public EventListModel
{
public:
    using EventListModel::EventListModel;
    QModelIndex rawIndex(int row) const { return createIndex(row, 0, quintptr(0)); }
};

} // namespace

class TestEventListModel : public QObject
{
    Q_OBJECT

private:
    HeadlessTracer m_tracer;
    int m_files = 0;

    // Node 1 with service 1: a switch to task 1, the event under test as the last but one row
    // (after any switch to the kernel the reader puts before it) and a service request.
    Node *load(const QByteArray &event)
    {
        return m_tracer.load(
            QString::number(++m_files), QStringLiteral("n.trace"),
            TraceFixture::traceFile(1,
                                    "<tasks><task id=\"0\" name=\"K\"/><task id=\"1\" name=\"W\"/>"
                                    "<task id=\"2\" name=\"R\"/></tasks>\n"
                                    "<services><service id=\"1\" name=\"Ks_Start_Task_W\"/></services>\n",
                                    eventXml(0, 10, 0, 1 << 8 | 1) + event + eventXml(1, 90, 1, 1 << 8 | 2)));
    }

private slots:
    void cellsDescribeTheEvent_data()
    {
        QTest::addColumn<QByteArray>("event");
        QTest::addColumn<QString>("cells");  // display of columns 2|3|4, then their tooltips
        QTest::addColumn<int>("typeIcon");   // sysEvents code of column 2's icon
        QTest::addColumn<int>("colourTask"); // the task whose colour fills the row
        QTest::addColumn<bool>("serviceIcon");

        const QString request = QStringLiteral("L1_SERVICE_REQUEST|Ks_Start_Task_W|");
        QTest::newRow("a service request on a task of the own node shows the task id bare")
            << eventXml(1, 20, 1, 1 << 8 | 2) << QStringLiteral("||2|") + request << 1 << 1 << true;
        QTest::newRow("a service request on a task of node 5 adds that id")
            << eventXml(1, 20, 1, 5 << 8 | 3) << QStringLiteral("||3 [5]|") + request << 1 << 1 << true;
        QTest::newRow("a sync event shows port [node] and sequence (high half)")
            << eventXml(4, 20, 2 << 8 | 5, 3 << 16 | 7)
            << "|5 [2]|7 (3)|SYNC_PACKET_SENDING|TaskID[NodeID]|Packet Sequence Number" << 4 << 0 << false;
        QTest::newRow("a user marker shows its value in its task's colour")
            << eventXml(16, 20, 2 << 16 | 9, 4) << "|9|4|USER_MARKER||" << 16 << 2 << false;
        QTest::newRow("a task switch is in the colour of the task it starts")
            << eventXml(0, 20, 0, 1 << 8 | 2) << "||2|L1_TASK_SWITCH||TaskID to switch" << 0 << 2 << false;
        QTest::newRow("a task switch without a task shows the interrupt icon")
            << QByteArray() << "||2|L1_TASK_SWITCH||TaskID to switch" << 255 << None << false;
        QTest::newRow("an event outside the catalogue shows its type and whole argument")
            << eventXml(7, 20, 3, 0x12345) << "7||74565|||" << None << None << false;
    }

    void cellsDescribeTheEvent()
    {
        QFETCH(QByteArray, event);
        QFETCH(int, typeIcon);
        QFETCH(int, colourTask);
        QFETCH(bool, serviceIcon);
        // The reader never stores a switch without a task, but a record may hold one.
        Node *node = load(event.isEmpty() ? eventXml(0, 20, 0, 1 << 8 | 2) : event);
        const int row = node->eventCount() - 2;
        if (event.isEmpty())
            const_cast<std::vector<TraceEvent> &>(node->events())[size_t(row)].currentTask = -1;
        const EventListModel model(node);
        const auto cell = [&](int column, int role) { return model.data(model.index(row, column), role); };

        QCOMPARE(cell(1, Qt::DisplayRole).toULongLong(), quint64(20));
        QStringList cells;
        for (const int role : {Qt::DisplayRole, Qt::ToolTipRole})
            for (int column = 2; column <= 4; ++column)
                cells << cell(column, role).toString();
        QTEST(cells.join(QLatin1Char('|')), "cells");
        // A null pixmap, no icon, has the key 0.
        QCOMPARE(cell(2, Qt::DecorationRole).value<QPixmap>().cacheKey(),
                 typeIcon == None ? 0 : m_tracer.sysEvent(typeIcon).icon.cacheKey());
        QCOMPARE(cell(3, Qt::DecorationRole).value<QPixmap>().cacheKey(),
                 serviceIcon ? node->service(1).icon.cacheKey() : 0);
        const QColor colour = colourTask == None ? QColor(255, 85, 85) : node->task(colourTask)->colour();
        for (int column = 0; column < 6; ++column)
            QCOMPARE(cell(column, Qt::BackgroundRole).value<QBrush>().color(), colour);
    }

    // A view may still hold indexes of rows that are gone: a node closed under it. Without its node the
    // model has no rows and keeps only the column headers.
    void rowsOutsideTheNodeAreNeverRead()
    {
        Node *node = load(eventXml(16, 20, 1 << 16 | 9, 4));
        RawIndexModel model(node);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.data(model.index(0, 0)).toInt(), 1); // numbered from 1
        QVERIFY(!model.index(model.rowCount(), 0).isValid());
        QVERIFY(!model.data(model.rawIndex(model.rowCount()), Qt::DisplayRole).isValid());
        QVERIFY(!model.data(model.rawIndex(-1), Qt::BackgroundRole).isValid());
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        node->project()->removeNode(node);
        QCOMPARE(reset.size(), 1);
        QVERIFY(!model.data(model.rawIndex(0), Qt::DisplayRole).isValid());
        QCOMPARE(QString::number(model.rowCount()) + model.headerData(0, Qt::Horizontal).toString() +
                     model.headerData(0, Qt::Horizontal, Qt::ToolTipRole).toString(),
                 QStringLiteral("0#Event number"));
        for (const auto &[section, orientation] : {qMakePair(6, Qt::Horizontal), qMakePair(0, Qt::Vertical)})
            QVERIFY(!model.headerData(section, orientation, Qt::DisplayRole).isValid());
    }

    void filteredRowsKeepTheirEventsAndNumbers_data()
    {
        QTest::addColumn<QList<int>>("shown"); // the filter's events; empty: no filter
        QTest::addColumn<int>("event");
        QTest::addColumn<int>("row");      // rowOf
        QTest::addColumn<int>("rowAfter"); // rowAtOrAfter
        const QList<int> filter = {1, 3};
        QTest::newRow("a shown event has its row") << filter << 3 << 1 << 1;
        QTest::newRow("past the last shown event lies the row count") << filter << 4 << -1 << 2;
        QTest::newRow("before the first one the first row") << filter << 0 << -1 << 0;
        QTest::newRow("without a filter rows are events") << QList<int>() << 2 << 2 << 2;
    }

    void filteredRowsKeepTheirEventsAndNumbers()
    {
        QFETCH(QList<int>, shown);
        QFETCH(int, event);
        QFETCH(int, row);
        Node *node = load(eventXml(16, 20) + eventXml(16, 30) + eventXml(16, 40));
        QVERIFY(node->eventCount() >= 5);
        EventListModel model(node);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        if (!shown.isEmpty())
            model.setRowFilter(std::vector<int>(shown.begin(), shown.end()));
        QCOMPARE(model.rowCount(), shown.isEmpty() ? node->eventCount() : int(shown.size()));
        QCOMPARE(model.rowOf(event), row);
        QTEST(model.rowAtOrAfter(event), "rowAfter");
        if (row >= 0)
            QCOMPARE((QList<qint64>{model.eventAt(row),
                                    model.data(model.index(row, EventListModel::NUMBER)).toInt(),
                                    model.data(model.index(row, EventListModel::TIMESTAMP)).toLongLong()}),
                     (QList<qint64>{event, event + 1, node->event(event)->timestamp}));
        QCOMPARE(model.eventAt(model.rowCount()), -1);
        model.setRowFilter(std::nullopt);
        QCOMPARE(model.rowCount(), node->eventCount());
    }
};

QTEST_MAIN(TestEventListModel)
#include "tst_eventlistmodel.moc"
