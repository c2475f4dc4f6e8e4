#include "tracegenerator.h"

#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>
#include <QXmlStreamReader>

#include <iterator>
#include <map>
#include <memory>

namespace {

struct ReadEvent
{
    int type = 0;
    quint32 lowCounter = 0;
    quint32 highCounter = 0;
    qint32 param1 = 0;
    qint32 param2 = 0;
};

// One trace file as its XML says it, read without the viewer's loader.
struct ReadNode
{
    QString fileName;
    QString xmlError;
    int id = -1;
    QString name;
    QMap<int, QString> tasks;
    QMap<int, QString> hubs;
    QMap<int, QString> services;
    qint64 lowCounterHz = -1;
    qint64 highCounterHz = -1;
    QVector<ReadEvent> events;
    QStringList numberProblems; // numbers whose spelling would make the viewer read another value
    int hexLiterals = 0;
};

struct Project
{
    std::unique_ptr<QTemporaryDir> dir;
    QVector<TraceGenerator::NodeSummary> summaries;
    QVector<ReadNode> nodes;
};

ReadNode readTraceFile(const QString &path)
{
    ReadNode node;
    node.fileName = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        node.xmlError = file.errorString();
        return node;
    }
    QXmlStreamReader xml(&file);
    while (xml.readNext() != QXmlStreamReader::Invalid && !xml.atEnd()) {
        if (!xml.isStartElement())
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        const QString element = xml.name().toString();
        // A literal as written: plain decimal (no leading zero, which would make it octal) or
        // 0x-hex, within the range of the signed or unsigned 32-bit field it is read into.
        auto number = [&](const char *attribute, bool isUnsigned = false) {
            const QStringView text = a.value(QLatin1String(attribute));
            const bool negative = text.startsWith(u'-');
            const QStringView digits = negative ? text.mid(1) : text;
            bool ok = false;
            qint64 value = 0;
            if (digits.startsWith(QLatin1String("0x"))) {
                value = digits.mid(2).toLongLong(&ok, 16);
                ++node.hexLiterals;
            } else if (digits.size() == 1 || !digits.startsWith(u'0')) {
                value = digits.toLongLong(&ok, 10);
            }
            value = negative ? -value : value;
            if (!ok || (isUnsigned ? value < 0 || value > qint64(UINT32_MAX)
                                   : value < INT32_MIN || value > INT32_MAX))
                node.numberProblems.append(QStringLiteral("%1 %2#%3 %4: %5")
                                               .arg(node.fileName, element)
                                               .arg(node.events.size())
                                               .arg(QLatin1String(attribute), text));
            return value;
        };
        QMap<int, QString> *names = element == QLatin1String("task")      ? &node.tasks
                                    : element == QLatin1String("hub")     ? &node.hubs
                                    : element == QLatin1String("service") ? &node.services
                                                                          : nullptr;
        if (names) {
            names->insert(int(number("id")), a.value(QLatin1String("name")).toString());
        } else if (element == QLatin1String("node")) {
            node.id = int(number("id"));
            node.name = a.value(QLatin1String("name")).toString();
        } else if (element == QLatin1String("trace")) {
            node.lowCounterHz = number("lowCounterHz");
            node.highCounterHz = number("highCounterHz");
        } else if (element == QLatin1String("event")) {
            node.events.append({int(number("type")), quint32(number("lowCounter")),
                                quint32(number("highCounter", true)), qint32(number("param1")),
                                qint32(number("param2"))});
        }
    }
    if (xml.hasError())
        node.xmlError = QStringLiteral("%1 at line %2").arg(xml.errorString()).arg(xml.lineNumber());
    return node;
}

// Microseconds as the viewer derives them from the two counters.
quint32 timestampUs(const ReadNode &node, const ReadEvent &event)
{
    double seconds = double(event.highCounter) / double(quint32(node.highCounterHz));
    if (node.lowCounterHz != 0)
        seconds += double(event.lowCounter) / double(quint32(node.lowCounterHz));
    return quint32(quint64(seconds * 1000000.0));
}

bool isPacketEvent(int type)
{
    return qAbs(type) >= 4 && qAbs(type) <= 6;
}

quint32 packetKey(const ReadEvent &event)
{
    return (quint32((event.param1 >> 8) & 0xFF) << 16) | quint32(event.param2 & 0xFFFF);
}

// The viewer's catalogue, which a declared service name is matched against ignoring case.
const char *const catalogueServices[] = {"START_TASK",       "SUSPEND_TASK", "RESUME_TASK", "STOP_TASK",
                                         "ANY_PACKET",       "SLEEP_TASK",   "AWAKE_TASK",  "SEND_TO_HUB",
                                         "RECEIVE_FROM_HUB", "RETURN"};

int catalogueIndex(const QString &declaredName)
{
    for (int i = 0; i < int(std::size(catalogueServices)); ++i) {
        if (declaredName.contains(QLatin1String(catalogueServices[i]), Qt::CaseInsensitive))
            return i;
    }
    return -1;
}

QMap<QString, QByteArray> readAll(const QString &directory)
{
    QMap<QString, QByteArray> files;
    const QDir dir(directory);
    for (const QString &name : dir.entryList(QDir::Files)) {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            files.insert(name, file.readAll());
    }
    return files;
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
        const QMap<QString, QByteArray> first = readAll(outputs.at(0));
        const QMap<QString, QByteArray> other = readAll(outputs.at(2));
        QCOMPARE(first.size(), nodes);
        QCOMPARE(readAll(outputs.at(1)), first);
        QCOMPARE(other.keys(), first.keys());
        for (const QString &name : first.keys())
            QVERIFY2(other.value(name) != first.value(name), "another seed writes another trace");
    }

    void invalidOptionsAreRefusedBeforeWriting_data()
    {
        QTest::addColumn<int>("nodes");
        QTest::addColumn<int>("events");
        QTest::newRow("a project needs at least one node") << 0 << 1000;
        QTest::newRow("node ids must fit the byte they travel in") << TraceGenerator::maxNodes + 1 << 1000;
        QTest::newRow("a trace needs room for its longest episode") << 3 << 2;
        QTest::newRow("a clock must not wrap within the trace") << 3 << TraceGenerator::maxEventsPerNode + 1;
    }

    void invalidOptionsAreRefusedBeforeWriting()
    {
        QFETCH(int, nodes);
        QFETCH(int, events);
        const TraceGenerator::Options options{nodes, events, 1};
        QVERIFY(!TraceGenerator::checkOptions(options).isEmpty());
        QTemporaryDir root(TestSupport::sandboxPath() + QStringLiteral("/refused-XXXXXX"));
        const QString output = root.filePath(QStringLiteral("out"));
        TraceGenerator generator(options);
        QVERIFY(!generator.generate(output));
        QCOMPARE(generator.errorString(), TraceGenerator::checkOptions(options));
        QVERIFY(!QFileInfo::exists(output));
    }

    void anUnwritableOutputIsReported()
    {
        // A plain file where the project directory should be.
        TraceGenerator generator({2, 500, 1});
        QVERIFY(!generator.generate(
            TestSupport::writeTempFile(QStringLiteral("blocked"), QStringLiteral("project"), "x")));
        QVERIFY(!generator.errorString().isEmpty());
        QVERIFY(generator.summaries().isEmpty());
    }

    void everyFileIsWellFormedWithTheRequestedEventsAsItsSummarySays_data() { addProjectRows(); }
    void everyFileIsWellFormedWithTheRequestedEventsAsItsSummarySays()
    {
        QFETCH(int, nodes);
        QFETCH(int, events);
        const Project &p = project();
        QCOMPARE(QDir(p.dir->path()).entryList(QDir::Files).size(), nodes);
        QCOMPARE(p.summaries.size(), nodes);
        for (int i = 0; i < nodes; ++i) {
            const ReadNode &node = p.nodes.at(i);
            const TraceGenerator::NodeSummary &s = p.summaries.at(i);
            QVERIFY2(node.xmlError.isEmpty(),
                     qPrintable(node.fileName + QStringLiteral(": ") + node.xmlError));
            QCOMPARE(node.id, i + 1);
            QVERIFY(!node.name.isEmpty());
            QCOMPARE(node.events.size(), events);
            // Spelled so that the viewer reads what was meant; hex in signed fields stays below 0x80000000.
            QVERIFY2(node.numberProblems.isEmpty(), qPrintable(node.numberProblems.mid(0, 5).join(u'\n')));
            QVERIFY2(node.hexLiterals > 0, qPrintable(node.fileName));
            QVERIFY(node.highCounterHz > 0 && node.lowCounterHz >= 0);

            QCOMPARE(s.fileName, node.fileName);
            QCOMPARE(s.nodeId, node.id);
            QCOMPARE(s.nodeName, node.name);
            QCOMPARE(s.events, node.events.size());
            QCOMPARE(qint64(s.lowCounterHz), node.lowCounterHz);
            QCOMPARE(qint64(s.highCounterHz), node.highCounterHz);
            QCOMPARE(s.bytes, QFileInfo(QDir(p.dir->path()).filePath(s.fileName)).size());
            int packets[3] = {};
            for (const ReadEvent &e : node.events) {
                if (e.type >= 4 && e.type <= 6)
                    ++packets[e.type - 4];
            }
            QCOMPARE(QList<int>({s.packetsSent, s.packetsRouted, s.packetsReceived}),
                     QList<int>({packets[0], packets[1], packets[2]}));
        }
    }

    void everyNodeDeclaresTheTasksAndServicesOfAKernel_data() { addProjectRows(); }
    void everyNodeDeclaresTheTasksAndServicesOfAKernel()
    {
        for (const ReadNode &node : project().nodes) {
            QVERIFY2(node.tasks.value(0).contains(QLatin1String("Kernel")), qPrintable(node.fileName));
            const QString allTasks = node.tasks.values().join(u'|');
            for (const char *task : {"Idle", "Tx task", "Rx task"})
                QVERIFY2(allTasks.contains(QLatin1String(task)), task);
            QVERIFY2(node.tasks.size() >= 6,
                     "kernel, idle, Tx and Rx leave room for at least two user tasks");
            QVERIFY(!node.hubs.isEmpty());
            QSet<int> matched;
            for (const QString &name : node.services)
                matched.insert(catalogueIndex(name));
            QVERIFY2(matched.contains(-1), "a kernel has services the catalogue does not know");
            QCOMPARE(matched.size(), int(std::size(catalogueServices)) + 1);
        }
    }

    void timestampsNeverDecreaseAndClocksDiffer_data() { addProjectRows(); }
    void timestampsNeverDecreaseAndClocksDiffer()
    {
        const Project &p = project();
        QSet<quint32> firstTimestamps;
        for (const ReadNode &node : p.nodes) {
            quint32 previous = 0;
            for (int i = 0; i < node.events.size(); ++i) {
                const quint32 now = timestampUs(node, node.events.at(i));
                if (now < previous)
                    QFAIL(qPrintable(
                        QStringLiteral("%1: event %2 goes back in time").arg(node.fileName).arg(i)));
                previous = now;
            }
            QVERIFY2(previous > timestampUs(node, node.events.constFirst()), qPrintable(node.fileName));
            firstTimestamps.insert(timestampUs(node, node.events.constFirst()));
        }
        QCOMPARE(firstTimestamps.size(), p.nodes.size());
    }

    void everyRoutedOrReceivedPacketWasSentElsewhere_data() { addProjectRows(); }
    void everyRoutedOrReceivedPacketWasSentElsewhere()
    {
        QFETCH(int, nodes);
        const Project &p = project();
        QHash<quint32, int> sentWithHop; // key -> hop written at the sender
        for (const ReadNode &node : p.nodes) {
            for (const ReadEvent &e : node.events) {
                if (e.type == 4) {
                    QCOMPARE(int(packetKey(e) >> 16), node.id);
                    sentWithHop.insert(packetKey(e), e.param2 >> 16);
                }
            }
        }
        // Routers first, then receivers: a packet only ever moves on.
        QHash<quint32, int> furthestRouterHop;
        int received = 0;
        for (const int type : {5, 6}) {
            for (const ReadNode &node : p.nodes) {
                for (const ReadEvent &e : node.events) {
                    if (e.type != type)
                        continue;
                    const quint32 key = packetKey(e);
                    const int hop = e.param2 >> 16;
                    QVERIFY2(int(key >> 16) != node.id, "a node does not route or receive its own packets");
                    QVERIFY2(
                        sentWithHop.contains(key),
                        qPrintable(
                            QStringLiteral("%1: key %2 was never sent").arg(node.fileName).arg(key, 0, 16)));
                    QVERIFY2(hop > sentWithHop.value(key), "the hop count grows on the way");
                    if (type == 5) {
                        furthestRouterHop[key] = qMax(furthestRouterHop.value(key), hop);
                    } else {
                        ++received;
                        QVERIFY2(hop > furthestRouterHop.value(key), "the receiver lies beyond every router");
                    }
                }
            }
        }
        QCOMPARE(sentWithHop.isEmpty(), nodes == 1);
        QCOMPARE(received > 0, nodes >= 2);
        if (nodes >= 3)
            QVERIFY2(!furthestRouterHop.isEmpty(),
                     "with three or more nodes some packets travel through another node");
    }

    void everyRecordedPacketHasItsNotification_data() { addProjectRows(); }
    void everyRecordedPacketHasItsNotification()
    {
        for (const ReadNode &node : project().nodes) {
            QHash<quint32, int> balance; // events minus notifications per key and type family
            for (const ReadEvent &e : node.events) {
                if (!isPacketEvent(e.type))
                    continue;
                QVERIFY2(e.param2 != 0, "a packet event without a packet is dropped");
                balance[packetKey(e) ^ (quint32(qAbs(e.type)) << 24)] += e.type > 0 ? 1 : -1;
            }
            for (auto it = balance.cbegin(); it != balance.cend(); ++it)
                QVERIFY2(it.value() == 0,
                         qPrintable(QStringLiteral("%1: key %2").arg(node.fileName).arg(it.key(), 0, 16)));
        }
    }

    void eventsNameDeclaredTasksAndHubs_data() { addProjectRows(); }
    void eventsNameDeclaredTasksAndHubs()
    {
        QFETCH(int, nodes);
        const Project &p = project();
        int remoteHubRequests = 0;
        for (const ReadNode &node : p.nodes) {
            for (const ReadEvent &e : node.events) {
                const int objectId = e.param2 & 0xFF;
                const int objectNode = (e.param2 >> 8) & 0xFF;
                const int service = qAbs(e.type) == 1 || qAbs(e.type) == 2 ? e.param1 & 0xFF : -1;
                QVERIFY2(service < 0 || node.services.contains(service), qPrintable(node.fileName));
                const int catalogued = catalogueIndex(node.services.value(service));
                if (service >= 0 && (catalogued == 7 || catalogued == 8)) { // SEND_TO_HUB, RECEIVE_FROM_HUB
                    QVERIFY2(objectNode >= 1 && objectNode <= nodes,
                             "a hub request names a node of the project");
                    QVERIFY2(p.nodes.at(objectNode - 1).hubs.contains(objectId),
                             "and a hub that node declares");
                    remoteHubRequests += objectNode != node.id && e.type == 1;
                } else if (e.type == 0 || service >= 0) {
                    QCOMPARE(objectNode, node.id);
                    QVERIFY(node.tasks.contains(objectId));
                } else if (e.type == 16) {
                    QVERIFY(node.tasks.contains((e.param1 >> 16) & 0xFF));
                } else if (e.type == 255) {
                    QCOMPARE(objectNode, node.id);
                }
            }
        }
        if (nodes >= 2)
            QVERIFY2(remoteHubRequests > 0, "tasks also call hubs of other nodes");
    }

private:
    static void addProjectRows()
    {
        QTest::addColumn<int>("nodes");
        QTest::addColumn<int>("events");
        QTest::addColumn<quint64>("seed");
        QTest::newRow("a lone node has no one to exchange packets with") << 1 << 400 << quint64(5);
        QTest::newRow("two neighbours exchange packets directly") << 2 << 2000 << quint64(1);
        QTest::newRow("four nodes in a chain route through the middle ones") << 4 << 3000 << quint64(1);
        QTest::newRow("six nodes use every counter setup") << 6 << 1500 << quint64(77);
    }

    // Generates and reads each row's project once for all the tests that look at it.
    const Project &project()
    {
        QFETCH(int, nodes);
        QFETCH(int, events);
        QFETCH(quint64, seed);
        const QString key = QStringLiteral("%1-%2-%3").arg(nodes).arg(events).arg(seed);
        auto found = m_projects.find(key);
        if (found != m_projects.end())
            return found->second;
        Project p;
        p.dir =
            std::make_unique<QTemporaryDir>(TestSupport::sandboxPath() + QStringLiteral("/project-XXXXXX"));
        TraceGenerator generator({nodes, events, seed});
        if (!generator.generate(p.dir->path()))
            qFatal("generating %s failed: %s", qPrintable(key), qPrintable(generator.errorString()));
        p.summaries = generator.summaries();
        for (int i = 0; i < nodes; ++i)
            p.nodes.append(readTraceFile(QDir(p.dir->path()).filePath(TraceGenerator::fileNameFor(i))));
        return m_projects.emplace(key, std::move(p)).first->second;
    }

    std::map<QString, Project> m_projects;
};

QTEST_GUILESS_MAIN(TstTracegen)
#include "tst_tracegen.moc"
