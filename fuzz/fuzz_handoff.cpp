// Sends each input, as a second start would, over a local socket to a real
// hand-off receiver, and opens what it hands on the way the main window does
// (a load with origin FROM_RECEIVER). The receiver's working directory
// holds a valid trace and the kinds of files that must be refused, so that
// short relative paths meet them.

#include "app/handoff.h"
#include "app/tracefilereceiver.h"
#include "fuzzsupport.h"
#include "trace/node.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>

#include <cstddef>
#include <cstdint>
#include <optional>

#include <sys/stat.h>

namespace {

TraceFileReceiver *receiver = nullptr;
QStringList delivered;

// Longer than this, a connection that neither ends nor hands a path over
// would hold up the next second start: a finding. Milliseconds.
constexpr int HoldLimitMs = 5000;

void writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    FUZZ_REQUIRE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_REQUIRE(file.write(contents) == contents.size());
}

void prepareWorkingDirectory()
{
    const QString dir = FuzzSupport::sandboxPath() + QStringLiteral("/handoff");
    QDir().mkpath(dir);
    writeFile(dir + QStringLiteral("/a.trace"),
              "<node id=\"1\" name=\"a\"><tasks><task id=\"1\" name=\"Worker\"/></tasks>"
              "<trace lowCounterHz=\"0\" highCounterHz=\"1000000\">"
              "<event type=\"0\" lowCounter=\"0\" highCounter=\"10\" param1=\"0\" param2=\"257\"/>"
              "<event type=\"1\" lowCounter=\"0\" highCounter=\"20\" param1=\"0\" param2=\"257\"/>"
              "</trace></node>\n");
    writeFile(dir + QStringLiteral("/b.trace"), "<node id=\"2\"><task id=\"1\"/></node>\n");
    writeFile(dir + QStringLiteral("/empty.trace"), QByteArray());
    QDir().mkpath(dir + QStringLiteral("/dir.trace"));
    ::mkfifo(QFile::encodeName(dir + QStringLiteral("/fifo.trace")).constData(), 0600);
    QFile::link(QStringLiteral("/dev/zero"), dir + QStringLiteral("/zero.trace"));
    FUZZ_REQUIRE(QDir::setCurrent(dir));
}

// Runs the event loop until the receiver has let go of the connection and the
// client has seen it closed.
void settle(QLocalSocket &client)
{
    QElapsedTimer timer;
    timer.start();
    bool accepted = false;
    for (;;) {
        QCoreApplication::processEvents();
        accepted = accepted || !receiver->findChildren<QLocalSocket *>().isEmpty();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (accepted && receiver->findChildren<QLocalSocket *>().isEmpty() &&
            client.state() == QLocalSocket::UnconnectedState) {
            return;
        }
        FUZZ_REQUIRE(timer.elapsed() < HoldLimitMs);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::start();
    static int argc = 1;
    static char name[] = "fuzz_handoff";
    static char *argv[] = {name, nullptr};
    new QApplication(argc, argv);
    prepareWorkingDirectory();
    receiver = new TraceFileReceiver(nullptr);
    FUZZ_REQUIRE(receiver->isListening());
    QObject::connect(receiver, &TraceFileReceiver::addNodeFromReceiver, [](const QString &path) {
        delivered.append(path);
        const int messagesBefore = FuzzSupport::messageCount();
        const bool opened = FuzzSupport::load(path, FROM_RECEIVER) != nullptr;
        FUZZ_REQUIRE(FuzzSupport::messageCount() - messagesBefore == (opened ? 0 : 1));
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    delivered.clear();

    QLocalSocket client;
    client.connectToServer(receiverServerName());
    FUZZ_REQUIRE(client.waitForConnected(HandOff::ConnectTimeoutMs));
    if (!bytes.isEmpty()) {
        client.write(bytes);
        FUZZ_REQUIRE(client.waitForBytesWritten(HandOff::ConnectTimeoutMs));
    }
    // Less than a message: the client gives up, else the receiver would wait
    // for the rest until its deadline.
    if (bytes.size() < HandOff::MessageSize)
        client.disconnectFromServer();
    settle(client);

    // Exactly one message's worth is taken, and then only as the decoder reads it.
    const std::optional<QByteArray> path =
        bytes.size() == HandOff::MessageSize ? decodeHandOffMessage(bytes) : std::nullopt;
    const QStringList expected = path ? QStringList{QString::fromLocal8Bit(*path)} : QStringList{};
    FUZZ_REQUIRE(delivered == expected);
    if (path)
        FUZZ_REQUIRE(decodeHandOffMessage(encodeHandOffMessage(*path)) == path);

    FuzzSupport::closeEverything();
    return 0;
}
