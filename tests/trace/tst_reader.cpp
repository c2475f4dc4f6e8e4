#include "app/tracer.h"
#include "testsupport.h"
#include "trace/cnumber.h"
#include "trace/hub.h"
#include "trace/node.h"
#include "trace/task.h"
#include "tracefixture.h"

#include <QtTest>

using TraceFixture::eventXml;
using TraceFixture::traceFile;

class TestReader : public QObject
{
    Q_OBJECT

private:
    Tracer m_tracer;
    int m_fileCount = 0;

    // Reads `contents` as a node; returns the node or, through `error`, the
    // message the load threw.
    std::unique_ptr<Node> load(const QByteArray &contents, QString *error = nullptr)
    {
        const QString path = TestSupport::writeTempFile(
            QStringLiteral("reader"), QStringLiteral("f%1.trace").arg(++m_fileCount), contents);
        try {
            return std::make_unique<Node>(path, nullptr, FROM_TRACER);
        } catch (const QString &text) {
            if (error)
                *error = text;
            return nullptr;
        }
    }

private slots:
    void initTestCase() { m_tracer.initHeadless(); }

    void numbersReadAsCLiterals_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint32>("asInt32");
        QTest::addColumn<quint32>("asUInt32");

        QTest::newRow("a decimal number reads as itself") << "1234" << 1234 << 1234u;
        QTest::newRow("a lower-case hex prefix reads hexadecimal") << "0x3e8" << 1000 << 1000u;
        QTest::newRow("an upper-case hex prefix reads hexadecimal") << "0X3E8" << 1000 << 1000u;
        QTest::newRow("a leading zero reads octal") << "010" << 8 << 8u;
        QTest::newRow("a lone zero is zero") << "0" << 0 << 0u;
        QTest::newRow("an octal number with the digit 8 is garbage") << "08" << 0 << 0u;
        QTest::newRow("a word is garbage") << "ten" << 0 << 0u;
        QTest::newRow("trailing garbage spoils the number") << "12abc" << 0 << 0u;
        QTest::newRow("a hex prefix without digits is garbage") << "0x" << 0 << 0u;
        QTest::newRow("a sign alone is garbage") << "-" << 0 << 0u;
        QTest::newRow("a plus sign is allowed") << "+42" << 42 << 42u;
        QTest::newRow("a negative number is outside the unsigned range") << "-5" << -5 << 0u;
        QTest::newRow("a negative hex number") << "-0x10" << -16 << 0u;
        QTest::newRow("the sign bit in hex is outside the signed range") << "0x80000000" << 0 << 0x80000000u;
        QTest::newRow("the largest unsigned value fits unsigned only") << "4294967295" << 0 << 4294967295u;
        QTest::newRow("one past the unsigned range fits neither") << "4294967296" << 0 << 0u;
        QTest::newRow("the smallest signed value fits")
            << "-2147483648" << std::numeric_limits<qint32>::min() << 0u;
        QTest::newRow("one below the signed range is garbage") << "-2147483649" << 0 << 0u;
        QTest::newRow("a very long number does not overflow into a wrong value")
            << "99999999999999999999999999999" << 0 << 0u;
        QTest::newRow("surrounding blanks are ignored") << " 7 " << 7 << 7u;
    }

    void numbersReadAsCLiterals()
    {
        QFETCH(QString, text);
        QFETCH(qint32, asInt32);
        QFETCH(quint32, asUInt32);
        QCOMPARE(CNumber::toInt32(text), asInt32);
        QCOMPARE(CNumber::toUInt32(text), asUInt32);
    }

    void everyReaderErrorNamesLineAndColumn_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("message");

        // The offending start tag ends line 3; the reader reports the column
        // of the character that ended the tag: its '>', or the '/' of "/>".
        const QByteArray trace = "<trace lowCounterHz=\"0\" highCounterHz=\"1000\">\n";
        QTest::newRow("a node without id")
            << QByteArray("<node name=\"x\">")
            << "NodeID is not found in the <node> tag. Parsing has been stopped.";
        QTest::newRow("a node with an empty id counts as without")
            << QByteArray("<node id=\"\">")
            << "NodeID is not found in the <node> tag. Parsing has been stopped.";
        QTest::newRow("a task before any tasks") << QByteArray("<task id=\"1\" name=\"a\"/>")
                                                 << "<tasks> tag is not found. Parsing has been stopped.";
        QTest::newRow("a task without id")
            << QByteArray("<tasks><task name=\"a\"/>")
            << "Attribute 'id' is not found in the <task> tag. Parsing has been stopped.";
        QTest::newRow("a task without name")
            << QByteArray("<tasks><task id=\"1\"/>")
            << "Attribute 'name' is not found in the <task> tag. Parsing has been stopped.";
        QTest::newRow("a hub before any hubs") << QByteArray("<hub id=\"1\" name=\"a\"/>")
                                               << "<hubs> tag is not found. Parsing has been stopped.";
        QTest::newRow("a hub without id")
            << QByteArray("<hubs><hub name=\"a\"/>")
            << "Attribute 'id' is not found in the <hub> tag. Parsing has been stopped.";
        QTest::newRow("a hub without name")
            << QByteArray("<hubs><hub id=\"1\"/>")
            << "Attribute 'name' is not found in the <hub> tag. Parsing has been stopped.";
        QTest::newRow("a service before any services")
            << QByteArray("<service id=\"1\" name=\"a\"/>")
            << "<services> tag is not found. Parsing has been stopped.";
        QTest::newRow("a service without id")
            << QByteArray("<services><service name=\"a\"/>")
            << "Attribute 'id' is not found in the <service> tag. Parsing has been stopped.";
        QTest::newRow("a service without name")
            << QByteArray("<services><service id=\"1\"/>")
            << "Attribute 'name' is not found in the <service> tag. Parsing has been stopped.";
        QTest::newRow("a trace with an empty low frequency")
            << QByteArray("<trace lowCounterHz=\"\" highCounterHz=\"1000\">")
            << "Attribute 'lowCounterHz' is not found in the <trace> tag. Parsing has been stopped.";
        QTest::newRow("a trace without high frequency")
            << QByteArray("<trace lowCounterHz=\"1\">")
            << "Attribute 'highCounterHz' is not found in the <trace> tag. Parsing has been stopped.";
        QTest::newRow("an event before any trace")
            << QByteArray("<event type=\"0\" lowCounter=\"0\" highCounter=\"0\" param1=\"0\" param2=\"0\"/>")
            << "<trace> tag is not found. Parsing has been stopped.";
        QTest::newRow("an event without type")
            << trace + "<event lowCounter=\"0\" highCounter=\"0\" param1=\"0\" param2=\"0\"/>"
            << "Attribute 'type' is not found in the <event> tag. Parsing has been stopped.";
        QTest::newRow("an event without lowCounter")
            << trace + "<event type=\"0\" highCounter=\"0\" param1=\"0\" param2=\"0\"/>"
            << "Attribute 'lowCounter' is not found in the <event> tag. Parsing has been stopped.";
        QTest::newRow("an event without highCounter")
            << trace + "<event type=\"0\" lowCounter=\"0\" param1=\"0\" param2=\"0\"/>"
            << "Attribute 'highCounter' is not found in the <event> tag. Parsing has been stopped.";
        QTest::newRow("an event without param1 reports the misspelt name")
            << trace + "<event type=\"0\" lowCounter=\"0\" highCounter=\"0\" param2=\"0\"/>"
            << "Attribute 'paramt1' is not found in the <event> tag. Parsing has been stopped.";
        QTest::newRow("an event without param2")
            << trace + "<event type=\"0\" lowCounter=\"0\" highCounter=\"0\" param1=\"0\"/>"
            << "Attribute 'param2' is not found in the <event> tag. Parsing has been stopped.";
        QTest::newRow("an event missing several attributes reports the first in order")
            << trace + "<event highCounter=\"0\"/>"
            << "Attribute 'type' is not found in the <event> tag. Parsing has been stopped.";
    }

    void everyReaderErrorNamesLineAndColumn()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, message);

        // The failing tag is the last line's only content, after two lines.
        const int lastNewline = body.lastIndexOf('\n');
        const QByteArray head = lastNewline < 0 ? QByteArray() : body.left(lastNewline + 1);
        const QByteArray failing = body.mid(lastNewline + 1);
        const QByteArray file = "<?xml version=\"1.0\"?>\n<root>\n" + (head.isEmpty() ? QByteArray() : head) +
                                failing + "\n</root>\n";
        const int line = 3 + head.count('\n');

        QString error;
        QVERIFY(!load(file, &error));
        const int column = failing.endsWith("/>") ? failing.size() - 1 : failing.size();
        const QString expected = message + QStringLiteral("\nLine: %1, column: %2").arg(line).arg(column);
        QCOMPARE(error, expected);
    }

    void malformedXmlGivesTheParsersMessageWithPosition()
    {
        QString error;
        QVERIFY(!load("<?xml version=\"1.0\"?>\n<node id=\"1\">\n<tasks>\n</node>\n", &error));
        QVERIFY2(error.contains(QRegularExpression(QStringLiteral("\nLine: \\d+, column: \\d+$"))),
                 qPrintable(error));
        QVERIFY(!error.startsWith(QLatin1String("\nLine")));
    }

    void declarationsFollowTheirRules()
    {
        const QByteArray declarations =
            "<tasks/>\n" // self-closed: only the start tag's order counts
            "<task id=\"010\" name=\"Octal\"/>\n"
            "<task id=\"8\" name=\"Second with same id\"/>\n"
            "<task id=\"ten\" name=\"Garbage id\"/>\n"
            "<hubs><hub id=\"0x2\" name=\"Mailbox\"/><hub id=\"2\" name=\"Again\"/></hubs>\n"
            "<services>\n"
            "<service id=\"1\" name=\"Ks_Start_Task_W\"/>\n"
            "<service id=\"2\" name=\"TaskLock\"/>\n"
            "<service id=\"65535\" name=\"ks_send_to_hub\"/>\n"
            "<service id=\"1\" name=\"Ks_Receive_From_Hub\"/>\n"
            "</services>\n"
            "<Event type=\"0\"/>\n"; // element names are case-sensitive: ignored
        const auto node = load(traceFile(4, declarations, QByteArray()));
        QVERIFY(node);

        QCOMPARE(node->tasks().size(), 2);
        QCOMPARE(node->task(8)->name(), QStringLiteral("Octal"));
        QCOMPARE(node->task(0)->name(), QStringLiteral("Garbage id"));
        QCOMPARE(node->hubs().size(), 1);
        QCOMPARE(node->hubs().value(2)->name(), QStringLiteral("Mailbox"));
        QCOMPARE(node->hubs().value(2)->hubNodeId(), 4);
        QVERIFY(node->hubs().value(2)->isListed());

        QCOMPARE(node->services().size(), 3);
        QCOMPARE(node->service(1).code, 9); // replaced by the later declaration
        QCOMPARE(node->service(1).name, QStringLiteral("Ks_Receive_From_Hub"));
        QVERIFY(!node->service(1).targetIsTask);
        QCOMPARE(node->service(2).code, 255);
        QCOMPARE(node->service(2).iconPath, QStringLiteral(":/services/resources/SRV_OTHER.png"));
        QCOMPARE(node->service(-1).code, 7); // 65535 as a signed 16-bit id
        QCOMPARE(node->service(-1).id, qint16(-1));
        QCOMPARE(node->service(42).code, 255); // undeclared: the default entry
        QVERIFY(node->service(42).targetIsTask);
        QCOMPARE(node->eventCount(), 0);
    }

    void serviceNamesMatchTheCatalogueInOrder_data()
    {
        QTest::addColumn<QString>("declared");
        QTest::addColumn<int>("code");
        QTest::newRow("a kernel-style name contains the catalogue name") << "Ks_Start_Task_W" << 0;
        QTest::newRow("matching ignores case") << "ks_awake_task" << 6;
        QTest::newRow("a name with no catalogue name is OTHER") << "TaskLock" << 255;
        QTest::newRow("the first catalogue entry contained wins") << "STOP_TASK_THEN_RETURN" << 3;
        QTest::newRow("return is matched") << "Ks_Return" << 10;
    }

    void serviceNamesMatchTheCatalogueInOrder()
    {
        QFETCH(QString, declared);
        QFETCH(int, code);
        const QByteArray declarations =
            "<services><service id=\"3\" name=\"" + declared.toUtf8() + "\"/></services>\n";
        const auto node = load(traceFile(1, declarations, QByteArray()));
        QVERIFY(node);
        QCOMPARE(node->service(3).code, code);
    }

    void nodeElementSetsIdAndName()
    {
        const auto node = load("<node id=\"0x10\" name=\"Gateway\"><node id=\"3\"/><trace lowCounterHz=\"0\" "
                               "highCounterHz=\"1\"/></node>");
        QVERIFY(node);
        QCOMPARE(node->nodeId(), 3);                       // the last one wins
        QCOMPARE(node->name(), QStringLiteral("Gateway")); // a missing name keeps the earlier one
        QCOMPARE(node->label(), QStringLiteral("[3] Gateway"));
    }

    void fileWithoutNodeElementHasNodeIdZero()
    {
        const auto node =
            load("<trace lowCounterHz=\"0\" highCounterHz=\"1000\">" + eventXml(1, 5) + "</trace>");
        QVERIFY(node);
        QCOMPARE(node->nodeId(), 0);
        QCOMPARE(node->eventCount(), 1);
    }

    void packetEventWithoutPacketIsDropped_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("param2");
        QTest::addColumn<int>("stored");
        QTest::newRow("a sending event with param2 0 is not added") << 4 << 0 << 0;
        QTest::newRow("a receiving notification with param2 0 is not added") << -6 << 0 << 0;
        QTest::newRow("a sending event with a packet is added") << 4 << 0x10001 << 1;
        QTest::newRow("a sync marker with param2 0 is still added") << 3 << 0 << 1;
    }

    void packetEventWithoutPacketIsDropped()
    {
        QFETCH(int, type);
        QFETCH(int, param2);
        QFETCH(int, stored);
        const auto node = load(traceFile(1, QByteArray(), eventXml(type, 10, 0x100, param2)));
        QVERIFY(node);
        QCOMPARE(node->eventCount(), stored);
    }

    void kernelEntryInsertsSwitchToTaskZero_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("param2");
        QTest::addColumn<bool>("switchInserted");
        QTest::addColumn<int>("stored"); // events after the first switch to task 3
        QTest::newRow("kernel servicing enters the kernel") << 2 << 0x105 << true << 2;
        QTest::newRow("a packet sending enters the kernel") << 4 << 0x10001 << true << 2;
        QTest::newRow("a dropped packet event still leaves its switch") << 5 << 0 << true << 1;
        QTest::newRow("a service request does not") << 1 << 0x105 << false << 1;
        QTest::newRow("kernel servicing completion does not") << -2 << 0x105 << false << 1;
    }

    void kernelEntryInsertsSwitchToTaskZero()
    {
        QFETCH(int, type);
        QFETCH(int, param2);
        QFETCH(bool, switchInserted);
        QFETCH(int, stored);
        const auto node =
            load(traceFile(1, QByteArray(), eventXml(0, 10, 0, 0x103) + eventXml(type, 20, 0x100, param2)));
        QVERIFY(node);
        QCOMPARE(node->eventCount(), 1 + stored);
        const TraceEvent &second = node->events().at(1);
        if (switchInserted) {
            QCOMPARE(second.type, 0);
            QCOMPARE(second.arg2, 0);
            QCOMPARE(second.timestamp, 20u);
            QCOMPARE(second.currentTask, 0);
        } else {
            QCOMPARE(second.type, type);
            QCOMPARE(second.currentTask, 3);
        }
    }

    void noKernelEntryWhileTaskZeroRuns()
    {
        const auto node = load(traceFile(1, QByteArray(), eventXml(2, 20, 0x100, 0x105)));
        QVERIFY(node);
        QCOMPARE(node->eventCount(), 1);
    }

    void readingDoesNotDependOnTheFileReadBefore()
    {
        // The first file ends with task 5 running; the second starts with a
        // kernel servicing request, which must find task 0, not task 5.
        const auto first =
            load(traceFile(1, QByteArray(), eventXml(0, 10, 0, 0x105) + eventXml(1, 20, 0x100, 0x105)));
        QVERIFY(first);
        const auto second = load(traceFile(2, QByteArray(), eventXml(2, 10, 0x100, 0x105)));
        QVERIFY(second);
        QCOMPARE(second->eventCount(), 1);
        QCOMPARE(second->tasks().keys(), QList<int>{0});
        QCOMPARE(second->task(0)->name(), QStringLiteral("[unknown]"));
    }
};

QTEST_MAIN(TestReader)
#include "tst_reader.moc"
