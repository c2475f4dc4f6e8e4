#include "app/handoff.h"
#include "app/tracefilereceiver.h"
#include "app/tracer.h"
#include "mainwindow/tracerwindow.h"
#include "trace/project.h"

#include "testsupport.h"
#include "tracefixture.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QtEndian>
#include <QTest>
#include <QTimer>

#include <memory>
#include <vector>

#include <signal.h>
#include <unistd.h>

namespace {

// Generous: the child processes are debug builds on a shared machine.
constexpr int ProcessTimeoutMs = 30000;

// A headless child process, killed when the test leaves its scope, passed or failed.
class ChildProcess : public QProcess
{
public:
    ChildProcess(const char *program, const QStringList &arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        setProcessEnvironment(environment);
        setProcessChannelMode(QProcess::ForwardedErrorChannel);
        start(QString::fromUtf8(program), arguments);
    }
    ~ChildProcess() override
    {
        if (state() != QProcess::NotRunning) {
            kill();
            waitForFinished();
        }
    }
    bool endsWell()
    {
        if (state() != QProcess::NotRunning)
            waitForFinished(ProcessTimeoutMs);
        return state() == QProcess::NotRunning && error() != QProcess::FailedToStart &&
               exitStatus() == QProcess::NormalExit && exitCode() == 0;
    }
};

// A receiver in a process of its own; it prints "listening", then each path hex-encoded.
struct Holder : ChildProcess
{
    Holder()
        : ChildProcess(RECEIVERHOLDER_PATH, {})
    {}
    QByteArray nextLine()
    {
        while (!canReadLine()) {
            if (!waitForReadyRead(ProcessTimeoutMs))
                return {};
        }
        return readLine().trimmed();
    }
    bool listens() { return waitForStarted() && nextLine() == "listening"; }
    QString nextPath() { return QString::fromUtf8(QByteArray::fromHex(nextLine())); }
};

// handOffToRunningInstance as the program entry calls it, program name first.
bool handOff(QByteArrayList arguments)
{
    arguments.prepend("kestrelview");
    std::vector<char *> argv;
    for (QByteArray &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    return handOffToRunningInstance(int(arguments.size()), argv.data());
}

// A message with the given header fields, for the cases encodeHandOffMessage never builds.
QByteArray rawMessage(quint32 tag, quint32 size, const QByteArray &path)
{
    QByteArray message(HandOff::HeaderSize, '\0');
    qToLittleEndian<quint32>(tag, message.data());
    qToLittleEndian<quint32>(size, message.data() + 4);
    return message + path + QByteArray(qMax(0, int(HandOff::PathFieldSize) - int(path.size())), '\0');
}

// A client of the receiver in this process that has sent `bytes` and waits for nothing.
std::unique_ptr<QLocalSocket> sendRaw(const QByteArray &bytes)
{
    auto client = std::make_unique<QLocalSocket>();
    client->connectToServer(receiverServerName());
    if (!client->waitForConnected(ProcessTimeoutMs))
        return nullptr;
    client->write(bytes);
    client->flush();
    return client;
}

QStringList receivedPaths(const QSignalSpy &spy, bool sorted = false)
{
    QStringList paths;
    for (const QList<QVariant> &arguments : spy)
        paths << arguments.at(0).toString();
    if (sorted)
        paths.sort();
    return paths;
}

enum class Leftover { None, KilledInstance, PlainFile };

// Leaves at the socket's name what an instance that ended without cleaning up leaves behind.
bool leaveBehind(Leftover leftover)
{
    const QString name = receiverServerName();
    if (leftover == Leftover::KilledInstance) {
        Holder holder;
        if (!holder.listens())
            return false;
        holder.kill(); // SIGKILL: nothing gets a chance to remove the socket file
        return holder.waitForFinished() && QFileInfo::exists(name);
    }
    if (leftover == Leftover::PlainFile) {
        QFile file(name);
        return file.open(QIODevice::WriteOnly) && file.write("left over") > 0;
    }
    return !QFileInfo::exists(name);
}

} // namespace

Q_DECLARE_METATYPE(Leftover)
Q_DECLARE_METATYPE(std::optional<QByteArray>)

class TestHandOff : public QObject
{
    Q_OBJECT

    std::unique_ptr<TraceFileReceiver> m_receiver;
    std::unique_ptr<QSignalSpy> m_received;

    // Starts the receiver in this process and records what it announces.
    bool listen()
    {
        m_receiver = std::make_unique<TraceFileReceiver>();
        m_received = std::make_unique<QSignalSpy>(m_receiver.get(), &TraceFileReceiver::addNodeFromReceiver);
        return m_receiver->isListening();
    }

private slots:
    void cleanup()
    {
        m_received.reset();
        m_receiver.reset();
        // A failed test must not leave a socket file that changes the next one.
        QLocalServer::removeServer(receiverServerName());
    }

    void argumentsRoundTripOnlyWithRoomForTheNul_data()
    {
        QTest::addColumn<QByteArray>("argument");
        QTest::addColumn<bool>("fits");
        QTest::newRow("an empty argument round-trips") << QByteArray() << true;
        QTest::newRow("a path in UTF-8 with non-ASCII letters round-trips")
            << QStringLiteral("/home/jürgen/Messläufe/€.trace").toUtf8() << true;
        QTest::newRow("an argument of 511 bytes, the longest that fits, round-trips")
            << QByteArray(511, 'a') << true;
        QTest::newRow("an argument of exactly 512 bytes is refused") << QByteArray(512, 'a') << false;
    }

    void argumentsRoundTripOnlyWithRoomForTheNul()
    {
        QFETCH(QByteArray, argument);
        QFETCH(bool, fits);
        const QByteArray message = encodeHandOffMessage(argument);
        if (!fits) {
            QVERIFY(message.isEmpty());
            return;
        }
        // Tag 1 and size 512, both little-endian, then the NUL-padded path.
        QCOMPARE(message, QByteArray("\x01\x00\x00\x00\x00\x02\x00\x00", 8) + argument +
                              QByteArray(512 - argument.size(), '\0'));
        QCOMPARE(decodeHandOffMessage(message), std::optional<QByteArray>(argument));
    }

    void decodeTakesAnyTagAndRefusesMalformedMessages_data()
    {
        const QByteArray good = encodeHandOffMessage("a.trace");
        const std::optional<QByteArray> refused;
        const std::optional<QByteArray> path("a.trace");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<std::optional<QByteArray>>("decoded");
        QTest::newRow("the largest tag is taken as a path")
            << rawMessage(0xffffffffu, 512, "a.trace") << path;
        QTest::newRow("bytes after the first NUL are ignored")
            << rawMessage(1, 512, QByteArray("a.trace\0junk", 12)) << path;
        QTest::newRow("a NUL in the last byte ends a 511-byte path")
            << rawMessage(1, 512, QByteArray(511, 'b')) << std::optional(QByteArray(511, 'b'));
        QTest::newRow("a message one byte short is refused") << good.left(519) << refused;
        QTest::newRow("a message one byte too long is refused") << good + '\0' << refused;
        QTest::newRow("a size field of 511 is refused") << rawMessage(1, 511, "a.trace") << refused;
        QTest::newRow("a size field in big-endian order is refused")
            << rawMessage(1, qToBigEndian<quint32>(512), "a.trace") << refused;
        QTest::newRow("a path field without any NUL is refused")
            << rawMessage(1, 512, QByteArray(512, 'a')) << refused;
    }

    void decodeTakesAnyTagAndRefusesMalformedMessages()
    {
        QFETCH(QByteArray, message);
        QFETCH(std::optional<QByteArray>, decoded);
        QCOMPARE(decodeHandOffMessage(message), decoded);
    }

    void secondStartHandsOnlyItsFirstArgumentOverAsTyped()
    {
        // Dot segments unresolved, spaces and non-ASCII letters kept through the 8-bit encoding.
        const QString first = QStringLiteral("./a/../Messläufe/Knoten 1_€.trace");
        QVERIFY(listen());
        ChildProcess viewer(KESTRELVIEW_PATH,
                            {first, QStringLiteral("second.trace"), QStringLiteral("third.trace")});
        QTRY_COMPARE_WITH_TIMEOUT(m_received->count(), 1, ProcessTimeoutMs);
        QCOMPARE(receivedPaths(*m_received), QStringList{first});
        // The event loop must keep running: the second start waits for the acknowledgement.
        QTRY_COMPARE_WITH_TIMEOUT(viewer.state(), QProcess::NotRunning, ProcessTimeoutMs);
        QVERIFY(viewer.endsWell());
        QCOMPARE(m_received->count(), 1);
    }

    void secondStartWaitsUntilTheSlotHasReturned()
    {
        QVERIFY(listen());
        ChildProcess viewer(KESTRELVIEW_PATH, {QStringLiteral("slow.trace")});
        // Stands in for a load that shows a warning box: a nested event loop that
        // would let an early acknowledgement reach the second start and end it.
        bool slotRan = false;
        bool viewerEndedDuringSlot = false;
        connect(m_receiver.get(), &TraceFileReceiver::addNodeFromReceiver, this, [&] {
            slotRan = true;
            QEventLoop loop;
            connect(&viewer, &QProcess::finished, &loop, &QEventLoop::quit);
            QTimer::singleShot(500, &loop, &QEventLoop::quit);
            loop.exec();
            viewerEndedDuringSlot = viewer.state() == QProcess::NotRunning;
        });
        QTRY_VERIFY_WITH_TIMEOUT(slotRan, ProcessTimeoutMs);
        QVERIFY(!viewerEndedDuringSlot);
        QTRY_COMPARE_WITH_TIMEOUT(viewer.state(), QProcess::NotRunning, ProcessTimeoutMs);
        QVERIFY(viewer.endsWell());
    }

    void fileHandedOverDuringAWarningBoxKeepsItsSecondStartWaitingUntilLoaded()
    {
        const QString handed = TestSupport::writeTempFile(
            QStringLiteral("queued"), QStringLiteral("queued.trace"),
            TraceFixture::traceFile(3, QByteArray(), TraceFixture::eventXml(3, 0)));
        Tracer tracer;
        std::unique_ptr<ChildProcess> viewer;
        bool viewerEndedDuringBox = true;
        // The warning box of a failed load: the file handed over meanwhile waits for its turn.
        tracer.setMessageSink([&](QMessageBox::Icon, const QString &text) {
            if (viewer || !text.contains(QLatin1String("box.trace")))
                return;
            viewer = std::make_unique<ChildProcess>(KESTRELVIEW_PATH, QStringList{handed});
            QSignalSpy arrived(tracer.receiver(), &TraceFileReceiver::addNodeFromReceiver);
            viewerEndedDuringBox =
                !arrived.wait(ProcessTimeoutMs) ||
                QTest::qWaitFor([&] { return viewer->state() == QProcess::NotRunning; }, 1000);
        });
        QVERIFY(tracer.init(qApp));
        QVERIFY(tracer.receiver()->isListening());

        tracer.mainWindow()->openNode(QStringLiteral("/nonexistent/box.trace"), FROM_TRACER);
        QVERIFY(viewer);
        QVERIFY(!viewerEndedDuringBox);
        const Project *project = tracer.project(QFileInfo(handed).absolutePath());
        QVERIFY(project && project->node(QStringLiteral("queued.trace")));
        QTRY_COMPARE_WITH_TIMEOUT(viewer->state(), QProcess::NotRunning, ProcessTimeoutMs);
        QVERIFY(viewer->endsWell());
    }

    void secondStartOfTheProgramHandsItsFileToTheFirstWhichOpensIt()
    {
        const QString path = TestSupport::writeTempFile(
            QStringLiteral("endtoend"), QStringLiteral("handed.trace"),
            TraceFixture::traceFile(7, "<tasks><task id=\"1\" name=\"Only\"/></tasks>\n",
                                    TraceFixture::eventXml(0, 0, 0, 7 << 8 | 1)));
        QSettings(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview")).clear();

        ChildProcess first(KESTRELVIEW_PATH, {});
        QVERIFY(first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(receiverServerName()), ProcessTimeoutMs);
        ChildProcess second(KESTRELVIEW_PATH, {path});
        QVERIFY(second.endsWell());
        QCOMPARE(first.state(), QProcess::Running);

        // Ended as a session ends it, the first start writes its recent list,
        // which names a file only once it has been opened.
        ::kill(pid_t(first.processId()), SIGTERM);
        QVERIFY(first.endsWell());
        QSettings store(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview"));
        store.sync();
        QCOMPARE(store.value(QStringLiteral("application/recent_nodes/size")).toInt(), 1);
        QCOMPARE(store.value(QStringLiteral("application/recent_nodes/1/node")).toString(), path);
    }

    void handOffReachesARunningInstanceOnlyWhenTheArgumentFits_data()
    {
        QTest::addColumn<QByteArrayList>("arguments");
        QTest::addColumn<bool>("handedOver");
        QTest::newRow("a start without arguments does not look for an instance") << QByteArrayList{} << false;
        QTest::newRow("a first argument of 511 bytes is handed over whole")
            << QByteArrayList{QByteArray(511, 'a')} << true;
        QTest::newRow("a first argument of 512 bytes is not cut but kept")
            << QByteArrayList{QByteArray(512, 'a')} << false;
        QTest::newRow("an empty first argument is handed over as it is")
            << QByteArrayList{QByteArray()} << true;
    }

    void handOffReachesARunningInstanceOnlyWhenTheArgumentFits()
    {
        QFETCH(QByteArrayList, arguments);
        QFETCH(bool, handedOver);
        // In a process of its own, so that this one may block in the hand-off.
        Holder holder;
        QVERIFY(holder.listens());
        // A second receiver neither listens nor, when it ends, takes the live instance's socket.
        QVERIFY(!TraceFileReceiver().isListening());

        QCOMPARE(handOff(arguments), handedOver);
        // Hand-offs are answered in order: whatever the first call delivered comes before this marker.
        QVERIFY(handOff({"marker.trace"}));
        if (handedOver)
            QCOMPARE(holder.nextPath(), QString::fromLocal8Bit(arguments.first()));
        QCOMPARE(holder.nextPath(), QStringLiteral("marker.trace"));
    }

    void aRunningInstanceTakesOverWhenTheListeningOneGoes_data()
    {
        QTest::addColumn<bool>("killed");
        QTest::newRow("the listening instance ends and removes its socket") << false;
        QTest::newRow("the listening instance is killed and leaves its socket behind") << true;
    }

    void aRunningInstanceTakesOverWhenTheListeningOneGoes()
    {
        QFETCH(bool, killed);
        Holder first;
        QVERIFY(first.listens());
        Holder second;
        QVERIFY(second.waitForStarted());
        QCOMPARE(second.nextLine(), QByteArray("not listening"));

        killed ? first.kill() : first.terminate();
        QVERIFY(first.waitForFinished(ProcessTimeoutMs));
        QCOMPARE(first.exitStatus(), killed ? QProcess::CrashExit : QProcess::NormalExit);
        // A third start finds the second instance, not an empty place to start its own.
        QTRY_VERIFY_WITH_TIMEOUT(handOff({"third.trace"}), ProcessTimeoutMs);
        QCOMPARE(second.nextPath(), QStringLiteral("third.trace"));
    }

    void leftoversTakeNoHandOffAndMakeWayForASocketOnlyTheUserReaches_data()
    {
        QTest::addColumn<Leftover>("leftover");
        QTest::newRow("nothing at the socket's name") << Leftover::None;
        QTest::newRow("the socket file of an instance killed with SIGKILL") << Leftover::KilledInstance;
        QTest::newRow("a plain file at the socket's name") << Leftover::PlainFile;
    }

    void leftoversTakeNoHandOffAndMakeWayForASocketOnlyTheUserReaches()
    {
        QFETCH(Leftover, leftover);
        const QString name = receiverServerName();
        QVERIFY2(name.startsWith(qEnvironmentVariable("XDG_RUNTIME_DIR") + QLatin1Char('/')),
                 qPrintable(name));
        QVERIFY(leaveBehind(leftover));
        QVERIFY(!handOff({"a.trace"}));

        QVERIFY(listen());
        const QFileInfo socketFile(name);
        QCOMPARE(socketFile.ownerId(), ::getuid());
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        QCOMPARE(socketFile.permissions() & others, QFile::Permissions());
        QVERIFY(socketFile.permissions().testFlags(QFile::ReadOwner | QFile::WriteOwner));
        const auto client = sendRaw(encodeHandOffMessage("after.trace"));
        QVERIFY(client);
        QTRY_COMPARE(receivedPaths(*m_received), QStringList{QStringLiteral("after.trace")});

        m_receiver.reset();
        QVERIFY(!QFileInfo::exists(name));
    }

    void malformedMessagesAreDroppedAndGoodOnesStillArrive_data()
    {
        const QByteArray good = encodeHandOffMessage("bad.trace");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("clientCloses");
        QTest::newRow("a client that sends nothing and closes") << QByteArray() << true;
        QTest::newRow("a message one byte short whose client then closes") << good.left(519) << true;
        QTest::newRow("a message with bytes beyond its 520") << good + QByteArray(80, 'x') << false;
        QTest::newRow("a path field without a NUL") << rawMessage(1, 512, QByteArray(512, 'b')) << false;
    }

    void malformedMessagesAreDroppedAndGoodOnesStillArrive()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, clientCloses);
        QVERIFY(listen());
        const auto bad = sendRaw(bytes);
        QVERIFY(bad);
        if (clientCloses)
            bad->disconnectFromServer();
        const auto good = sendRaw(encodeHandOffMessage("good.trace"));
        QVERIFY(good);

        QTRY_VERIFY(good->bytesAvailable() > 0);
        QCOMPARE(good->read(1), QByteArray(1, HandOff::Acknowledgement));
        // The receiver has let go of every connection, the bad one included.
        QTRY_VERIFY(m_receiver->findChildren<QLocalSocket *>().isEmpty());
        QCOMPARE(bad->state(), QLocalSocket::UnconnectedState);
        QCOMPARE(bad->bytesAvailable(), 0);
        QCOMPARE(receivedPaths(*m_received), QStringList{QStringLiteral("good.trace")});
    }

    void slowClientIsDroppedWithoutHoldingOthersUp()
    {
        QVERIFY(listen());
        const QByteArray slowMessage = encodeHandOffMessage("slow.trace");
        const auto slow = sendRaw(slowMessage.left(100));
        const auto quick = sendRaw(encodeHandOffMessage("quick.trace"));
        QVERIFY(slow && quick);

        QTRY_COMPARE(receivedPaths(*m_received), QStringList{QStringLiteral("quick.trace")});
        QCOMPARE(slow->state(), QLocalSocket::ConnectedState);
        QTRY_COMPARE_WITH_TIMEOUT(slow->state(), QLocalSocket::UnconnectedState,
                                  4 * HandOff::ClientTimeoutMs);
        // What comes after the deadline finds nobody listening on that connection.
        slow->write(slowMessage.mid(100));
        QCOMPARE(slow->bytesAvailable(), 0);
        QTRY_VERIFY(m_receiver->findChildren<QLocalSocket *>().isEmpty());
        QCOMPARE(m_received->count(), 1);
    }

    void clientThatGoesAwayDuringTheLoadDoesNoHarm()
    {
        QVERIFY(listen());
        auto leaving = sendRaw(encodeHandOffMessage("leaving.trace"));
        QVERIFY(leaving);
        // The second start is killed while a warning box of the load runs its own
        // event loop; that loop may well dispose of the dead connection.
        connect(m_receiver.get(), &TraceFileReceiver::addNodeFromReceiver, this, [&](const QString &path) {
            if (path != QLatin1String("leaving.trace"))
                return;
            leaving.reset();
            // Only a chance for the harm to happen; whether it did is checked below.
            static_cast<void>(
                QTest::qWaitFor([&] { return m_receiver->findChildren<QLocalSocket *>().isEmpty(); }, 500));
        });
        QTRY_COMPARE(m_received->count(), 1);
        QTRY_VERIFY(m_receiver->findChildren<QLocalSocket *>().isEmpty());

        const auto next = sendRaw(encodeHandOffMessage("next.trace"));
        QVERIFY(next);
        QTRY_VERIFY(next->bytesAvailable() > 0);
        QCOMPARE(receivedPaths(*m_received),
                 (QStringList{QStringLiteral("leaving.trace"), QStringLiteral("next.trace")}));
    }

    void manyClientsInQuickSuccessionAreEachHandledOnce()
    {
        QVERIFY(listen());
        // More than QLocalServer keeps pending by default (30), all connected
        // before the receiver gets to accept any of them.
        QStringList expected;
        std::vector<std::unique_ptr<QLocalSocket>> clients;
        for (int i = 0; i < 40; ++i) {
            expected << QStringLiteral("client-%1.trace").arg(i, 2, 10, QLatin1Char('0'));
            clients.push_back(sendRaw(encodeHandOffMessage(expected.back().toLocal8Bit())));
            QVERIFY(clients.back());
        }
        for (const auto &client : clients) {
            QTRY_VERIFY(client->bytesAvailable() > 0);
            QCOMPARE(client->read(1), QByteArray(1, HandOff::Acknowledgement));
        }
        QTRY_VERIFY(m_receiver->findChildren<QLocalSocket *>().isEmpty());
        QCOMPARE(receivedPaths(*m_received, true), expected);
    }
};

QTEST_MAIN(TestHandOff)
#include "tst_handoff.moc"
