#include "calcserver/finish/finish_process.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "calcserver/finish/finish_protocol.h"
#include "platform/automation.h"

extern char** environ;

namespace tabrook::calcserver::finish {

namespace {

namespace fs = std::filesystem;
using platform::AutomationError;
using Clock = std::chrono::steady_clock;

constexpr const char* kFinishProgram = "tabrook-finish";
// A process that served this many workbooks makes way for a new one, so that whatever a
// long run leaves in its heap stays bounded.
constexpr std::size_t kMaxServed = 100;

fs::path ProgramBesideThisOne() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : self.parent_path() / kFinishProgram;
}

pid_t Spawn(const fs::path& program, int socket) {
    const std::string path = program.string();
    std::string serve = "--serve";
    char* const argv[] = {const_cast<char*>(path.c_str()), serve.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, socket, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, socket, STDOUT_FILENO);
    // A caller may block signals to wait for them on a thread of its own; the process must
    // still end on them.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    pid_t child = -1;
    const int error = ::posix_spawn(&child, path.c_str(), &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? child : -1;
}

enum class Silence { kEnded, kTimedOut, kGarbled };

struct Heard {
    std::optional<std::string> body;
    Silence silence = Silence::kEnded;
};

// Waits for one answer until the process closes the socket or the deadline passes.
Heard Receive(int socket, Clock::time_point deadline) {
    FrameReader reader;
    for (;;) {
        if (std::optional<std::string> body = reader.Next()) {
            return {std::move(body)};
        }
        if (reader.Broken()) {
            return {std::nullopt, Silence::kGarbled};
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return {std::nullopt, Silence::kTimedOut};
        }
        pollfd waiting{socket, POLLIN, 0};
        const int ready =
            ::poll(&waiting, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
        if (ready < 0 && errno != EINTR) {
            return {};
        }
        if (ready <= 0) {
            continue;
        }
        if (!reader.ReadFrom(socket)) {
            return {};
        }
    }
}

// The process closed its end; it is ending. Waits for it, and kills it at the deadline.
std::optional<int> WaitForEnd(pid_t child, Clock::time_point deadline) {
    auto pause = std::chrono::microseconds(200);
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) {
            return status;
        }
        if (done < 0 && errno != EINTR) {
            return std::nullopt;
        }
        if (Clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min<std::chrono::microseconds>(pause * 2, std::chrono::milliseconds(10));
    }
}

report::ConversionReport Placed(const FinishAnswer& answer) {
    // The target is placed; a report that did not arrive whole costs only the report.
    if (auto report = report::ConversionReport::Parse(answer.text)) {
        return *std::move(report);
    }
    report::ConversionReport unreadable;
    unreadable.Add("report", "the finishing step's report could not be read");
    return unreadable;
}

}  // namespace

void RemoveTemporariesOf(const fs::path& target) {
    const std::string prefix = "." + target.filename().string() + ".tabrook-";
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(target.parent_path(), error)) {
        if (entry.path().filename().string().starts_with(prefix)) {
            fs::remove(entry.path(), error);
        }
    }
}

FinishingProcess::FinishingProcess(fs::path program)
    : program_(program.empty() ? ProgramBesideThisOne() : std::move(program)) {}

FinishingProcess::~FinishingProcess() {
    Stop();
}

bool FinishingProcess::Running() {
    if (child_ < 0) {
        return false;
    }
    int status = 0;
    if (::waitpid(child_, &status, WNOHANG) == 0) {
        return true;
    }
    child_ = -1;  // ended on its own, and is reaped
    Stop();
    return false;
}

bool FinishingProcess::Start() {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        return false;
    }
    child_ = Spawn(program_, ends[1]);
    ::close(ends[1]);  // the child holds its end now
    socket_ = ends[0];
    served_ = 0;
    if (child_ < 0) {
        Stop();
        return false;
    }
    return true;
}

// Between saves the process holds nothing half-done, so it is killed without a word.
void FinishingProcess::Stop() {
    if (child_ > 0) {
        ::kill(child_, SIGKILL);
        int status = 0;
        while (::waitpid(child_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    child_ = -1;
    if (socket_ >= 0) {
        ::close(socket_);
        socket_ = -1;
    }
}

bool FinishingProcess::Send(const std::string& frame) {
    return (Running() || Start()) && SendAll(socket_, frame);
}

bool FinishingProcess::Reusable() {
    return Running() && served_ < kMaxServed;
}

report::ConversionReport FinishingProcess::Finish(const FinishRequest& request,
                                                  std::chrono::milliseconds timeLimit) {
    if (program_.empty() || ::access(program_.c_str(), X_OK) != 0) {
        throw SaveRefused(request.target, "the program " + std::string(kFinishProgram) +
                                              " is missing beside Tabrook.");
    }
    const std::string frame = Frame(EncodeRequest(request));
    // A process that ended while it waited cannot take the request; a new one can.
    if (!Send(frame)) {
        Stop();
        if (!Send(frame)) {
            Stop();
            throw SaveRefused(request.target, "the finishing step could not be started.");
        }
    }
    ++served_;
    const auto deadline = Clock::now() + timeLimit;
    const Heard heard = Receive(socket_, deadline);
    Silence silence = heard.silence;
    if (heard.body) {
        if (const std::optional<FinishAnswer> answer = DecodeAnswer(*heard.body)) {
            if (answer->retire) {
                Stop();
            }
            if (answer->placed) {
                return Placed(*answer);
            }
            throw AutomationError(answer->number, answer->description);
        }
        silence = Silence::kGarbled;
    }
    std::optional<int> status;
    if (silence == Silence::kEnded) {
        status = WaitForEnd(child_, deadline);
        if (status) {
            child_ = -1;  // reaped
        }
    }
    Stop();
    RemoveTemporariesOf(request.target);
    if (!status) {
        if (silence == Silence::kTimedOut || Clock::now() >= deadline) {
            throw SaveRefused(request.target, "finishing the workbook took longer than " +
                                                  std::to_string(timeLimit.count() / 1000) +
                                                  " seconds, so it was stopped.");
        }
        throw SaveRefused(request.target, "the finishing step failed without saying why.");
    }
    if (WIFSIGNALED(*status)) {
        throw SaveRefused(request.target,
                          std::string("the workbook made the finishing step fail (") +
                              strsignal(WTERMSIG(*status)) + ").");
    }
    throw SaveRefused(request.target, "the finishing step ended with status " +
                                          std::to_string(WEXITSTATUS(*status)) + ".");
}

}  // namespace tabrook::calcserver::finish
