#include "cli/InterruptWatch.h"

#include <array>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The write end is used by the handler, the read end by the notifier: a handler may only write().
std::array<int, 2> sockets{-1, -1};
struct sigaction previousInt {};
struct sigaction previousTerm {};

void onSignal(int number) {
    const char byte = char(number);
    [[maybe_unused]] const ssize_t written = ::write(sockets[0], &byte, 1);
}

} // namespace

InterruptWatch::InterruptWatch(QObject *parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, sockets.data()) != 0)
        return;
    notifier = std::make_unique<QSocketNotifier>(sockets[1], QSocketNotifier::Read);
    connect(notifier.get(), &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        if (::read(sockets[1], &byte, 1) == 1)
            emit interrupted(int(byte));
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
}

InterruptWatch::~InterruptWatch() {
    if (!notifier)
        return;
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
    notifier.reset();
    ::close(sockets[0]);
    ::close(sockets[1]);
    sockets = {-1, -1};
}
