#include "calcserver/finish/isolated_step.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

extern char** environ;

namespace tabrook::calcserver::finish {

namespace {

constexpr std::size_t kMaxOutput = 64 * 1024;

class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { Close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }
    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

  private:
    int fd_;
};

pid_t Spawn(const std::vector<std::string>& argv, int outputFd) {
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
    // A caller may block signals to wait for them on a thread of its own; the step must
    // still end on them.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    pid_t child = -1;
    const int error = ::posix_spawn(&child, args[0], &actions, &attributes, args.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? child : -1;
}

// Reads the child's output until it closes it or the deadline passes.
void ReadUntilClosed(int fd, std::chrono::steady_clock::time_point deadline, std::string& output) {
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return;
        }
        pollfd waiting{fd, POLLIN, 0};
        const int ready =
            ::poll(&waiting, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
        if (ready < 0 && errno != EINTR) {
            return;  // nothing more can be read; the exit status tells the rest
        }
        if (ready <= 0) {
            continue;
        }
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return;
        }
        if (output.size() < kMaxOutput) {
            output.append(buffer,
                          std::min(static_cast<std::size_t>(got), kMaxOutput - output.size()));
        }
    }
}

}  // namespace

StepOutcome RunIsolatedStep(const std::vector<std::string>& argv,
                            std::chrono::milliseconds timeLimit) {
    StepOutcome outcome;
    int ends[2];
    if (argv.empty() || ::pipe2(ends, O_CLOEXEC) != 0) {
        return outcome;
    }
    Descriptor reading(ends[0]);
    Descriptor writing(ends[1]);
    const pid_t child = Spawn(argv, writing.Get());
    writing.Close();  // the child holds the only writing end now
    if (child < 0) {
        return outcome;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeLimit;
    ReadUntilClosed(reading.Get(), deadline, outcome.output);
    int status = 0;
    // The output closes when the step ends (or hands it on); the deadline still holds.
    for (;;) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) {
            break;
        }
        if (done < 0 && errno != EINTR) {
            return outcome;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            outcome.ending = StepOutcome::Ending::kTimedOut;
            return outcome;
        }
        ::usleep(10'000);
    }
    if (WIFEXITED(status)) {
        outcome.ending = StepOutcome::Ending::kExited;
        outcome.exitCode = WEXITSTATUS(status);
    } else {
        outcome.ending = StepOutcome::Ending::kKilledBySignal;
        outcome.signal = WTERMSIG(status);
    }
    return outcome;
}

}  // namespace tabrook::calcserver::finish
