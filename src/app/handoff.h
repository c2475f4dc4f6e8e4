#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

// A second start of the program hands its first command-line argument to the
// running instance over a local socket. One message is the old window-message
// record made into bytes: tag, size, then the NUL-padded path field.
namespace HandOff {

// The receiver's window title; the socket's name is derived from it too.
inline constexpr char ReceiverWindowTitle[] = "Kestrel_Tracefile_Receiver_Window";

// Little-endian 32-bit fields at the start of every message.
inline constexpr quint32 Tag = 1;
inline constexpr quint32 PathFieldSize = 512; // bytes, the path and its NUL padding
inline constexpr int HeaderSize = 8;          // bytes: tag, size
inline constexpr int MessageSize = HeaderSize + int(PathFieldSize);

// Written by the receiver once the path has been handled, then it closes.
inline constexpr char Acknowledgement = '\x06';

// How long a client may take to deliver a whole message before it is dropped.
inline constexpr int ClientTimeoutMs = 3000;
// How long a second start waits for a connection to a running instance.
inline constexpr int ConnectTimeoutMs = 1000;
// How long an instance waits for its turn to probe the socket and listen:
// longer than another instance's probe.
inline constexpr int TurnTimeoutMs = 3 * ConnectTimeoutMs;

} // namespace HandOff

// The local socket a running instance listens on: a full path inside the
// user's private runtime directory (or, lacking one, the temp directory with
// the user id in the name), so that only this user's instances meet there.
QString receiverServerName();

// One message for `argument` (the raw bytes of a command-line argument).
// Empty when the argument does not fit the path field with its terminating
// NUL (512 bytes or more): a path is never cut into a different one.
QByteArray encodeHandOffMessage(const QByteArray &argument);

// The path bytes of one whole message (up to the first NUL of the path field),
// or nothing when the message has the wrong length, a size field other than
// 512 or a path field without a NUL. The tag is not examined.
std::optional<QByteArray> decodeHandOffMessage(const QByteArray &message);

// Sends argv[1] exactly as given to a running instance and waits, without a
// time limit, until that instance has handled it. False when there is no
// argument, the argument is too long for one message or no instance answers;
// the caller then starts normally.
bool handOffToRunningInstance(int argc, char **argv);
