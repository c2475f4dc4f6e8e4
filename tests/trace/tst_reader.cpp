#include "testsupport.h"
#include "trace/cnumber.h"
#include "trace/eventcatalogue.h"
#include "trace/hub.h"
#include "trace/node.h"
#include "trace/nodeparse.h"
#include "trace/project.h"
#include "trace/projecttable.h"
#include "trace/task.h"
#include "tracefixture.h"

#include <QtTest>

using TraceFixture::eventXml;
using TraceFixture::traceFile;

class TestReader : public QObject
{
    Q_OBJECT

private:
    const EventCatalogue m_catalogue;
    int m_fileCount = 0;

    // Reads `contents` as a node; returns the node or, through `error`, the
    // message the load threw.
    std::unique_ptr<Node> load(const QByteArray &contents, QString *error = nullptr)
    {
        const QString path = TestSupport::writeTempFile(
            QStringLiteral("reader"), QStringLiteral("f%1.trace").arg(++m_fileCount), contents);
        try {
            return std::make_unique<Node>(path, nullptr, FROM_TRACER, &m_catalogue);
        } catch (const QString &text) {
            if (error)
                *error = text;
            return nullptr;
        }
    }

private slots:

    void numbersReadAsCLiterals_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint32>("asInt32");
        QTest::addColumn<quint32>("asUInt32");

        QTest::newRow("an upper-case hex prefix reads hexadecimal") << "0X3E8" << 1000 << 1000u;
        QTest::newRow("a leading zero reads octal") << "010" << 8 << 8u;
        QTest::newRow("an octal number with the digit 8 is garbage") << "08" << 0 << 0u;
        QTest::newRow("a hex prefix without digits is garbage") << "0x" << 0 << 0u;
        QTest::newRow("a plus sign is allowed") << "+42" << 42 << 42u;
        QTest::newRow("a negative hex number is outside the unsigned range") << "-0x10" << -16 << 0u;
        QTest::newRow("the sign bit in hex is outside the signed range") << "0x80000000" << 0 << 0x80000000u;
        QTest::newRow("one past the unsigned range fits neither") << "4294967296" << 0 << 0u;
        QTest::newRow("the smallest signed value fits")
            << "-2147483648" << std::numeric_limits<qint32>::min() << 0u;
        QTest::newRow("one below the signed range is garbage") << "-2147483649" << 0 << 0u;
        QTest::newRow("a very long number does not overflow into a wrong value")
            << "99999999999999999999999999999" << 0 << 0u;
        QTest::newRow("surrounding blanks are ignored") << " 7 " << 7 << 7u;
        QTest::newRow("a character just past ASCII is no digit")
            << QString(QStringLiteral("1") + QChar(0x80)) << 0 << 0u;
    }

    void numbersReadAsCLiterals()
    {
        QFETCH(QString, text);
        QTEST(CNumber::toInt32(text), "asInt32");
        QTEST(CNumber::toUInt32(text), "asUInt32");
        // The trace scanner reads the same text as bytes.
        const QByteArray latin1 = text.toLatin1();
        QTEST(CNumber::toInt32(QLatin1String(latin1)), "asInt32");
        QTEST(CNumber::toUInt32(QLatin1String(latin1)), "asUInt32");
    }

    void everyReaderErrorNamesLineAndColumn_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("message");

        const auto row = [](const QString &name, const QByteArray &body, const QString &what) {
            QTest::addRow("%s", qPrintable(name))
                << body << what + QStringLiteral(" Parsing has been stopped.");
        };
        const auto missing = [](const char *attribute, const char *element) {
            return QStringLiteral("Attribute '%1' is not found in the <%2> tag.")
                .arg(QLatin1String(attribute), QLatin1String(element));
        };
        row(QStringLiteral("a node with an empty id counts as without"), "<node id=\"\">",
            QStringLiteral("NodeID is not found in the <node> tag."));
        // Tasks, hubs and services share their checks: each element once before its folder.
        for (const char *element : {"task", "hub", "service"})
            row(QStringLiteral("a %1 before any %1s").arg(QLatin1String(element)),
                '<' + QByteArray(element) + " id=\"1\" name=\"a\"/>",
                QStringLiteral("<%1s> tag is not found.").arg(QLatin1String(element)));
        row(QStringLiteral("a hub without id"), "<hubs><hub name=\"a\"/>", missing("id", "hub"));
        row(QStringLiteral("a service without name"), "<services><service id=\"1\"/>",
            missing("name", "service"));
        row(QStringLiteral("a trace without low frequency"), "<trace highCounterHz=\"1000\">",
            missing("lowCounterHz", "trace"));
        row(QStringLiteral("a trace without high frequency"), "<trace lowCounterHz=\"1\">",
            missing("highCounterHz", "trace"));
        const QByteArray event = eventXml(0, 0).trimmed();
        row(QStringLiteral("an event before any trace"), event, QStringLiteral("<trace> tag is not found."));
        // param1 is reported misspelt, as users have always seen it.
        const QByteArray traced = "<trace lowCounterHz=\"0\" highCounterHz=\"1000\">\n";
        const QList<QPair<const char *, const char *>> attributes{{"type", "type"},
                                                                  {"lowCounter", "lowCounter"},
                                                                  {"highCounter", "highCounter"},
                                                                  {"param1", "paramt1"},
                                                                  {"param2", "param2"}};
        for (const auto &[attribute, reported] : attributes)
            row(QStringLiteral("an event without %1").arg(QLatin1String(attribute)),
                traced + QByteArray(event).replace(' ' + QByteArray(attribute) + "=\"0\"", ""),
                missing(reported, "event"));
    }

    void everyReaderErrorNamesLineAndColumn()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, message);

        // The failing start tag is the last line's only content, after two lines; the reader
        // reports the column of the character that ended it: its '>', or the '/' of "/>".
        const QByteArray failing = body.mid(body.lastIndexOf('\n') + 1);
        QString error;
        QVERIFY(!load("<?xml version=\"1.0\"?>\n<root>\n" + body + "\n</root>\n", &error));
        const int column = failing.endsWith("/>") ? failing.size() - 1 : failing.size();
        QCOMPARE(error,
                 message + QStringLiteral("\nLine: %1, column: %2").arg(3 + body.count('\n')).arg(column));
    }

    void declarationsFollowTheirRules()
    {
        const QByteArray declarations =
            "<tasks/>\n" // self-closed: only the start tag's order counts
            "<task id=\"010\" name=\"Octal\"/>\n"
            "<task id=\"8\" name=\"Second with same id\"/>\n"
            "<task id=\"ten\" name=\"Garbage id\"/>\n"
            "<task id=\"3\" name=\"Three\"/>\n"
            "<hubs><hub id=\"0x2\" name=\"Mailbox\"/><hub id=\"2\" name=\"Again\"/></hubs>\n"
            "<services>\n"
            "<service id=\"1\" name=\"Ks_Start_Task_W\"/>\n"
            "<service id=\"2\" name=\"TaskLock\"/>\n"              // no catalogue name: OTHER
            "<service id=\"65535\" name=\"ks_send_to_hub\"/>\n"    // a signed 16-bit id; case is ignored
            "<service id=\"1\" name=\"Ks_Receive_From_Hub\"/>\n"   // replaces the first
            "<service id=\"3\" name=\"STOP_TASK_THEN_RETURN\"/>\n" // the first catalogue name contained wins
            "<service id=\"4\" name=\"Ks_Return\"/>\n"
            "</services>\n"
            "<Event type=\"0\"/>\n"; // element names are case-sensitive: ignored
        const auto node = load(traceFile(4, declarations, QByteArray()));
        QVERIFY(node);

        QStringList tasks, hubs, services;
        for (const auto &task : node->tasks())
            tasks << QStringLiteral("%1 %2").arg(task->id()).arg(task->name());
        for (const auto &hub : node->hubs())
            hubs << QStringLiteral("%1 %2 of node %3").arg(hub->id()).arg(hub->name()).arg(hub->hubNodeId());
        // Services as "id=code", "hub" when they address a hub; the last one undeclared: the default.
        const QList<NodeServiceInfo> declared = node->services().values();
        for (const NodeServiceInfo &service : declared + QList<NodeServiceInfo>{node->service(42)})
            services << QStringLiteral("%1=%2%3")
                            .arg(service.id)
                            .arg(service.code)
                            .arg(service.targetIsTask ? QString() : QStringLiteral(" hub"));
        QCOMPARE((QStringList{tasks.join(QLatin1String(", ")), hubs.join(QLatin1String(", ")),
                              services.join(QLatin1String(", "))}),
                 (QStringList{QStringLiteral("0 Garbage id, 3 Three, 8 Octal"),
                              QStringLiteral("2 Mailbox of node 4"),
                              QStringLiteral("-1=7 hub, 1=9 hub, 2=255, 3=3, 4=10, 0=255")}));
        QVERIFY(node->hubs().value(2)->isListed());
        QCOMPARE(node->eventCount(), 0);
    }

    void secondFileOfOneDirectoryIsRefused_data()
    {
        QTest::addColumn<QString>("second"); // beside a.trace of node 1
        QTest::addColumn<QString>("message");
        QTest::newRow("the same file twice") << "a.trace"
                                             << "Tracefile 'a.trace' already is opened as Node.";
        QTest::newRow("another file with the same node id")
            << "b.trace"
            << "Tracefile 'b.trace' has ID:1 that already is in use in current project.";
    }

    void secondFileOfOneDirectoryIsRefused()
    {
        QFETCH(QString, second);
        ProjectTable projects;
        const QString first = TestSupport::writeTempFile(QStringLiteral("pair"), QStringLiteral("a.trace"),
                                                         traceFile(1, QByteArray(), eventXml(1, 0)));
        const QString dir = QFileInfo(first).absolutePath();
        const Node *const node = projects.load(first, nullptr, FROM_TRACER, &m_catalogue);
        QCOMPARE(projects.project(dir), node->project());
        TestSupport::writeTempFile(QStringLiteral("pair"), second,
                                   traceFile(1, QByteArray(), eventXml(1, 0)));
        try {
            projects.load(dir + QLatin1Char('/') + second, nullptr, FROM_TRACER, &m_catalogue);
            QFAIL("loaded");
        } catch (const QString &text) {
            QTEST(text, "message");
        }
        QCOMPARE(node->project()->nodeCount(), 1);
    }

    void nodeElementSetsIdAndName()
    {
        const auto bare =
            load("<trace lowCounterHz=\"0\" highCounterHz=\"1000\">" + eventXml(1, 5) + "</trace>");
        QVERIFY(bare && bare->nodeId() == 0 && bare->eventCount() == 1);
        const auto node = load("<node id=\"0x10\" name=\"Gateway\"><node id=\"3\"/><trace lowCounterHz=\"0\" "
                               "highCounterHz=\"1\"/></node>");
        QVERIFY(node);
        // The last id wins; a missing name keeps the earlier one.
        QCOMPARE(node->label(), QStringLiteral("[3] Gateway"));
    }

    void packetEventsAndKernelEntriesAreStoredAsTheyMatter_data()
    {
        QTest::addColumn<int>("running"); // task switched to at 10 us; 0: no switch
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("param2");
        QTest::addColumn<QString>("stored"); // "type@time:task" of the events after the switch
        QTest::newRow("a sending event without packet is not added") << 0 << 4 << 0 << "";
        QTest::newRow("a sync marker without packet is still added") << 0 << 3 << 0 << "3@20:0";
        QTest::newRow("kernel servicing switches to task 0 first") << 3 << 2 << 0x105 << "0@20:0 2@20:0";
        QTest::newRow("a dropped packet event still leaves its switch") << 3 << 5 << 0 << "0@20:0";
        QTest::newRow("a service request does not switch") << 3 << 1 << 0x105 << "1@20:3";
        // The row before leaves task 3 running in its file; the next file starts afresh.
        QTest::newRow("kernel servicing while task 0 runs does not switch, whatever ran in the file before")
            << 0 << 2 << 0x105 << "2@20:0";
    }

    void packetEventsAndKernelEntriesAreStoredAsTheyMatter()
    {
        QFETCH(int, running);
        QFETCH(int, type);
        QFETCH(int, param2);
        const QByteArray first = running ? eventXml(0, 10, 0, 0x100 | running) : QByteArray();
        const auto node = load(traceFile(1, QByteArray(), first + eventXml(type, 20, 0x100, param2)));
        QVERIFY(node);
        QStringList stored;
        for (size_t i = running ? 1 : 0; i < node->events().size(); ++i) {
            const TraceEvent &e = node->events().at(i);
            stored << QStringLiteral("%1@%2:%3").arg(e.type).arg(e.timestamp).arg(e.currentTask);
            if (e.type == 0)
                QCOMPARE(e.arg2, e.currentTask);
        }
        QTEST(stored.join(QLatin1Char(' ')), "stored");
    }

    // The progress is reported every 16384 events; whoever cancels there has no use for a message.
    void aCancelledReadEndsWithoutNodeOrMessage()
    {
        QByteArray events;
        for (quint32 i = 0; i < 20000; ++i)
            events += eventXml(1, i);
        const QString path = TestSupport::writeTempFile(QStringLiteral("reader"), QStringLiteral("big.trace"),
                                                        traceFile(1, {}, events));
        std::atomic<bool> cancel{false};
        NodeParse parse(
            path, FROM_TRACER, &m_catalogue, [&cancel](qint64, qint64) { cancel = true; }, &cancel);
        QVERIFY(cancel && !parse.takeNode());
        QCOMPARE(parse.problem(), QString());
    }
};

QTEST_MAIN(TestReader)
#include "tst_reader.moc"
