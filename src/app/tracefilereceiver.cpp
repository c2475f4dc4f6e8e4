#include "app/tracefilereceiver.h"

#include "app/handoff.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

namespace {

// A socket file whose owner crashed refuses connections; a live instance accepts
// at once (the kernel queues the connection even while its event loop is busy).
bool instanceAnswersAt(const QString &serverName)
{
    QLocalSocket probe;
    probe.connectToServer(serverName);
    const bool answered = probe.waitForConnected(HandOff::ConnectTimeoutMs);
    probe.abort();
    return answered;
}

void drop(QLocalSocket *client)
{
    client->abort();
    client->deleteLater();
}

} // namespace

TraceFileReceiver::TraceFileReceiver(QWidget *parent)
    : QWidget(parent)
    , m_server(new QLocalServer(this))
{
    setWindowTitle(QLatin1String(HandOff::ReceiverWindowTitle));

    const QString serverName = receiverServerName();
    if (instanceAnswersAt(serverName))
        return;
    QLocalServer::removeServer(serverName);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &TraceFileReceiver::acceptConnections);
    m_server->listen(serverName);
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
        [this, alive = QPointer<QLocalSocket>(client), bytes = *path] {
            emit addNodeFromReceiver(QString::fromLocal8Bit(bytes));
            // The second start waits for this byte: only now has the file been loaded.
            if (!alive || alive->state() != QLocalSocket::ConnectedState)
                return;
            alive->write(&HandOff::Acknowledgement, 1);
            alive->disconnectFromServer();
        },
        Qt::QueuedConnection);
}
