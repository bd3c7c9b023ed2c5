#include "calcserver/office/process_launcher.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <future>
#include <stdexcept>
#include <string_view>

namespace tabrook::calcserver::office {
namespace {

// Only async-signal-safe calls between fork and exec: the parent has other threads.
[[noreturn]] void BecomeChild(char* const* argv, char* const* envp, pid_t parent, int devNull) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) {
        ::_exit(127);  // the forking thread is already gone
    }
    ::dup2(devNull, STDIN_FILENO);
    ::dup2(devNull, STDOUT_FILENO);
    ::dup2(devNull, STDERR_FILENO);
    ::close_range(3, ~0U, 0);
    // The office's pipes are sockets in a shared folder that take their mode from the
    // umask; whoever can connect can drive the office. Everything it makes is private.
    ::umask(077);
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execve(argv[0], argv, envp);
    ::_exit(127);
}

// This process's environment with `overrides` ("NAME=value") in place of the same names.
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& overrides) {
    std::vector<std::string> environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        const std::string_view entry(*variable);
        const std::string_view name = entry.substr(0, entry.find('=') + 1);
        bool replaced = false;
        for (const std::string& override : overrides) {
            replaced = replaced || override.starts_with(name);
        }
        if (!replaced) {
            environment.emplace_back(entry);
        }
    }
    environment.insert(environment.end(), overrides.begin(), overrides.end());
    return environment;
}

std::vector<char*> Pointers(const std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    pointers.reserve(texts.size() + 1);
    for (const std::string& text : texts) {
        pointers.push_back(const_cast<char*>(text.c_str()));
    }
    pointers.push_back(nullptr);
    return pointers;
}

pid_t ForkExec(const std::vector<std::string>& args, const std::vector<std::string>& overrides) {
    // Made before the fork: the child may only make async-signal-safe calls.
    const std::vector<char*> argv = Pointers(args);
    const std::vector<std::string> environment = ChildEnvironment(overrides);
    const std::vector<char*> envp = Pointers(environment);
    const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (devNull < 0) {
        throw std::runtime_error("cannot open /dev/null");
    }
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child == 0) {
        BecomeChild(argv.data(), envp.data(), parent, devNull);
    }
    const int forkErrno = errno;
    ::close(devNull);
    if (child < 0) {
        throw std::runtime_error(std::string("cannot start a process: ") +
                                 std::strerror(forkErrno));
    }
    return child;
}

}  // namespace

ProcessLauncher::ProcessLauncher() : thread_([this] { Loop(); }) {}

ProcessLauncher::~ProcessLauncher() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

pid_t ProcessLauncher::Spawn(const std::vector<std::string>& argv,
                             const std::vector<std::string>& environment) {
    if (argv.empty()) {
        throw std::runtime_error("nothing to start");
    }
    auto job = std::make_shared<std::packaged_task<pid_t()>>(
        [&argv, &environment] { return ForkExec(argv, environment); });
    std::future<pid_t> result = job->get_future();
    {
        std::lock_guard lock(mutex_);
        jobs_.emplace_back([job] { (*job)(); });
    }
    wake_.notify_one();
    return result.get();
}

void ProcessLauncher::Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (jobs_.empty()) {
            return;
        }
        std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        job();
        lock.lock();
    }
}

}  // namespace tabrook::calcserver::office
