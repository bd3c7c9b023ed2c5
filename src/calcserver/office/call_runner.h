#pragma once
// Runs blocking calls on a worker thread and waits for each with a deadline, because calls
// into the office have no time-outs of their own.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace tabrook::calcserver::office {

class CallRunner {
  public:
    // After a cancel the task should end at once; if it has not within `cancelGrace`, the
    // worker is abandoned rather than letting the caller hang.
    static constexpr std::chrono::milliseconds kCancelGrace = std::chrono::seconds(20);

    explicit CallRunner(std::chrono::milliseconds cancelGrace = kCancelGrace);
    ~CallRunner();
    CallRunner(const CallRunner&) = delete;
    CallRunner& operator=(const CallRunner&) = delete;

    // Runs `task` on the worker and rethrows what it throws. When it has not finished within
    // `limit`, calls `cancel` (which must make the task return, e.g. by killing the process
    // it waits on), waits for it briefly and returns false. True when the task finished.
    // An abandoned task may run on after the caller has returned, so it must own (capture
    // by value) everything it touches.
    bool Run(std::function<void()> task, std::chrono::milliseconds limit,
             const std::function<void()>& cancel);

  private:
    struct Shared;
    std::chrono::milliseconds cancelGrace_;
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace tabrook::calcserver::office
