#pragma once
// A command-line program's way to stop at once on an interrupt (Ctrl+C, kill, a closed
// terminal) and still clean up after itself.

#include <functional>

namespace tabrook::platform {

// Blocks the interrupt signals (SIGINT, SIGTERM, SIGHUP) in the calling thread, and so in
// every thread started after it, and waits for them on a thread of its own. On the first
// it runs `onInterrupt` and ends the program with 128 plus the signal's number. On Windows
// the console's Ctrl+C and Ctrl+Break count as SIGINT (130), a closed console, a logoff or
// a shutdown as SIGHUP (129). Make it before any other thread; only one may exist.
class InterruptWatch {
  public:
    explicit InterruptWatch(std::function<void()> onInterrupt);
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;
};

// Whether standard error is a terminal (a progress bar) rather than a file or a pipe.
bool StandardErrorIsTerminal();

}  // namespace tabrook::platform
