#include "app/handoff.h"
#include "app/tracefilereceiver.h"

#include "testsupport.h"
#include "tracefixture.h"

#include <QDir>
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

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Generous: the child processes are debug builds on a shared machine.
constexpr int ProcessTimeoutMs = 30000;

// A child process that is killed when the test leaves its scope, passed or failed.
class ChildProcess : public QProcess
{
public:
    ~ChildProcess() override
    {
        if (state() != QProcess::NotRunning) {
            kill();
            waitForFinished();
        }
    }
};

void startChild(ChildProcess &child, const QString &program, const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), qEnvironmentVariable("XDG_RUNTIME_DIR"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(program, arguments);
}

void startViewer(ChildProcess &viewer, const QStringList &arguments)
{
    startChild(viewer, QStringLiteral(KESTRELVIEW_PATH), arguments);
}

// The next line the receiver holder printed; empty when it printed nothing more.
QByteArray nextHolderLine(ChildProcess &holder)
{
    while (!holder.canReadLine()) {
        if (!holder.waitForReadyRead(ProcessTimeoutMs))
            return {};
    }
    return holder.readLine().trimmed();
}

// Starts a receiver in a process of its own; true once it listens.
bool startHolder(ChildProcess &holder)
{
    startChild(holder, QStringLiteral(RECEIVERHOLDER_PATH), {});
    return holder.waitForStarted() && nextHolderLine(holder) == "listening";
}

QString nextHolderPath(ChildProcess &holder)
{
    return QString::fromUtf8(QByteArray::fromHex(nextHolderLine(holder)));
}

// handOffToRunningInstance as the program entry calls it, with a program name
// in front of `arguments`.
bool handOff(const QByteArrayList &arguments)
{
    std::vector<QByteArray> storage{QByteArray("kestrelview")};
    storage.insert(storage.end(), arguments.cbegin(), arguments.cend());
    std::vector<char *> argv;
    for (QByteArray &argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    return handOffToRunningInstance(int(storage.size()), argv.data());
}

// A message with the given header fields, for the cases encodeHandOffMessage never builds.
QByteArray rawMessage(quint32 tag, quint32 size, const QByteArray &pathField)
{
    QByteArray message(HandOff::HeaderSize, '\0');
    qToLittleEndian<quint32>(tag, message.data());
    qToLittleEndian<quint32>(size, message.data() + 4);
    return message + pathField;
}

QByteArray paddedField(const QByteArray &path)
{
    return path + QByteArray(int(HandOff::PathFieldSize) - path.size(), '\0');
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

QStringList receivedPaths(const QSignalSpy &spy)
{
    QStringList paths;
    for (const QList<QVariant> &arguments : spy)
        paths << arguments.at(0).toString();
    return paths;
}

enum class Leftover { None, ClosedSocket, KilledInstance, PlainFile };

// Leaves at `path` what an instance that ended without cleaning up leaves
// behind: a socket file nobody listens on any more.
bool leaveClosedSocket(const QString &path)
{
    const QByteArray encoded = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(encoded.size()) >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, encoded.constData(), size_t(encoded.size()) + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    const bool listened = ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) == 0 &&
                          ::listen(fd, 1) == 0;
    ::close(fd);
    return listened;
}

bool leaveBehind(Leftover leftover)
{
    const QString name = receiverServerName();
    switch (leftover) {
    case Leftover::None:
        return !QFileInfo::exists(name);
    case Leftover::ClosedSocket:
        return leaveClosedSocket(name) && QFileInfo::exists(name);
    case Leftover::KilledInstance: {
        ChildProcess holder;
        if (!startHolder(holder))
            return false;
        holder.kill(); // SIGKILL: nothing gets a chance to remove the socket file
        return holder.waitForFinished() && QFileInfo::exists(name);
    }
    case Leftover::PlainFile: {
        QFile file(name);
        return file.open(QIODevice::WriteOnly) && file.write("left over") > 0;
    }
    }
    return false;
}

} // namespace

Q_DECLARE_METATYPE(Leftover)
Q_DECLARE_METATYPE(std::optional<QByteArray>)

class TestHandOff : public QObject
{
    Q_OBJECT

private slots:

    void cleanup()
    {
        // A failed test must not leave a socket file that changes the next one.
        QLocalServer::removeServer(receiverServerName());
    }

    void messageIsTagThenSizeThenNulPaddedPath()
    {
        const QByteArray message = encodeHandOffMessage("traces/a.trace");
        QCOMPARE(message.size(), 520);
        QCOMPARE(message.left(8), QByteArray("\x01\x00\x00\x00\x00\x02\x00\x00", 8));
        QCOMPARE(message.mid(8, 14), QByteArray("traces/a.trace"));
        QCOMPARE(message.mid(22), QByteArray(498, '\0'));
    }

    void argumentsRoundTripOnlyWithRoomForTheNul_data()
    {
        QTest::addColumn<QByteArray>("argument");
        QTest::addColumn<bool>("fits");
        QTest::newRow("an empty argument round-trips") << QByteArray() << true;
        QTest::newRow("a relative path round-trips unchanged")
            << QByteArray("../traces/./node 1.trace") << true;
        QTest::newRow("a path in UTF-8 with non-ASCII letters round-trips")
            << QStringLiteral("/home/jürgen/Messläufe/€.trace").toUtf8() << true;
        QTest::newRow("an argument of 511 bytes, the longest that fits, round-trips")
            << QByteArray(511, 'a') << true;
        QTest::newRow("an argument of exactly 512 bytes is refused") << QByteArray(512, 'a') << false;
        QTest::newRow("an argument of 600 bytes is refused") << QByteArray(600, 'a') << false;
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
        QCOMPARE(message.size(), HandOff::MessageSize);
        QCOMPARE(decodeHandOffMessage(message), std::optional<QByteArray>(argument));
    }

    void decodeTakesAnyTagAndRefusesMalformedMessages_data()
    {
        const QByteArray good = encodeHandOffMessage("a.trace");
        const std::optional<QByteArray> refused;
        const std::optional<QByteArray> path("a.trace");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<std::optional<QByteArray>>("decoded");
        QTest::newRow("tag 0 is taken as a path") << rawMessage(0, 512, paddedField("a.trace")) << path;
        QTest::newRow("the largest tag is taken as a path")
            << rawMessage(0xffffffffu, 512, paddedField("a.trace")) << path;
        QTest::newRow("bytes after the first NUL are ignored")
            << rawMessage(1, 512, paddedField(QByteArray("a.trace\0junk", 12))) << path;
        QTest::newRow("a NUL in the last byte ends a 511-byte path")
            << rawMessage(1, 512, paddedField(QByteArray(511, 'b'))) << std::optional(QByteArray(511, 'b'));
        QTest::newRow("an empty message is refused") << QByteArray() << refused;
        QTest::newRow("a message of the header alone is refused") << good.left(8) << refused;
        QTest::newRow("a message one byte short is refused") << good.left(519) << refused;
        QTest::newRow("a message one byte too long is refused") << good + '\0' << refused;
        QTest::newRow("a size field of 511 is refused")
            << rawMessage(1, 511, paddedField("a.trace")) << refused;
        QTest::newRow("a size field in big-endian order is refused")
            << rawMessage(1, qToBigEndian<quint32>(512), paddedField("a.trace")) << refused;
        QTest::newRow("a path field without any NUL is refused")
            << rawMessage(1, 512, QByteArray(512, 'a')) << refused;
    }

    void decodeTakesAnyTagAndRefusesMalformedMessages()
    {
        QFETCH(QByteArray, message);
        QFETCH(std::optional<QByteArray>, decoded);
        QCOMPARE(decodeHandOffMessage(message), decoded);
    }

    void secondStartHandsItsFirstArgumentOverAsTyped_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("path");
        QTest::newRow("a relative path arrives relative, as typed")
            << QStringList{QStringLiteral("traces/node 1.trace")} << QStringLiteral("traces/node 1.trace");
        QTest::newRow("dot segments are not resolved by the second start")
            << QStringList{QStringLiteral("./a/../b.trace")} << QStringLiteral("./a/../b.trace");
        QTest::newRow("an absolute path arrives unchanged")
            << QStringList{QStringLiteral("/data/runs/node.trace2")}
            << QStringLiteral("/data/runs/node.trace2");
        QTest::newRow("non-ASCII letters survive the 8-bit encoding")
            << QStringList{QStringLiteral("Messläufe/Knoten_€.trace")}
            << QStringLiteral("Messläufe/Knoten_€.trace");
        QTest::newRow("only the first of three arguments arrives")
            << QStringList{QStringLiteral("first.trace"), QStringLiteral("second.trace"),
                           QStringLiteral("third.trace")}
            << QStringLiteral("first.trace");
    }

    void secondStartHandsItsFirstArgumentOverAsTyped()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, path);

        TraceFileReceiver receiver;
        QVERIFY(receiver.isListening());
        QSignalSpy received(&receiver, &TraceFileReceiver::addNodeFromReceiver);

        ChildProcess viewer;
        startViewer(viewer, arguments);
        QVERIFY(viewer.waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(received.count(), 1, ProcessTimeoutMs);
        QCOMPARE(received.at(0).at(0).toString(), path);

        // The event loop must keep running: the second start waits for the acknowledgement.
        QTRY_COMPARE_WITH_TIMEOUT(viewer.state(), QProcess::NotRunning, ProcessTimeoutMs);
        QCOMPARE(viewer.exitStatus(), QProcess::NormalExit);
        QCOMPARE(viewer.exitCode(), 0);
        QCOMPARE(received.count(), 1);
    }

    void secondStartWaitsUntilTheSlotHasReturned()
    {
        TraceFileReceiver receiver;
        QVERIFY(receiver.isListening());
        ChildProcess viewer;

        // Stands in for a load that shows a warning box: a nested event loop that
        // would let an early acknowledgement reach the second start and end it.
        bool slotRan = false;
        bool viewerEndedDuringSlot = false;
        connect(&receiver, &TraceFileReceiver::addNodeFromReceiver, this, [&] {
            slotRan = true;
            QEventLoop loop;
            connect(&viewer, &QProcess::finished, &loop, &QEventLoop::quit);
            QTimer::singleShot(500, &loop, &QEventLoop::quit);
            loop.exec();
            viewerEndedDuringSlot = viewer.state() == QProcess::NotRunning;
        });

        startViewer(viewer, {QStringLiteral("slow.trace")});
        QVERIFY(viewer.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(slotRan, ProcessTimeoutMs);
        QVERIFY(!viewerEndedDuringSlot);
        QTRY_COMPARE_WITH_TIMEOUT(viewer.state(), QProcess::NotRunning, ProcessTimeoutMs);
        QCOMPARE(viewer.exitStatus(), QProcess::NormalExit);
        QCOMPARE(viewer.exitCode(), 0);
    }

    void secondStartOfTheProgramHandsItsFileToTheFirstWhichOpensIt()
    {
        const QString path = TestSupport::writeTempFile(
            QStringLiteral("endtoend"), QStringLiteral("handed.trace"),
            TraceFixture::traceFile(7, "<tasks><task id=\"1\" name=\"Only\"/></tasks>\n",
                                    TraceFixture::eventXml(0, 0, 0, 7 << 8 | 1)));
        QSettings(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview")).clear();

        ChildProcess first;
        startViewer(first, {});
        QVERIFY(first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(receiverServerName()), ProcessTimeoutMs);

        ChildProcess second;
        startViewer(second, {path});
        QVERIFY(second.waitForStarted());
        QVERIFY(second.waitForFinished(ProcessTimeoutMs));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);

        // Ended as a session ends it, the first start writes its recent list,
        // which names a file only once it has been opened.
        ::kill(pid_t(first.processId()), SIGTERM);
        QVERIFY(first.waitForFinished(ProcessTimeoutMs));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 0);
        QSettings store(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview"));
        store.sync();
        QCOMPARE(store.value(QStringLiteral("application/recent_nodes/size")).toInt(), 1);
        QCOMPARE(store.value(QStringLiteral("application/recent_nodes/1/node")).toString(), path);
    }

    void concurrentSecondStartsAreEachHandedOver()
    {
        TraceFileReceiver receiver;
        QVERIFY(receiver.isListening());
        QSignalSpy received(&receiver, &TraceFileReceiver::addNodeFromReceiver);

        QStringList expected;
        std::vector<std::unique_ptr<ChildProcess>> viewers;
        for (int i = 0; i < 4; ++i) {
            expected << QStringLiteral("concurrent-%1.trace").arg(i);
            viewers.push_back(std::make_unique<ChildProcess>());
            startViewer(*viewers.back(), {expected.back()});
        }
        for (const auto &viewer : viewers) {
            QTRY_COMPARE_WITH_TIMEOUT(viewer->state(), QProcess::NotRunning, ProcessTimeoutMs);
            QCOMPARE(viewer->exitCode(), 0);
        }
        QStringList paths = receivedPaths(received);
        paths.sort();
        QCOMPARE(paths, expected);
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
        QTest::newRow("a first argument of 600 bytes is not cut but kept")
            << QByteArrayList{QByteArray(600, 'a')} << false;
        QTest::newRow("an empty first argument is handed over as it is")
            << QByteArrayList{QByteArray()} << true;
    }

    void handOffReachesARunningInstanceOnlyWhenTheArgumentFits()
    {
        QFETCH(QByteArrayList, arguments);
        QFETCH(bool, handedOver);

        // In a process of its own, so that this one may block in the hand-off.
        ChildProcess holder;
        QVERIFY(startHolder(holder));

        QCOMPARE(handOff(arguments), handedOver);
        // Hand-offs are answered in order, so whatever the first call delivered
        // comes before this marker.
        QVERIFY(handOff({"marker.trace"}));
        if (handedOver)
            QCOMPARE(nextHolderPath(holder), QString::fromLocal8Bit(arguments.first()));
        QCOMPARE(nextHolderPath(holder), QStringLiteral("marker.trace"));
    }

    void whatAnEndedInstanceLeftBehindTakesNoHandOffAndIsReplaced_data()
    {
        QTest::addColumn<Leftover>("leftover");
        QTest::newRow("nothing at the socket's name") << Leftover::None;
        QTest::newRow("a socket file whose owner closed it") << Leftover::ClosedSocket;
        QTest::newRow("the socket file of an instance killed with SIGKILL") << Leftover::KilledInstance;
        QTest::newRow("a plain file at the socket's name") << Leftover::PlainFile;
    }

    void whatAnEndedInstanceLeftBehindTakesNoHandOffAndIsReplaced()
    {
        QFETCH(Leftover, leftover);
        QVERIFY(leaveBehind(leftover));
        QVERIFY(!handOff({"a.trace"}));

        TraceFileReceiver receiver;
        QVERIFY(receiver.isListening());
        QSignalSpy received(&receiver, &TraceFileReceiver::addNodeFromReceiver);
        const auto client = sendRaw(encodeHandOffMessage("after.trace"));
        QVERIFY(client);
        QTRY_COMPARE(received.count(), 1);
        QCOMPARE(received.at(0).at(0).toString(), QStringLiteral("after.trace"));
    }

    void receiverLeavesALiveInstanceItsSocket()
    {
        ChildProcess holder;
        QVERIFY(startHolder(holder));

        {
            TraceFileReceiver receiver;
            QVERIFY(!receiver.isListening());
        }
        // Neither the look at the running instance nor the second receiver's end
        // took the socket from it.
        QVERIFY(handOff({"kept.trace"}));
        QCOMPARE(nextHolderPath(holder), QStringLiteral("kept.trace"));
    }

    void socketFileIsPrivateToTheUserAndGoesWithTheReceiver()
    {
        const QString name = receiverServerName();
        QVERIFY2(name.startsWith(qEnvironmentVariable("XDG_RUNTIME_DIR") + QLatin1Char('/')),
                 qPrintable(name));
        {
            TraceFileReceiver receiver;
            QVERIFY(receiver.isListening());
            const QFileInfo socketFile(name);
            QVERIFY(socketFile.exists());
            QCOMPARE(socketFile.ownerId(), ::getuid());
            const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                              QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
            QCOMPARE(socketFile.permissions() & others, QFile::Permissions());
            QVERIFY(socketFile.permissions().testFlags(QFile::ReadOwner | QFile::WriteOwner));
        }
        QVERIFY(!QFileInfo::exists(name));
    }

    void malformedMessagesAreDroppedAndGoodOnesStillArrive_data()
    {
        const QByteArray good = encodeHandOffMessage("bad.trace");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("clientCloses");
        QTest::newRow("a client that sends nothing and closes") << QByteArray() << true;
        QTest::newRow("a message cut short by the client closing") << good.left(300) << true;
        QTest::newRow("a message one byte short whose client then closes") << good.left(519) << true;
        QTest::newRow("a message with bytes beyond its 520") << good + QByteArray(80, 'x') << false;
        QTest::newRow("a message one byte too long") << good + 'x' << false;
        QTest::newRow("a size field other than 512") << rawMessage(1, 511, paddedField("bad.trace")) << false;
        QTest::newRow("a huge size field") << rawMessage(1, 0xffffffffu, paddedField("bad.trace")) << false;
        QTest::newRow("a path field without a NUL") << rawMessage(1, 512, QByteArray(512, 'b')) << false;
    }

    void malformedMessagesAreDroppedAndGoodOnesStillArrive()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, clientCloses);

        TraceFileReceiver receiver;
        QVERIFY(receiver.isListening());
        QSignalSpy received(&receiver, &TraceFileReceiver::addNodeFromReceiver);

        const auto bad = sendRaw(bytes);
        QVERIFY(bad);
        if (clientCloses)
            bad->disconnectFromServer();
        const auto good = sendRaw(encodeHandOffMessage("good.trace"));
        QVERIFY(good);

        QTRY_VERIFY(good->bytesAvailable() > 0);
        QCOMPARE(good->read(1), QByteArray(1, HandOff::Acknowledgement));
        // The receiver has let go of every connection, the bad one included.
        QTRY_VERIFY(receiver.findChildren<QLocalSocket *>().isEmpty());
        QCOMPARE(bad->state(), QLocalSocket::UnconnectedState);
        QCOMPARE(bad->bytesAvailable(), 0);
        QCOMPARE(receivedPaths(received), QStringList{QStringLiteral("good.trace")});
    }

    void slowClientIsDroppedWithoutHoldingOthersUp()
    {
        TraceFileReceiver receiver;
        QVERIFY(receiver.isListening());
        QSignalSpy received(&receiver, &TraceFileReceiver::addNodeFromReceiver);

        const QByteArray slowMessage = encodeHandOffMessage("slow.trace");
        const auto slow = sendRaw(slowMessage.left(100));
        QVERIFY(slow);
        const auto quick = sendRaw(encodeHandOffMessage("quick.trace"));
        QVERIFY(quick);

        QTRY_COMPARE(received.count(), 1);
        QCOMPARE(received.at(0).at(0).toString(), QStringLiteral("quick.trace"));
        QCOMPARE(slow->state(), QLocalSocket::ConnectedState);

        QTRY_COMPARE_WITH_TIMEOUT(slow->state(), QLocalSocket::UnconnectedState,
                                  4 * HandOff::ClientTimeoutMs);
        // What comes after the deadline finds nobody listening on that connection.
        slow->write(slowMessage.mid(100));
        QCOMPARE(slow->bytesAvailable(), 0);
        QTRY_VERIFY(receiver.findChildren<QLocalSocket *>().isEmpty());
        QCOMPARE(received.count(), 1);
    }

    void clientThatGoesAwayDuringTheLoadDoesNoHarm()
    {
        TraceFileReceiver receiver;
        QVERIFY(receiver.isListening());
        QSignalSpy received(&receiver, &TraceFileReceiver::addNodeFromReceiver);

        auto leaving = sendRaw(encodeHandOffMessage("leaving.trace"));
        QVERIFY(leaving);
        // The second start is killed while a warning box of the load runs its own
        // event loop; that loop may well dispose of the dead connection.
        connect(&receiver, &TraceFileReceiver::addNodeFromReceiver, this, [&](const QString &path) {
            if (path != QLatin1String("leaving.trace"))
                return;
            leaving.reset();
            // Only a chance for the harm to happen; whether it did is checked below.
            static_cast<void>(
                QTest::qWaitFor([&] { return receiver.findChildren<QLocalSocket *>().isEmpty(); }, 500));
        });
        QTRY_COMPARE(received.count(), 1);
        QTRY_VERIFY(receiver.findChildren<QLocalSocket *>().isEmpty());

        const auto next = sendRaw(encodeHandOffMessage("next.trace"));
        QVERIFY(next);
        QTRY_VERIFY(next->bytesAvailable() > 0);
        QCOMPARE(receivedPaths(received),
                 (QStringList{QStringLiteral("leaving.trace"), QStringLiteral("next.trace")}));
    }

    void manyClientsInQuickSuccessionAreEachHandledOnce()
    {
        TraceFileReceiver receiver;
        QVERIFY(receiver.isListening());
        QSignalSpy received(&receiver, &TraceFileReceiver::addNodeFromReceiver);

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
        QTRY_VERIFY(receiver.findChildren<QLocalSocket *>().isEmpty());
        QStringList paths = receivedPaths(received);
        paths.sort();
        QCOMPARE(paths, expected);
    }
};

QTEST_MAIN(TestHandOff)
#include "tst_handoff.moc"
