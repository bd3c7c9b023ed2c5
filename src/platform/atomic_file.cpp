#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>

namespace tabrook::platform {
namespace {

namespace fs = std::filesystem;

std::string Reason(int error) {
    return std::strerror(error);
}

fs::path TemporaryNameBeside(const fs::path& target) {
    std::random_device entropy;
    const auto random = (static_cast<unsigned long long>(entropy()) << 32) | entropy();
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, "%016llx", random);
    return target.parent_path() / ("." + target.filename().string() + ".tabrook-" + suffix);
}

// The permissions a new file gets from the process's umask, read without changing it
// (umask() itself would change it for every thread for a moment).
mode_t NewFileMode() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            return static_cast<mode_t>(0666 & ~std::stoul(line.substr(6), nullptr, 8));
        }
    }
    return 0644;
}

mode_t ModeFor(const fs::path& target) {
    struct stat existing {};
    return ::stat(target.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : NewFileMode();
}

[[noreturn]] void CannotPlace(int error, const fs::path& target) {
    throw FileWriteError("cannot put the file at " + target.string() + " (" + Reason(error) + ")");
}

[[noreturn]] void RefuseNoReplace(int error, const fs::path& target) {
    if (error == EEXIST) {
        throw TargetTaken("a file named " + target.string() + " appeared meanwhile");
    }
    CannotPlace(error, target);
}

void MoveIntoPlace(const fs::path& temporary, const fs::path& target, Placement placement) {
    if (placement == Placement::kReplace) {
        if (::rename(temporary.c_str(), target.c_str()) != 0) {
            CannotPlace(errno, target);
        }
        return;
    }
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
        return;
    }
    const int error = errno;
    if (error != EINVAL && error != ENOSYS) {
        RefuseNoReplace(error, target);
    }
    // Where the file system cannot rename without replacing, a hard link refuses a taken
    // name as well; the temporary name is then dropped.
    if (::link(temporary.c_str(), target.c_str()) != 0) {
        RefuseNoReplace(errno, target);
    }
    ::unlink(temporary.c_str());
}

}  // namespace

AtomicFile::AtomicFile(fs::path target) : target_(std::move(target)) {
    for (int attempt = 0; fd_ < 0 && attempt < 8; ++attempt) {
        temporary_ = TemporaryNameBeside(target_);
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd_ < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd_ < 0) {
        throw FileWriteError("the folder '" + target_.parent_path().string() +
                             "' cannot be written (" + Reason(errno) + ")");
    }
}

AtomicFile::~AtomicFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    if (!committed_) {
        ::unlink(temporary_.c_str());
    }
}

void AtomicFile::Append(std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd_, data.data(), data.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            throw FileWriteError("the file cannot be written in '" +
                                 target_.parent_path().string() + "' (" +
                                 Reason(written < 0 ? errno : EIO) + ")");
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
}

void AtomicFile::Commit(Placement placement) {
    // The temporary may have been replaced by a writer that works by name, so the checks
    // and the flush go through the name, not only through the descriptor opened first.
    int failure = ::close(fd_) == 0 ? 0 : errno;
    fd_ = -1;
    const int fd = failure == 0 ? ::open(temporary_.c_str(), O_RDONLY | O_CLOEXEC) : -1;
    if (failure == 0 && fd < 0) {
        failure = errno;
    }
    if (failure == 0 && (::fchmod(fd, ModeFor(target_)) != 0 || ::fsync(fd) != 0)) {
        failure = errno;
    }
    if (fd >= 0) {
        ::close(fd);
    }
    if (failure != 0) {
        throw FileWriteError("the file cannot be written in '" + target_.parent_path().string() +
                             "' (" + Reason(failure) + ")");
    }
    MoveIntoPlace(temporary_, target_, placement);
    committed_ = true;
}

std::string WriteFileAtomically(const fs::path& target, std::string_view content,
                                Placement placement) {
    try {
        AtomicFile file(target);
        file.Append(content);
        file.Commit(placement);
        return {};
    } catch (const FileWriteError& error) {
        return error.what();
    }
}

}  // namespace tabrook::platform
