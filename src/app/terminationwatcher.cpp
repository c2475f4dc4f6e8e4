#include "app/terminationwatcher.h"

#include <QSocketNotifier>

#include <array>

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A signal handler may do almost nothing: it writes the signal's number into
// a socket pair whose other end the event loop watches.
int signalSockets[2] = {-1, -1};

constexpr std::array<int, 3> watchedSignals{SIGTERM, SIGINT, SIGHUP};
struct sigaction formerActions[watchedSignals.size()];

void onSignal(int signalNumber)
{
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(signalSockets[0], &byte, 1);
}

} // namespace

TerminationWatcher::TerminationWatcher(QObject *parent)
    : QObject(parent)
{
    if (signalSockets[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSockets) != 0)
        return;
    // A full socket must never block the handler.
    ::fcntl(signalSockets[0], F_SETFL, ::fcntl(signalSockets[0], F_GETFL) | O_NONBLOCK);

    m_notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationWatcher::readSignal);

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < watchedSignals.size(); ++i)
        ::sigaction(watchedSignals[i], &action, &formerActions[i]);
}

TerminationWatcher::~TerminationWatcher()
{
    if (!m_notifier)
        return;
    for (size_t i = 0; i < watchedSignals.size(); ++i)
        ::sigaction(watchedSignals[i], &formerActions[i], nullptr);
    delete m_notifier;
    ::close(signalSockets[0]);
    ::close(signalSockets[1]);
    signalSockets[0] = signalSockets[1] = -1;
}

void TerminationWatcher::readSignal()
{
    char byte = 0;
    if (::read(signalSockets[1], &byte, 1) == 1)
        emit terminationRequested(int(byte));
}
