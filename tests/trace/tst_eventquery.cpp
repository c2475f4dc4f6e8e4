#include "testsupport.h"
#include "trace/eventcatalogue.h"
#include "trace/eventcells.h"
#include "trace/eventcsv.h"
#include "trace/eventquery.h"
#include "trace/node.h"
#include "tracefixture.h"

#include <QtTest>

using TraceFixture::eventXml;

namespace {

// Node 3: tasks Worker (1) and "Rx, task" (2), hub Box (2), services Start
// Task (1) and Send To Hub (8). Timestamps in usec, one per event.
QByteArray trace()
{
    return TraceFixture::traceFile(
        3,
        "<tasks><task id=\"0\" name=\"K\"/><task id=\"1\" name=\"Worker\"/><task id=\"2\" name=\"Rx, task\"/>"
        "</tasks>\n<hubs><hub id=\"2\" name=\"Box\"/></hubs>\n<services><service id=\"1\" "
        "name=\"Ks_Start_Task_W\"/><service id=\"8\" name=\"Ks_Send_To_Hub_W\"/></services>\n",
        eventXml(0, 10, 0, 0x301)               // switch to Worker
            + eventXml(1, 20, 1, 0x302)         // start task 2
            + eventXml(1, 30, 8, 0x302)         // send to hub Box
            + eventXml(4, 40, 0x305, 0x10007)   // packet 7 sent: "5 [3]", "7 (1)"
            + eventXml(16, 50, 0x20010, 9)      // user marker 16 of Rx task
            + eventXml(-1, 60, 8, 0x502)        // send completed: "2 [5]"
            + eventXml(7, 70, 3, 0x12345)       // outside the catalogue: "74565"
            + eventXml(0, 80, 0, 0x302)         // switch to Rx task
            + eventXml(1, 90, 8, 0x502)         // send to hub 2 of node 5
            + eventXml(6, 100, 0x405, 0x20011), // packet 17 received
        "0", "1000000");
}

} // namespace

class TestEventQuery : public QObject
{
    Q_OBJECT

private:
    const EventCatalogue m_catalogue;
    std::unique_ptr<Node> m_node;

    QList<quint32> timestamps(const std::vector<int> &events) const
    {
        QList<quint32> times;
        for (const int index : events)
            times << m_node->event(index)->timestamp;
        return times;
    }

private slots:
    void initTestCase()
    {
        const QString path =
            TestSupport::writeTempFile(QStringLiteral("q"), QStringLiteral("n.trace"), trace());
        m_node = std::make_unique<Node>(path, nullptr, FROM_TRACER, &m_catalogue);
    }

    void queriesFindTheirEventsOrSayWhatIsWrong_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QList<quint32>>("times"); // of the matches
        QTest::addColumn<QString>("error");        // "position length text"

        using T = QList<quint32>;
        const auto row = [](const char *name, const char *query, const T &times, const char *error = "") {
            QTest::newRow(name) << QString::fromUtf8(query) << times << QString::fromLatin1(error);
        };
        row("a type by its name without prefix", "type:ServiceRequest", {20, 30, 90});
        row("types by catalogue names ignoring case, any of a list",
            "type:l1_service_completed,SYNC_PACKET_SENDING", {40, 60});
        row("a type code range", "type:4..6", {40, 100});
        row("a service by its catalogue name", "service:start_task", {20});
        row("a service by id and a type together", "service:8 type:-1", {60});
        row("a task by name, from the switch to it up to the packet's switch to the kernel", "task:worker",
            {10, 20, 30});
        row("a quoted task name, markers by the task that set them", "task:\"rx, TASK\"", {50, 80, 90});
        row("a hub by name is the hub of its own node", "hub:Box", {30});
        row("a hub by id is on any node, requests only", "hub:2", {30, 90});
        row("an argument in hexadecimal", "arg1:0x10", {50});
        row("a sequence number takes the low half", "seq:17", {100});
        row("a time range includes both ends, and the packet's switch", "time:30..50", {30, 40, 40, 50});
        row("a time in milliseconds up to an end", "time:..0.02ms", {10, 20});
        row("free text in a composite cell, quoted", "\"7 (1)\"", {40});
        row("free text in the node id brackets", "[5]", {60, 90});
        row("free text in the type's name", "REQUEST", {20, 30, 90});
        row("free text in the service's name, not on sync events", "hub", {30, 60, 90});
        row("free text and a field together", "74565 type:7", {70});
        row("an empty query matches nothing", "  ", {});
        row("an unknown field", "colour:red", {}, "0 6 unknown field 'colour'");
        row("an unknown type", "type:Sleep", {}, "5 5 unknown event type 'Sleep'");
        row("the unknown one of a list", "task:Worker,Idle", {}, "12 4 unknown task 'Idle'");
        row("a hub the node does not know", "hub:Nowhere", {}, "4 7 unknown hub 'Nowhere'");
        row("a malformed number", "arg1:0xZZ", {}, "5 4 bad number '0xZZ'");
        row("a fraction without a unit", "time:1.5", {}, "5 3 bad number '1.5'");
        row("the faulty end of a range", "seq:1..x", {}, "7 1 bad number 'x'");
        row("a range backwards", "time:3ms..2", {}, "5 6 range ends before it starts: '3ms..2'");
        row("a range without ends", "seq:..", {}, "4 2 range without ends");
        row("an unclosed quote", "task:Worker \"open", {}, "12 5 missing closing quote");
        row("a field without value", "type:1 task:", {}, "7 5 no value after 'task:'");
        row("an empty item of a list", "type:1,,2", {}, "5 4 empty value in '1,,2'");
    }

    void queriesFindTheirEventsOrSayWhatIsWrong()
    {
        QFETCH(QString, query);
        QFETCH(QString, error);
        const EventQuery parsed(query, *m_node);
        const EventQuery::Error &fault = parsed.error();
        QCOMPARE(parsed.isValid()
                     ? QString()
                     : QStringLiteral("%1 %2 %3").arg(fault.position).arg(fault.length).arg(fault.text),
                 error);
        QTEST(timestamps(parsed.matchAll()), "times");
    }

    void steppingWrapsAroundTheMatches_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<bool>("forward");
        QTest::addColumn<int>("next");
        QTest::newRow("from between matches back to the one before") << 8 << false << 7;
        QTest::newRow("past the last back to the first") << 9 << true << 3;
        QTest::newRow("before the first round to the last") << 3 << false << 9;
    }

    void steppingWrapsAroundTheMatches()
    {
        QFETCH(int, current);
        QFETCH(bool, forward);
        QTEST(EventQuery::step({3, 7, 9}, current, forward), "next");
        QCOMPARE(EventQuery::step({}, current, forward), -1);
    }

    void cellTextsAreTheListsDisplay()
    {
        char text[EventCells::maxLength];
        for (int index = 0; index < m_node->eventCount(); ++index) {
            for (int column = 0; column < EventCells::columns; ++column) {
                const TraceEvent &event = *m_node->event(index);
                const int length = EventCells::write(event, index, column, m_node->nodeId(), text);
                QCOMPARE(QString::fromLatin1(text, length),
                         EventCells::display(event, index, column, m_node->nodeId()).toString());
            }
        }
    }

    void copiedRowsAreCsvOfTheShownCellsAndTheRawValues()
    {
        // The packet sent at 40 (after the kernel switch the reader puts before it) and the user marker.
        const std::vector<int> events = {4, 5};
        QCOMPARE(timestamps(events), QList<quint32>({40, 50}));
        QCOMPARE(EventCsv::rows(*m_node, events),
                 QStringLiteral("#,Ts (usec),Tp,Arg1,Arg2,Tc,Task,Type code,Type name,Arg1 value,Arg2 value,"
                                "Offset (usec)\r\n"
                                "5,40,,5 [3],7 (1),0,K,4,SYNC_PACKET_SENDING,5,65543,30\r\n"
                                "6,50,,16,9,10,\"Rx, task\",16,USER_MARKER,16,9,40\r\n"));
    }
};

QTEST_MAIN(TestEventQuery)
#include "tst_eventquery.moc"
