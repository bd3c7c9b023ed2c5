#include <windows.h>

#include <cstdlib>
#include <functional>
#include <mutex>
#include <utility>

#include "platform/interrupt_watch.h"

namespace tabrook::platform {
namespace {

// The console calls a bare function, so the one watch's action has to be found from it.
// Set once, before the handler is installed, and never changed.
std::function<void()>& InterruptAction() {
    static std::function<void()> action;
    return action;
}

// The exit statuses a shell gives the same interrupts on Linux: 128 plus SIGINT for Ctrl+C
// and Ctrl+Break, plus SIGHUP for a closed console, a logoff or a shutdown.
constexpr int kExitInterrupted = 128 + 2;
constexpr int kExitHungUp = 128 + 1;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    // The first event runs the action; a second one (Ctrl+C pressed again) waits for it.
    static std::once_flag once;
    std::call_once(once, [] { InterruptAction()(); });
    const bool interrupted = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
    // As _exit on Linux: no destructors or DLL detaching while workers are mid-call.
    ::TerminateProcess(::GetCurrentProcess(), interrupted ? kExitInterrupted : kExitHungUp);
    return TRUE;
}

}  // namespace

InterruptWatch::InterruptWatch(std::function<void()> onInterrupt) {
    InterruptAction() = std::move(onInterrupt);
    // The console runs the handler on a thread of its own, as the POSIX watch does.
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool StandardErrorIsTerminal() {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

}  // namespace tabrook::platform
