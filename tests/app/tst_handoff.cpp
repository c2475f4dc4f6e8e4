#include "app/handoff.h"
#include "app/tracefilereceiver.h"
#include "app/tracer.h"
#include "mainwindow/tracerwindow.h"
#include "trace/node.h"
#include "trace/project.h"

#include "testsupport.h"
#include "tracefixture.h"

#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QtEndian>
#include <QTest>

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
        kill();
        waitForFinished();
    }
    bool endsWell()
    {
        waitForFinished(ProcessTimeoutMs);
        return state() == QProcess::NotRunning && error() != QProcess::FailedToStart &&
               exitStatus() == QProcess::NormalExit && exitCode() == 0;
    }
};

// A receiver in a process of its own; it prints "listening" or "not listening", then each path hex-encoded.
struct Holder : ChildProcess
{
    Holder()
        : ChildProcess(RECEIVERHOLDER_PATH, {})
    {}
    QString nextLine()
    {
        while (!canReadLine() && waitForReadyRead(ProcessTimeoutMs)) {
        }
        return QString::fromUtf8(readLine().trimmed());
    }
    QString nextPath() { return QString::fromUtf8(QByteArray::fromHex(nextLine().toLatin1())); }
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

// A trace of node `id` with one task switch, named `name`, in the test's directory.
QString traceFile(const char *name, int id)
{
    return TestSupport::writeTempFile(
        QStringLiteral("handoff"), QString::fromUtf8(name),
        TraceFixture::traceFile(id, "<tasks><task id=\"1\" name=\"Only\"/></tasks>\n",
                                TraceFixture::eventXml(0, 0, 0, id << 8 | 1)));
}

} // namespace

Q_DECLARE_METATYPE(std::optional<QByteArray>)

class TestHandOff : public QObject
{
    Q_OBJECT

    std::unique_ptr<TraceFileReceiver> m_receiver;
    QStringList m_received;

    // Starts the receiver in this process and records what it announces.
    bool listen()
    {
        m_receiver = std::make_unique<TraceFileReceiver>();
        connect(m_receiver.get(), &TraceFileReceiver::addNodeFromReceiver, this,
                [this](const QString &path) { m_received << path; });
        return m_receiver->isListening();
    }

    // Whether the receiver has let go of every connection.
    bool allConnectionsGone() const { return m_receiver->findChildren<QLocalSocket *>().isEmpty(); }

private slots:
    void cleanup()
    {
        m_received.clear();
        m_receiver.reset();
        // A failed test must not leave a socket file that changes the next one.
        QLocalServer::removeServer(receiverServerName());
    }

    void messagesCarryTheirPathOnlyWithRoomForItsNul_data()
    {
        const QByteArray good = encodeHandOffMessage("a.trace");
        const std::optional<QByteArray> refused;
        const std::optional<QByteArray> path("a.trace");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<std::optional<QByteArray>>("decoded");
        // The longest path that fits and the shortest that does not go through a real hand-off below.
        QTest::newRow("bytes after the first NUL are ignored")
            << rawMessage(1, 512, QByteArray("a.trace\0junk", 12)) << path;
        QTest::newRow("a message one byte short is refused") << good.left(519) << refused;
        QTest::newRow("a message one byte too long is refused") << good + '\0' << refused;
        QTest::newRow("a size field of 511 is refused") << rawMessage(1, 511, "a.trace") << refused;
        QTest::newRow("a path field without any NUL is refused")
            << rawMessage(1, 512, QByteArray(512, 'a')) << refused;
    }

    void messagesCarryTheirPathOnlyWithRoomForItsNul()
    {
        QFETCH(QByteArray, message);
        QFETCH(std::optional<QByteArray>, decoded);
        QCOMPARE(decodeHandOffMessage(message), decoded);
        // Tag 1 and size 512, both little-endian, then the NUL-padded path.
        if (decoded)
            QCOMPARE(encodeHandOffMessage(*decoded), rawMessage(1, 512, *decoded));
    }

    void secondStartHandsItsFirstArgumentAsTypedToTheFirstWhichOpensIt()
    {
        // Dot segment unresolved, spaces and non-ASCII letters kept through the 8-bit encoding.
        const QString written = traceFile("Knoten 1_€.trace", 7);
        const QString typed =
            QFileInfo(written).path() + QStringLiteral("/./") + QFileInfo(written).fileName();
        TestSupport::settingsStore().clear();

        // The first start opens what its own command line names.
        ChildProcess first(KESTRELVIEW_PATH, {traceFile("first.trace", 8)});
        QVERIFY(first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(receiverServerName()), ProcessTimeoutMs);
        ChildProcess second(KESTRELVIEW_PATH, {typed, QStringLiteral("second.trace")});
        QVERIFY(second.endsWell());
        QCOMPARE(first.state(), QProcess::Running);

        // Ended as a session ends it, the first start writes its recent list,
        // which names a file only once it has been opened.
        ::kill(pid_t(first.processId()), SIGTERM);
        QVERIFY(first.endsWell());
        QSettings store = TestSupport::settingsStore();
        store.sync();
        QCOMPARE(store.value(QStringLiteral("application/recent_nodes/size")).toInt(), 2);
        QCOMPARE(store.value(QStringLiteral("application/recent_nodes/1/node")).toString(), typed);
    }

    void fileHandedOverDuringAWarningBoxKeepsItsSecondStartWaitingUntilLoaded()
    {
        const QString handed = traceFile("queued.trace", 3);
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
        QCOMPARE(project->node(QStringLiteral("queued.trace"))->origin(), int(FROM_RECEIVER));
        QTRY_COMPARE_WITH_TIMEOUT(viewer->state(), QProcess::NotRunning, ProcessTimeoutMs);
        QVERIFY(viewer->endsWell());
    }

    void handOffReachesTheListeningInstanceOnlyWhenTheArgumentFitsAndAnotherTakesOverWhenItIsKilled()
    {
        // In processes of their own, so that this one may block in the hand-off.
        Holder first;
        QCOMPARE(first.nextLine(), QStringLiteral("listening"));
        Holder second;
        QCOMPARE(second.nextLine(), QStringLiteral("not listening"));
        // Nor does a third one, which when it ends does not take the live instance's socket.
        QVERIFY(!TraceFileReceiver().isListening());
        QVERIFY2(!handOff({}), "a start without arguments does not look for an instance");
        QVERIFY2(!handOff({QByteArray(512, 'a')}), "a first argument of 512 bytes is not cut but kept");
        QVERIFY2(handOff({QByteArray(), "second.trace"}), "an empty first argument is handed over alone");
        QVERIFY2(handOff({QByteArray(511, 'a')}), "a first argument of 511 bytes is handed over whole");
        // Answered in order: a path delivered by a refused hand-off would come first.
        QCOMPARE(first.nextPath(), QString());
        QCOMPARE(first.nextPath(), QString(511, QLatin1Char('a')));

        first.kill(); // SIGKILL: its socket file is left behind
        QVERIFY(first.waitForFinished(ProcessTimeoutMs));
        // The next start finds the second instance, not an empty place to start its own.
        QTRY_VERIFY_WITH_TIMEOUT(handOff({"third.trace"}), ProcessTimeoutMs);
        QCOMPARE(second.nextPath(), QStringLiteral("third.trace"));
    }

    void leftoverFileTakesNoHandOffAndMakesWayForASocketOnlyTheUserReaches()
    {
        const QString name = receiverServerName();
        QVERIFY2(name.startsWith(qEnvironmentVariable("XDG_RUNTIME_DIR") + QLatin1Char('/')),
                 qPrintable(name));
        QFile leftover(name);
        QVERIFY(leftover.open(QIODevice::WriteOnly) && leftover.write("left over") > 0);
        leftover.close();
        QVERIFY(!handOff({"a.trace"}));

        QVERIFY(listen());
        const QFileInfo socketFile(name); // the user's own, closed to group and others
        QVERIFY(socketFile.ownerId() == ::getuid() &&
                !(socketFile.permissions() & QFile::Permissions(0x0077)) &&
                socketFile.permissions().testFlags(QFile::ReadOwner | QFile::WriteOwner));
        m_receiver.reset();
        QVERIFY(!QFileInfo::exists(name));
    }

    void eachWholeMessageIsHandledOnceAndEverythingElseDropped()
    {
        QVERIFY(listen());
        // The second start is killed while a warning box of the load runs its own
        // event loop; that loop may well dispose of the dead connection.
        auto leaving = sendRaw(encodeHandOffMessage("leaving.trace"));
        connect(m_receiver.get(), &TraceFileReceiver::addNodeFromReceiver, this, [&](const QString &path) {
            if (path != QLatin1String("leaving.trace"))
                return;
            leaving.reset();
            // Only a chance for the harm to happen; whether it did is checked below.
            static_cast<void>(QTest::qWaitFor([&] { return allConnectionsGone(); }, 500));
        });
        QTRY_VERIFY(m_received.size() == 1 && allConnectionsGone());

        // One byte short with the client closing, one byte short with it staying, 80 bytes beyond the 520.
        const QByteArray bad = encodeHandOffMessage("bad.trace");
        std::vector<std::unique_ptr<QLocalSocket>> bads;
        for (const QByteArray &bytes : {bad.left(519), bad.left(519), bad + QByteArray(80, 'x')})
            bads.push_back(sendRaw(bytes));
        bads.front()->disconnectFromServer();
        // More than QLocalServer keeps pending by default (30), all connected
        // before the receiver gets to accept any of them.
        QStringList expected{QStringLiteral("leaving.trace")};
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
        // A client still short of a whole message holds nobody up until its deadline.
        QCOMPARE(bads.at(1)->state(), QLocalSocket::ConnectedState);
        // Then the receiver lets go of every connection, the bad ones unanswered.
        QTRY_VERIFY_WITH_TIMEOUT(allConnectionsGone(), 2 * HandOff::ClientTimeoutMs);
        for (const auto &client : bads)
            QVERIFY(client->state() == QLocalSocket::UnconnectedState && client->bytesAvailable() == 0);
        m_received.sort();
        expected.sort();
        QCOMPARE(m_received, expected);
    }
};

QTEST_MAIN(TestHandOff)
#include "tst_handoff.moc"
