#pragma once
// Starts child processes from one thread that lives as long as its owner. The children ask
// the kernel to kill them when that thread ends (PR_SET_PDEATHSIG fires on the forking
// thread's exit, not the process's), so no child outlives the program, even when the
// program itself is killed.

#include <sys/types.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tabrook::calcserver::office {

class ProcessLauncher {
  public:
    ProcessLauncher();
    ~ProcessLauncher();
    ProcessLauncher(const ProcessLauncher&) = delete;
    ProcessLauncher& operator=(const ProcessLauncher&) = delete;

    // Runs argv[0] (a full path) with stdin, stdout and stderr on /dev/null and no other
    // inherited descriptors, in this process's environment with `environment` ("NAME=value")
    // in place of the same names. Returns the process id; throws std::runtime_error.
    pid_t Spawn(const std::vector<std::string>& argv,
                const std::vector<std::string>& environment = {});

  private:
    void Loop();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace tabrook::calcserver::office
