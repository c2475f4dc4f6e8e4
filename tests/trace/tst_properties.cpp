#include "headlesstracer.h"
#include "trace/hub.h"
#include "trace/node.h"
#include "trace/project.h"
#include "trace/task.h"
#include "tracefixture.h"

#include <QTableWidget>
#include <QTreeWidgetItem>
#include <QtTest>

using TraceFixture::eventXml;
using TraceFixture::traceFile;

Q_DECLARE_METATYPE(QTreeWidgetItem *)

namespace {

QStringList rows(std::initializer_list<const char *> list)
{
    QStringList out;
    for (const char *row : list)
        out << QString::fromUtf8(row);
    return out;
}

// The resource icon `name` of the interface, the system events or the services, as pixels.
QImage icon(const QString &name)
{
    for (const char *folder : {"interface", "sysevents", "services"}) {
        const QPixmap pixmap(QStringLiteral(":/%1/resources/%2.png").arg(QLatin1String(folder), name));
        if (!pixmap.isNull())
            return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    }
    return QImage();
}

// The table spelt as `expected` spells it: "label|value", then "|icon" when the value shows the icon
// that row expects and "|red" on the raw arguments' background; "" for a row without cells. A label
// that is not dark grey or a cell that is not read-only shows as well.
QStringList tableRows(const QTableWidget &table, const QStringList &expected)
{
    QStringList texts;
    for (int row = 0; row < table.rowCount(); ++row) {
        const QTableWidgetItem *label = table.item(row, 0);
        const QTableWidgetItem *value = table.item(row, 1);
        if (!label || !value) {
            texts << QString();
            continue;
        }
        QStringList fields{label->text(), value->text()};
        const QString name = expected.value(row).section(QLatin1Char('|'), 2, 2);
        const bool red = value->background() == QBrush(QColor(255, 85, 85));
        const QImage shown = value->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
        if (!value->icon().isNull() || red)
            fields << (value->icon().isNull() ? QString()
                       : shown == icon(name)  ? name
                                              : QStringLiteral("other"));
        if (red)
            fields << QStringLiteral("red");
        if (label->foreground() != QBrush(Qt::darkGray) || value->foreground().style() != Qt::NoBrush ||
            label->flags() != Qt::ItemIsEnabled || value->flags() != Qt::ItemIsEnabled)
            fields << QStringLiteral("unstyled");
        texts << fields.join(QLatin1Char('|'));
    }
    return texts;
}

} // namespace

class TestProperties : public QObject
{
    Q_OBJECT

private:
    HeadlessTracer m_tracer;
    Project *m_project = nullptr;

    Node *open(const char *file, const QByteArray &contents, int origin)
    {
        return m_tracer.load(QStringLiteral("props"), QString::fromUtf8(file), contents, origin);
    }
    Node *node(const QString &file) const { return m_project->node(file); }

private slots:
    void initTestCase()
    {
        // Node 1 addresses its own tasks and hubs, those of node 2 and of a node 9 the project lacks.
        const QByteArray events = eventXml(0, 100, 0, 0x101)         // 0: switch to task 1
                                  + eventXml(1, 200, 4, 0x205)       // 1: start task 5 of node 2
                                  + eventXml(1, 250, 7, 0x103)       // 2: send to own hub 3
                                  + eventXml(1, 300, 7, 0x206)       // 3: send to hub 6 of node 2
                                  + eventXml(1, 350, 4, 0x902)       // 4: start task 2 of node 9
                                  + eventXml(3, 400, 0x205, 0x30007) // 5: sync from task 5 of node 2
                                  + eventXml(3, 430, 0x905, -65534)  // 6: sync from node 9
                                  + eventXml(16, 450, 0x10009, -5)   // 7: user marker of task 1
                                  + eventXml(42, 500, 0x1FF, -3)     // 8: outside the catalogue
                                  + eventXml(-1, 600, 4, 0x101);     // 9: completion
        Node *const a = open(
            "a.trace",
            traceFile(
                1,
                "<tasks><task id=\"1\" name=\"Worker\"/><task id=\"-1\" name=\"Ghost\"/>"
                "<task id=\"2\" name=\"Idle loop\"/></tasks><hubs><hub id=\"3\" name=\"Mailbox\"/>"
                "<hub id=\"-1\" name=\"Minus\"/></hubs><services><service id=\"4\" name=\"Ks_Start_Task\"/>"
                "<service id=\"7\" name=\"Ks_Send_To_Hub\"/></services>\n",
                events),
            FROM_CMDLINE);
        QVERIFY(a);
        m_project = a->project();
        QVERIFY(open("b.trace",
                     traceFile(2,
                               "<node id=\"2\" name=\"N2\"/><tasks><task id=\"5\" name=\"Rx\"/></tasks><hubs>"
                               "<hub id=\"6\" name=\"Outbox\"/></hubs><services>"
                               "<service id=\"7\" name=\"Ks_Send_To_Hub\"/></services>\n",
                               eventXml(0, 0, 0, 0x205) + eventXml(1, 10, 0, 0x205)),
                     FROM_TRACER));
        QVERIFY(open("d.trace", traceFile(-4, QByteArray(), eventXml(1, 0)), 7));
    }

    void everyItemHasItsEntryWhereTheTreeShowsIt_data()
    {
        QTest::addColumn<QTreeWidgetItem *>("entry");
        QTest::addColumn<QTreeWidgetItem *>("parent");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("category");
        QTest::addColumn<TracerItem *>("item");

        Node *const a = node(QStringLiteral("a.trace"));
        const auto row = [](const char *name, QTreeWidgetItem *entry, QTreeWidgetItem *parent,
                            const QString &text, TracerItem::TracerItemCategory category, TracerItem *item) {
            QTest::newRow(name) << entry << parent << text << int(category) << item;
        };
        row("the project under the tree's root", m_project->treeItem(), m_tracer.rootEntry(),
            m_project->path(), TracerItem::PROJECT, m_project);
        row("a node under its project, by its label", a->treeItem(), m_project->treeItem(),
            QStringLiteral("[1] n1"), TracerItem::NODE, a);
        row("the task folder under its node, standing for the node", a->taskFolder(), a->treeItem(),
            QStringLiteral("Tasks"), TracerItem::TASKS, a);
        row("a task in the task folder", a->task(1)->treeItem(), a->taskFolder(), QStringLiteral("Worker"),
            TracerItem::TASK, a->task(1));
        Hub *const mailbox = a->hubs().value(3).data();
        row("a hub in the hub folder", mailbox->treeItem(), a->hubFolder(), QStringLiteral("Mailbox"),
            TracerItem::HUB, mailbox);
        Hub *const remote = a->remoteHubs().value(2 << 8 | 6).data();
        row("another node's hub nowhere in the tree", remote->treeItem(), nullptr, QString(),
            TracerItem::HIDDEN_HUB, remote);
    }

    void everyItemHasItsEntryWhereTheTreeShowsIt()
    {
        QFETCH(QTreeWidgetItem *, entry);
        QVERIFY(entry);
        QTEST(entry->parent(), "parent");
        QTEST(entry->text(0), "text");
        QTEST(entry->data(0, CategoryRole).toInt(), "category");
        QTEST(TracerItem::itemFromData(entry->data(0, ItemRole)), "item");
    }

    void itemTableDescribesTheSelectedEntry_data()
    {
        QTest::addColumn<QString>("item"); // "project", or a trace file name and a task or hub id
        QTest::addColumn<int>("category");
        QTest::addColumn<QStringList>("expected");

        const char *node = "Category|NODE|node_16";
        QTest::newRow("the project counts its nodes whatever the category")
            << "project" << int(TracerItem::NODE)
            << rows({"Category|PROJECT|node_area_16", "Path|%1", "Nodes|3"});
        QTest::newRow("a node counts its own hubs only, and its sync markers with their sequence range")
            << "a.trace" << int(TracerItem::NODE)
            << rows({node, "Trace File|a.trace", "Source|FROM_CMDLINE", "Name|n1", "ID|1", "Tasks|3",
                     "Hubs|2", "Events|10", "SyncMarkes|2 [7 - 2]"});
        QTest::newRow("a source outside 0-2 is empty, a negative node id keeps its sign")
            << "d.trace" << int(TracerItem::NODE)
            << rows({node, "Trace File|d.trace", "Source|", "Name|n-4", "ID|-4", "Tasks|1", "Hubs|0",
                     "Events|1", "SyncMarkes|0 [0 - 0]"});
        QTest::newRow("the task folder counts the tasks")
            << "a.trace" << int(TracerItem::TASKS) << rows({"Category|TASKS|tasks_16", "Tasks|3"});
        QTest::newRow("a node under a task category shows nothing")
            << "a.trace" << int(TracerItem::TASK) << QStringList();
        QTest::newRow("a task's role comes from its name")
            << "a.trace task 2" << int(TracerItem::TASK)
            << rows({"Category|TASK|task_16", "Name|Idle loop", "ID|2", "Task Role|IDLE"});
        QTest::newRow("a task with a negative id shows a question mark")
            << "a.trace task -1" << int(TracerItem::TASK)
            << rows({"Category|TASK|task_16", "Name|Ghost", "ID|?", "Task Role|USER_TASK"});
        QTest::newRow("a hub with a negative id keeps its sign, whatever the category")
            << "a.trace hub -1" << int(TracerItem::NONE)
            << rows({"Category|HUB|hub_16", "Name|Minus", "ID|-1"});
    }

    void itemTableDescribesTheSelectedEntry()
    {
        QFETCH(QString, item);
        QFETCH(int, category);
        QFETCH(QStringList, expected);
        const QStringList words = item.split(QLatin1Char(' '));
        TracerItem *selected = m_project;
        if (words.size() == 1 && words.at(0) != QLatin1String("project"))
            selected = node(words.at(0));
        else if (words.size() == 3 && words.at(1) == QLatin1String("task"))
            selected = node(words.at(0))->task(words.at(2).toInt());
        else if (words.size() == 3)
            selected = node(words.at(0))->hubs().value(words.at(2).toInt()).data();
        QVERIFY(selected);
        expected.replaceInStrings(QStringLiteral("%1"), m_project->path());

        QTableWidget table(0, 2);
        selected->fillProperties(TracerItem::TracerItemCategory(category), &table, 0, 0);
        QCOMPARE(tableRows(table, expected), expected);
    }

    void rangeTableMeasuresTheSelection_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<QStringList>("values"); // empty: no table

        // Event times: 100, 200, 250, 300, 350, 400, 430, 450, 500, 600.
        QTest::newRow("a range lasts until the event after it") << 0 << 2 << rows({"3", "200usec"});
        QTest::newRow("a range selected upwards covers the same events") << 2 << 0 << rows({"3", "200usec"});
        QTest::newRow("a range ending at the last event ends at its timestamp")
            << 7 << 9 << rows({"3", "150usec"});
        QTest::newRow("a last index past the events leaves the table empty") << 8 << 10 << QStringList();
    }

    void rangeTableMeasuresTheSelection()
    {
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(QStringList, values);
        QStringList expected;
        if (!values.isEmpty())
            expected << QStringLiteral("Category|TASK_EVENT_RANGE|event_16")
                     << QStringLiteral("Selected|") + values.at(0)
                     << QStringLiteral("Total duration|") + values.at(1);
        QTableWidget table(0, 2);
        node(QStringLiteral("a.trace"))->fillProperties(TracerItem::TASK_EVENT_RANGE, &table, first, last);
        QCOMPARE(tableRows(table, expected), expected);
    }

    void eventTableDescribesOneEvent_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("expected"); // empty: no table

        const char *plain = "Category|TASK_EVENT|event_16";
        const char *sync = "Category|SYNC_MARKER|sync_marker_icon";
        const char *syncType = "Type|SYNC_MARKER|sync_marker";
        const char *request = "Type|L1_SERVICE_REQUEST|sys_service_request";
        const char *startTask = "Service|Ks_Start_Task|SRV_START_TASK";
        const char *sendToHub = "Service|Ks_Send_To_Hub|SRV_SEND_TO_HUB";
        const char *current = "Current Task|[1] Worker";
        QTest::newRow("a task switch names the task switched to, in 6 rows")
            << 0
            << rows({plain, "Timestamp|100usec", "Duration|100usec", "Type|L1_TASK_SWITCH|sys_task_switch",
                     "Task/Hub ID|[1] Worker", current});
        QTest::newRow("a service on another node's task names that node")
            << 1
            << rows({plain, "Timestamp|200usec", "Duration|50usec", request, startTask,
                     "Task/Hub ID|[5] Rx(Node: [2] N2 )", current});
        QTest::newRow("a hub service on an own hub names the hub")
            << 2
            << rows({plain, "Timestamp|250usec", "Duration|50usec", request, sendToHub,
                     "Task/Hub ID|[3] Mailbox", current});
        QTest::newRow("a hub service on another node's hub asks that node's service")
            << 3
            << rows({plain, "Timestamp|300usec", "Duration|50usec", request, sendToHub,
                     "Task/Hub ID|[6] Outbox(Node: [2] N2 )", current});
        QTest::newRow("a sync marker names its sender and splits its sequence number")
            << 5
            << rows({sync, "Timestamp|400usec", "Duration|0usec", syncType,
                     "Sender Task|[5] Rx(Node: [2] N2 )", "Sequence Number|7 (3)", current});
        QTest::newRow("a sender node the project lacks, and a negative high half")
            << 6
            << rows({sync, "Timestamp|430usec", "Duration|0usec", syncType, "Sender Task|[5] (Node: [9]  )",
                     "Sequence Number|2 (-1)", current});
        QTest::newRow("a user marker shows its two values in 6 rows")
            << 7
            << rows({"Category|USER_MARKER|user_marker", "Timestamp|450usec", "Duration|0usec",
                     "User Defined Value 1|9", "User Defined Value 2|-5", current});
        QTest::newRow("an event outside the catalogue shows its raw arguments on red, the 7th row empty")
            << 8
            << rows({plain, "Timestamp|500usec", "Duration|100usec", "Argument 1|255||red",
                     "Argument 2|-3||red", current, ""});
        QTest::newRow("an index past the events leaves the table empty") << 10 << QStringList();
    }

    void eventTableDescribesOneEvent()
    {
        QFETCH(int, index);
        QFETCH(QStringList, expected);
        // The event list hands over the task current at the event: task 1 throughout.
        QTableWidget table(0, 2);
        node(QStringLiteral("a.trace"))
            ->task(1)
            ->fillProperties(TracerItem::TASK_EVENT, &table, index, index);
        QCOMPARE(tableRows(table, expected), expected);
    }
};

QTEST_MAIN(TestProperties)
#include "tst_properties.moc"
