#include "platform/interrupt_watch.h"

#include <signal.h>
#include <unistd.h>

#include <thread>

namespace tabrook::platform {
namespace {

sigset_t InterruptSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    return signals;
}

}  // namespace

InterruptWatch::InterruptWatch(std::function<void()> onInterrupt) {
    const sigset_t signals = InterruptSignals();
    ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    // Lives until the program ends; it is the only reader of these signals.
    std::thread([signals, onInterrupt = std::move(onInterrupt)] {
        int received = 0;
        while (::sigwait(&signals, &received) != 0) {
        }
        onInterrupt();
        ::_exit(128 + received);
    }).detach();
}

bool StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

}  // namespace tabrook::platform
