#include "app/tracefilereceiver.h"

#include "app/handoff.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>
#include <QTimer>

#include <utility>

namespace {

void drop(QLocalSocket *client)
{
    client->abort();
    client->deleteLater();
}

// The second start waits for this answer: it is sent when the last hold on it
// goes, which is once the handed-over file has been loaded.
class Answer
{
public:
    explicit Answer(QLocalSocket *client)
        : m_client(client)
    {}
    Answer(const Answer &) = delete;
    Answer &operator=(const Answer &) = delete;
    ~Answer()
    {
        // A client that went away meanwhile may have been deleted with its socket.
        if (!m_client || m_client->state() != QLocalSocket::ConnectedState)
            return;
        m_client->write(&HandOff::Acknowledgement, 1);
        m_client->disconnectFromServer();
    }

private:
    QPointer<QLocalSocket> m_client;
};

} // namespace

TraceFileReceiver::TraceFileReceiver(QWidget *parent)
    : QWidget(parent)
    , m_server(new QLocalServer(this))
{
    setWindowTitle(QLatin1String(HandOff::ReceiverWindowTitle));
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &TraceFileReceiver::acceptConnections);
    listenOrWatch();
}

TraceFileReceiver::~TraceFileReceiver()
{
    // Its own end is no sign that the listening instance went away.
    if (m_watch)
        m_watch->disconnect(this);
}

void TraceFileReceiver::listenOrWatch()
{
    const QString serverName = receiverServerName();
    if (watchInstanceAt(serverName))
        return;
    // Instances that find nobody at the same moment take turns and look again,
    // so that none removes the socket another has just begun to listen on.
    // Without the lock (it cannot be made, or its holder hangs) the second
    // look alone decides.
    QLockFile turn(serverName + QStringLiteral(".lock"));
    static_cast<void>(turn.tryLock(HandOff::TurnTimeoutMs));
    if (watchInstanceAt(serverName))
        return;
    QLocalServer::removeServer(serverName);
    m_server->listen(serverName);
}

bool TraceFileReceiver::watchInstanceAt(const QString &serverName)
{
    // A socket file whose owner crashed refuses connections; a live instance
    // accepts at once (the kernel queues the connection even while its event
    // loop is busy).
    auto *watch = new QLocalSocket(this);
    watch->connectToServer(serverName);
    if (!watch->waitForConnected(HandOff::ConnectTimeoutMs)) {
        delete watch;
        return false;
    }
    // The connection ends when that instance does, and, as this one sends no
    // message, when its deadline for one runs out: the next turn tells which.
    connect(watch, &QLocalSocket::disconnected, this, [this, watch] {
        watch->deleteLater();
        listenOrWatch();
    });
    m_watch = watch;
    return true;
}

bool TraceFileReceiver::isListening() const
{
    return m_server->isListening();
}

void TraceFileReceiver::acceptConnections()
{
    while (QLocalSocket *client = m_server->nextPendingConnection()) {
        // The socket would otherwise take in whatever the client sends; one byte
        // past a whole message is enough to tell that it is too long.
        client->setReadBufferSize(HandOff::MessageSize + 1);
        auto *deadline = new QTimer(client);
        deadline->setSingleShot(true);
        connect(deadline, &QTimer::timeout, client, [client] { drop(client); });
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this,
                [this, client, deadline] { readMessage(client, deadline); });
        deadline->start(HandOff::ClientTimeoutMs);
    }
}

void TraceFileReceiver::readMessage(QLocalSocket *client, QTimer *deadline)
{
    const qint64 available = client->bytesAvailable();
    if (available < HandOff::MessageSize)
        return; // the rest may follow; the deadline or the client's close ends the wait

    // Decided: whatever this client sends from here on is not looked at.
    deadline->stop();
    client->disconnect(this);

    const std::optional<QByteArray> path = available == HandOff::MessageSize
                                               ? decodeHandOffMessage(client->read(HandOff::MessageSize))
                                               : std::nullopt;
    if (!path) {
        drop(client);
        return;
    }

    // The load behind the signal may take long and run nested event loops (a
    // warning box), during which this client may go away and its socket be
    // deleted: so it runs from the event loop, not inside the socket's signal.
    QMetaObject::invokeMethod(
        this,
        [this, client = QPointer<QLocalSocket>(client), bytes = *path] {
            // A slot may run a nested event loop that announces another path.
            const std::shared_ptr<void> outer = std::exchange(m_answer, std::make_shared<Answer>(client));
            emit addNodeFromReceiver(QString::fromLocal8Bit(bytes));
            m_answer = outer; // answers now unless a slot holds on to it
        },
        Qt::QueuedConnection);
}
