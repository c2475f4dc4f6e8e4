#include "tracegenerator.h"

#include "testsupport.h"
#include "trace/cnumber.h"
#include "trace/eventcatalogue.h"
#include "trace/node.h"
#include "trace/task.h"

#include <QTemporaryDir>
#include <QtTest>

#include <map>
#include <memory>

namespace {

// A generated project, as the viewer reads it.
struct Generated
{
    std::unique_ptr<QTemporaryDir> dir;
    QVector<TraceGenerator::NodeSummary> summaries;
    QList<QByteArray> files;
    std::vector<std::unique_ptr<Node>> nodes;
};

const EventCatalogue &catalogue()
{
    static const EventCatalogue catalogue;
    return catalogue;
}

// The numbers of a file the viewer would read as another value than the one written: only plain
// decimal or 0x-hex within the field's range reads as meant. highCounter alone is unsigned.
QStringList misspeltNumbers(const QByteArray &file)
{
    QStringList misspelt;
    static const QRegularExpression number(QStringLiteral(
        " (id|lowCounterHz|highCounterHz|type|lowCounter|highCounter|param1|param2)=\"([^\"]*)\""));
    for (auto it = number.globalMatch(QString::fromUtf8(file)); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QString text = match.captured(2);
        const qint64 value = match.captured(1) == QLatin1String("highCounter")
                                 ? qint64(CNumber::toUInt32(text))
                                 : qint64(CNumber::toInt32(text));
        bool ok = false;
        if (text != QString::number(value) &&
            !(text.startsWith(QLatin1String("0x")) && text.mid(2).toLongLong(&ok, 16) == value && ok))
            misspelt << match.captured(0);
    }
    return misspelt;
}

// Every event's timestamp from the counters as written, before the viewer mends any step back.
QList<quint32> writtenTimestamps(const QByteArray &file, const Node &node)
{
    QList<quint32> timestamps;
    static const QRegularExpression counters(
        QStringLiteral("lowCounter=\"(\\d+)\" highCounter=\"([^\"]+)\""));
    for (auto it = counters.globalMatch(QString::fromUtf8(file)); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        timestamps << Node::timestampFor(match.captured(1).toUInt(), CNumber::toUInt32(match.captured(2)),
                                         node.lowCounterHz(), node.highCounterHz());
    }
    return timestamps;
}

} // namespace

class TstTracegen : public QObject
{
    Q_OBJECT

private slots:
    void sameSeedWritesIdenticalBytesAnotherSeedOthers_data()
    {
        QTest::addColumn<int>("nodes");
        QTest::addColumn<quint64>("seed");
        QTest::newRow("three nodes with the default seed") << 3 << quint64(1);
        QTest::newRow("five nodes with the largest seed") << 5 << quint64(0xFFFFFFFFFFFFFFFFull);
    }

    void sameSeedWritesIdenticalBytesAnotherSeedOthers()
    {
        QFETCH(int, nodes);
        QFETCH(quint64, seed);
        QTemporaryDir root(TestSupport::sandboxPath() + QStringLiteral("/same-XXXXXX"));
        // The second run writes into a directory that does not exist yet.
        const QStringList outputs{root.filePath(QStringLiteral("first")),
                                  root.filePath(QStringLiteral("nested/second")),
                                  root.filePath(QStringLiteral("other"))};
        for (int i = 0; i < outputs.size(); ++i) {
            TraceGenerator generator({nodes, 2500, seed + quint64(i == 2)});
            QVERIFY2(generator.generate(outputs.at(i)), qPrintable(generator.errorString()));
        }
        const QMap<QString, QByteArray> first = TestSupport::filesUnder(outputs.at(0));
        const QMap<QString, QByteArray> other = TestSupport::filesUnder(outputs.at(2));
        QCOMPARE(first.size(), nodes);
        QCOMPARE(TestSupport::filesUnder(outputs.at(1)), first);
        QCOMPARE(other.keys(), first.keys());
        for (const QString &name : first.keys())
            QVERIFY2(other.value(name) != first.value(name), "another seed writes another trace");
    }

    void invalidOptionsAreRefusedBeforeWriting_data()
    {
        QTest::addColumn<int>("nodes");
        QTest::addColumn<int>("events");
        QTest::addColumn<bool>(
            "blocked"); // fine options, but a plain file where the project directory should be
        QTest::newRow("a project needs at least one node") << 0 << 1000 << false;
        QTest::newRow("node ids must fit the byte they travel in")
            << TraceGenerator::maxNodes + 1 << 1000 << false;
        QTest::newRow("a trace needs room for its longest episode") << 3 << 2 << false;
        QTest::newRow("a clock must not wrap within the trace")
            << 3 << TraceGenerator::maxEventsPerNode + 1 << false;
        QTest::newRow("an output that cannot be written is reported") << 2 << 500 << true;
    }

    void invalidOptionsAreRefusedBeforeWriting()
    {
        QFETCH(int, nodes);
        QFETCH(int, events);
        QFETCH(bool, blocked);
        const TraceGenerator::Options options{nodes, events, 1};
        const QString error = TraceGenerator::checkOptions(options);
        QCOMPARE(error.isEmpty(), blocked);
        QTemporaryDir root(TestSupport::sandboxPath() + QStringLiteral("/refused-XXXXXX"));
        const QString output = root.filePath(QStringLiteral("out"));
        if (blocked)
            QVERIFY(QFile(output).open(QIODevice::WriteOnly));
        TraceGenerator generator(options);
        QVERIFY(!generator.generate(output) && generator.summaries().isEmpty() &&
                !generator.errorString().isEmpty());
        if (!blocked)
            QVERIFY(generator.errorString() == error && !QFileInfo::exists(output));
    }

    void everyFileLoadsAsItsSummarySaysWithAKernelAndAClockOfItsOwn_data() { addProjectRows(); }
    void everyFileLoadsAsItsSummarySaysWithAKernelAndAClockOfItsOwn()
    {
        QFETCH(int, nodes);
        QFETCH(int, events);
        const Generated &p = project();
        QCOMPARE(QDir(p.dir->path()).entryList(QDir::Files).size(), nodes);
        QCOMPARE(p.summaries.size(), nodes);
        QSet<quint32> firstTimestamps; // each node runs on a clock of its own
        for (int i = 0; i < nodes; ++i) {
            const Node &node = *p.nodes.at(i);
            const QList<quint32> timestamps = writtenTimestamps(p.files.at(i), node);
            for (int e = 1; e < timestamps.size(); ++e)
                QVERIFY2(timestamps.at(e) >= timestamps.at(e - 1),
                         qPrintable(QStringLiteral("node %1 event %2").arg(i).arg(e)));
            QVERIFY(timestamps.last() > timestamps.first());
            firstTimestamps.insert(timestamps.first());
            const TraceGenerator::NodeSummary &s = p.summaries.at(i);
            QCOMPARE(misspeltNumbers(p.files.at(i)), QStringList());
            QVERIFY2(p.files.at(i).contains("\"0x") && !node.name().isEmpty() && node.highCounterHz() > 0,
                     qPrintable(node.traceFileName()));
            QList<qint64> packets{0, 0, 0};
            for (const TraceEvent &e : node.events()) {
                if (e.type >= 4 && e.type <= 6)
                    ++packets[e.type - 4];
            }
            QCOMPARE((QStringList{s.fileName, s.nodeName}), (QStringList{node.traceFileName(), node.name()}));
            QCOMPARE((QList<qint64>{s.nodeId, s.events, s.lowCounterHz, s.highCounterHz, s.bytes,
                                    s.packetsSent, s.packetsRouted, s.packetsReceived}),
                     (QList<qint64>{i + 1, p.files.at(i).count("<event "), node.lowCounterHz(),
                                    node.highCounterHz(), p.files.at(i).size()} +
                      packets));
            QCOMPARE(s.events, events);

            // A kernel, idle, Tx and Rx tasks and two user tasks at least; no task the events name is
            // missing; every service of the catalogue.
            QStringList tasks;
            for (const auto &task : node.tasks())
                tasks << task->name();
            const QString names = tasks.join(u'|');
            QVERIFY2(node.task(0)->name().contains(QLatin1String("Kernel")) &&
                         names.contains(QLatin1String("Idle")) && names.contains(QLatin1String("Tx task")) &&
                         names.contains(QLatin1String("Rx task")) && tasks.size() >= 6 &&
                         !tasks.contains(QStringLiteral("[unknown]")),
                     qPrintable(names));
            QSet<int> codes;
            for (const NodeServiceInfo &service : node.services())
                codes.insert(service.code);
            QCOMPARE(codes.size(), catalogue().services().size());
        }
        QCOMPARE(firstTimestamps.size(), nodes);
    }

    void everyPacketWasSentElsewhereAndNotified_data() { addProjectRows(); }
    void everyPacketWasSentElsewhereAndNotified()
    {
        QFETCH(int, nodes);
        const Generated &p = project();
        QHash<quint32, int> sentWithHop; // key -> hop written at the sender
        QHash<quint32, int> furthestRouterHop;
        int received = 0;
        // Senders, then routers, then receivers: a packet only ever moves on.
        for (const int type : {4, 5, 6}) {
            for (const auto &node : p.nodes) {
                QHash<quint32, int> balance; // events minus notifications per key
                for (auto it = node->packetRefs().cbegin(); it != node->packetRefs().cend(); ++it) {
                    const quint32 key = it.key();
                    const int hop = it->high;
                    balance[key] += it->type == type ? 1 : it->type == -type ? -1 : 0;
                    if (it->type != type)
                        continue;
                    QVERIFY2(int(key >> 16) == node->nodeId() ? type == 4 : type != 4,
                             "a node sends only its own packets and routes or receives only others'");
                    if (type == 4) {
                        sentWithHop.insert(key, hop);
                        continue;
                    }
                    QVERIFY2(sentWithHop.contains(key),
                             qPrintable(QStringLiteral("key %1 was never sent").arg(key, 0, 16)));
                    QVERIFY2(hop > qMax(sentWithHop.value(key), type == 6 ? furthestRouterHop.value(key) : 0),
                             "the hop count grows on the way, and the receiver lies beyond every router");
                    if (type == 5)
                        furthestRouterHop[key] = qMax(furthestRouterHop.value(key), hop);
                    received += type == 6;
                }
                for (auto it = balance.cbegin(); it != balance.cend(); ++it)
                    QVERIFY2(it.value() == 0,
                             qPrintable(QStringLiteral("key %1 type %2").arg(it.key(), 0, 16).arg(type)));
            }
        }
        QCOMPARE(sentWithHop.isEmpty(), nodes == 1);
        QCOMPARE(received > 0, nodes >= 2);
        QVERIFY2(nodes < 3 || !furthestRouterHop.isEmpty(),
                 "with three or more nodes some packets are routed");
    }

private:
    static void addProjectRows()
    {
        QTest::addColumn<int>("nodes");
        QTest::addColumn<int>("events");
        QTest::addColumn<quint64>("seed");
        QTest::newRow("a lone node has no one to exchange packets with") << 1 << 400 << quint64(5);
        QTest::newRow("two neighbours exchange packets directly") << 2 << 2000 << quint64(1);
        QTest::newRow("six nodes use every counter setup") << 6 << 1500 << quint64(77);
    }

    // Generates and reads each row's project once for all the tests that look at it.
    const Generated &project()
    {
        QFETCH(int, nodes);
        QFETCH(int, events);
        QFETCH(quint64, seed);
        const QString key = QStringLiteral("%1-%2-%3").arg(nodes).arg(events).arg(seed);
        auto found = m_projects.find(key);
        if (found != m_projects.end())
            return found->second;
        Generated p;
        p.dir =
            std::make_unique<QTemporaryDir>(TestSupport::sandboxPath() + QStringLiteral("/project-XXXXXX"));
        TraceGenerator generator({nodes, events, seed});
        if (!generator.generate(p.dir->path()))
            qFatal("generating %s failed: %s", qPrintable(key), qPrintable(generator.errorString()));
        p.summaries = generator.summaries();
        const QMap<QString, QByteArray> files = TestSupport::filesUnder(p.dir->path());
        for (int i = 0; i < nodes; ++i) {
            const QString path = QDir(p.dir->path()).filePath(TraceGenerator::fileNameFor(i));
            p.files << files.value(TraceGenerator::fileNameFor(i));
            try {
                p.nodes.push_back(std::make_unique<Node>(path, nullptr, FROM_TRACER, &catalogue()));
            } catch (const QString &error) {
                qFatal("the viewer refuses %s: %s", qPrintable(path), qPrintable(error));
            }
        }
        return m_projects.emplace(key, std::move(p)).first->second;
    }

    std::map<QString, Generated> m_projects;
};

QTEST_GUILESS_MAIN(TstTracegen)
#include "tst_tracegen.moc"
