#include "viewer/app/QuitOnSignal.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The socket pair the handler writes into; [0] is written, [1] read. Process-wide: there is one
// handler per signal.
int signalSockets[2] = { -1, -1 };

void WakeEventLoop(int signal)
{
    const auto byte = static_cast<char>(signal);
    // Nothing can be done about a full pair inside a handler; one byte already waiting suffices.
    [[maybe_unused]] const ssize_t written = ::write(signalSockets[0], &byte, 1);
}

} // namespace

TQuitOnSignal::TQuitOnSignal(QObject* parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalSockets) != 0)
        return;
    notifier_ = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TQuitOnSignal::SignalArrived);
    struct sigaction action { };
    action.sa_handler = WakeEventLoop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

TQuitOnSignal::~TQuitOnSignal()
{
    if (notifier_ == nullptr)
        return;
    // Back to the default first, so that no handler writes into a closed socket.
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    delete notifier_;
    ::close(signalSockets[0]);
    ::close(signalSockets[1]);
    signalSockets[0] = signalSockets[1] = -1;
}

void TQuitOnSignal::SignalArrived()
{
    char bytes[16];
    int signal = 0;
    for (ssize_t got; (got = ::read(signalSockets[1], bytes, sizeof bytes)) > 0;)
        signal = static_cast<unsigned char>(bytes[got - 1]);
    if (signal != 0)
        emit arrived(signal);
}
