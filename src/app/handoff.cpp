#include "app/handoff.h"

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QtEndian>

#include <cstring>
#include <unistd.h>

QString receiverServerName()
{
    const QString socketName =
        QLatin1String(HandOff::ReceiverWindowTitle) + QLatin1Char('-') + QString::number(::getuid());
    // Qt keeps the runtime directory at mode 0700 and owned by the user.
    const QString runtimeDir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    const QString dir = runtimeDir.isEmpty() ? QDir::tempPath() : runtimeDir;
    return dir + QLatin1Char('/') + socketName;
}

QByteArray encodeHandOffMessage(const QByteArray &argument)
{
    if (argument.size() >= qsizetype(HandOff::PathFieldSize))
        return {};
    QByteArray message(HandOff::MessageSize, '\0');
    qToLittleEndian<quint32>(HandOff::Tag, message.data());
    qToLittleEndian<quint32>(HandOff::PathFieldSize, message.data() + 4);
    std::memcpy(message.data() + HandOff::HeaderSize, argument.constData(), size_t(argument.size()));
    return message;
}

std::optional<QByteArray> decodeHandOffMessage(const QByteArray &message)
{
    if (message.size() != HandOff::MessageSize)
        return std::nullopt;
    if (qFromLittleEndian<quint32>(message.constData() + 4) != HandOff::PathFieldSize)
        return std::nullopt;
    const QByteArray field = message.mid(HandOff::HeaderSize);
    const qsizetype end = field.indexOf('\0');
    if (end < 0)
        return std::nullopt;
    return field.left(end);
}

bool handOffToRunningInstance(int argc, char **argv)
{
    if (argc < 2 || argv == nullptr || argv[1] == nullptr)
        return false;
    const QByteArray message = encodeHandOffMessage(QByteArray(argv[1]));
    if (message.isEmpty())
        return false;

    QLocalSocket socket;
    socket.connectToServer(receiverServerName());
    if (!socket.waitForConnected(HandOff::ConnectTimeoutMs))
        return false;
    socket.write(message);
    // No time limit: the running instance answers once it has loaded the file,
    // which includes any warning box the user has to close first. A running
    // instance that goes away ends the wait as well.
    while (socket.bytesAvailable() == 0 && socket.waitForReadyRead(-1)) {
    }
    return true;
}
