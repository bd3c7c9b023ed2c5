#include "calcserver/office/leftovers.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <optional>
#include <system_error>

namespace tabrook::calcserver::office {
namespace {

// Where the office's runtime puts the sockets of named pipes.
constexpr std::array kPipeFolders{"/tmp", "/var/tmp"};
constexpr std::size_t kMaxPidDigits = 9;

// Reads "<pid><separator><unique>" from the start of `rest`; empty when it is not that.
std::optional<pid_t> OwnerPid(std::string_view rest, char separator) {
    const auto end = rest.find(separator);
    if (end == 0 || end == std::string_view::npos || end > kMaxPidDigits ||
        end + 1 == rest.size()) {
        return std::nullopt;
    }
    pid_t pid = 0;
    for (const char c : rest.substr(0, end)) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        pid = pid * 10 + (c - '0');
    }
    return pid > 0 ? std::optional(pid) : std::nullopt;
}

std::optional<pid_t> FolderOwner(std::string_view name) {
    constexpr std::string_view kStart = "tabrook-";
    if (!name.starts_with(kStart)) {
        return std::nullopt;
    }
    name.remove_prefix(kStart.size());
    std::size_t kind = 0;
    while (kind < name.size() && name[kind] >= 'a' && name[kind] <= 'z') {
        ++kind;
    }
    if (kind == 0 || kind == name.size() || name[kind] != '-') {
        return std::nullopt;
    }
    return OwnerPid(name.substr(kind + 1), '-');
}

// The name of the socket the office's runtime makes for the pipe `pipeName`.
std::string PipeSocketName(std::string_view pipeName) {
    return "OSL_PIPE_" + std::to_string(::getuid()) + "_" + std::string(pipeName);
}

std::optional<pid_t> PipeOwner(std::string_view name) {
    const std::string start = PipeSocketName("tabrook_");
    if (!name.starts_with(start)) {
        return std::nullopt;
    }
    return OwnerPid(name.substr(start.size()), '_');
}

bool Ended(pid_t pid) {
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

// Only our own entries, never followed through a link: the folders are shared.
bool OwnedBy(const std::filesystem::path& path, bool directory) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && status.st_uid == ::getuid() &&
           S_ISDIR(status.st_mode) == directory;
}

template <typename Owner, typename Remove, typename Whose>
void Sweep(const std::filesystem::path& folder, Owner owner, Remove remove, Whose whose) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const auto pid = owner(entry.path().filename().string());
        if (pid && whose(*pid)) {
            remove(entry.path());
        }
    }
}

template <typename Whose>
void RemoveLeftovers(const std::filesystem::path& temporary, Whose whose) {
    Sweep(
        temporary, FolderOwner,
        [](const std::filesystem::path& path) {
            std::error_code ignored;
            if (OwnedBy(path, true)) {
                std::filesystem::remove_all(path, ignored);
            }
        },
        whose);
    for (const char* folder : kPipeFolders) {
        Sweep(
            folder, PipeOwner,
            [](const std::filesystem::path& path) {
                if (OwnedBy(path, false)) {
                    ::unlink(path.c_str());
                }
            },
            whose);
    }
}

}  // namespace

std::string OwnedPipePrefix() {
    return "tabrook_" + std::to_string(::getpid()) + "_";
}

void RemoveOwnPipe(const std::string& pipeName) {
    if (!pipeName.starts_with(OwnedPipePrefix())) {
        return;
    }
    for (const char* folder : kPipeFolders) {
        const std::filesystem::path socket =
            std::filesystem::path(folder) / PipeSocketName(pipeName);
        if (OwnedBy(socket, false)) {
            ::unlink(socket.c_str());
        }
    }
}

void RemoveLeftoversOfEndedRuns(const std::filesystem::path& temporary) {
    RemoveLeftovers(temporary, Ended);
}

void RemoveLeftoversOfThisRun(const std::filesystem::path& temporary) {
    const pid_t self = ::getpid();
    RemoveLeftovers(temporary, [self](pid_t pid) { return pid == self; });
}

}  // namespace tabrook::calcserver::office
