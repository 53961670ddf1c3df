// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/termination.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace Termination {

namespace {
int pipeFds[2] = {-1, -1};
bool quitAskedFlag = false;

void onSignal(int) {
    const char byte = 1;
    // Only async-signal-safe work here; the event loop does the rest.
    [[maybe_unused]] const ssize_t n = ::write(pipeFds[0], &byte, 1);
}
} // namespace

std::function<void()> &lastWords() {
    static std::function<void()> words;
    return words;
}

void setLastWords(std::function<void()> words) {
    // The slot exists before the handler is registered, so it outlives it;
    // the handler runs before the libraries' statics made since go.
    std::function<void()> &slot = lastWords();
    static const bool registered = [] {
        std::atexit([] {
            if (const std::function<void()> last = std::exchange(lastWords(), {}))
                last();
        });
        return true;
    }();
    (void)registered;
    slot = std::move(words);
}

void catchSignals() {
    if (pipeFds[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM, 0, pipeFds) != 0)
        return;
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &action, nullptr);
}

void quitOnSignals() {
    catchSignals();
    static QSocketNotifier *notifier = nullptr;
    if (notifier || pipeFds[1] < 0)
        return;
    // A signal caught before now waits in the socket, and is read at once.
    notifier = new QSocketNotifier(pipeFds[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char byte;
        [[maybe_unused]] const ssize_t n = ::read(pipeFds[1], &byte, 1);
        quitAskedFlag = true;
        QCoreApplication::quit(); // not heard before the event loop runs
    });
}

bool quitAsked() {
    return quitAskedFlag;
}

} // namespace Termination
