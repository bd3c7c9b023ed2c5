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
    CallRunner();
    ~CallRunner();
    CallRunner(const CallRunner&) = delete;
    CallRunner& operator=(const CallRunner&) = delete;

    // Runs `task` on the worker and rethrows what it throws. When it has not finished within
    // `limit`, calls `cancel` (which must make the task return, e.g. by killing the process
    // it waits on), waits for it briefly and returns false. True when the task finished.
    bool Run(const std::function<void()>& task, std::chrono::milliseconds limit,
             const std::function<void()>& cancel);

  private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace tabrook::calcserver::office
