#include "calcserver/server/abandon_run.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>

#include "calcserver/finish/finish_process.h"
#include "calcserver/office/leftovers.h"

namespace tabrook::calcserver {
namespace {

namespace fs = std::filesystem;

// "pid (name) state ppid ...": the name may hold spaces and parentheses, so the fields are
// read after its last ")".
struct ProcessStat {
    char state = '?';
    pid_t parent = 0;
};

bool ReadStat(pid_t pid, ProcessStat& stat) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(file, line)) {
        return false;
    }
    const auto close = line.rfind(')');
    if (close == std::string::npos) {
        return false;
    }
    std::istringstream rest(line.substr(close + 1));
    return static_cast<bool>(rest >> stat.state >> stat.parent);
}

std::vector<pid_t> ChildProcesses() {
    std::vector<pid_t> children;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos ||
            name.size() > 9) {
            continue;
        }
        const pid_t pid = std::stoi(name);
        ProcessStat stat;
        if (ReadStat(pid, stat) && stat.parent == ::getpid() && stat.state != 'Z') {
            children.push_back(pid);
        }
    }
    return children;
}

// Gone, or only a zombie that cannot write anything any more.
bool Ended(pid_t pid) {
    ProcessStat stat;
    return !ReadStat(pid, stat) || stat.state == 'Z' || stat.parent != ::getpid();
}

// Kills the children there are now and waits until the kernel has taken them down.
void KillChildren() {
    const std::vector<pid_t> children = ChildProcesses();
    for (const pid_t child : children) {
        ::kill(child, SIGKILL);
    }
    // SIGKILL cannot be refused; the wait is for the kernel to take the process down.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (const pid_t child : children) {
        while (!Ended(child) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}

}  // namespace

void AbandonRun(const std::vector<fs::path>& targetsInFlight) {
    // A worker that was starting an office as the run stopped may still start it: a few
    // rounds, apart, end what came after the first.
    for (int round = 0; round < 3; ++round) {
        KillChildren();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    for (const fs::path& target : targetsInFlight) {
        finish::RemoveTemporariesOf(target);
    }
    std::error_code error;
    office::RemoveLeftoversOfThisRun(fs::temp_directory_path(error));
}

}  // namespace tabrook::calcserver
