#include "calcserver/package/file_placement.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

namespace tabrook::calcserver::package {

namespace {

namespace fs = std::filesystem;

[[noreturn]] void CannotPlace(int error, const fs::path& target) {
    throw PackageError("cannot put the file at " + target.string() + " (" + std::strerror(error) +
                       ")");
}

[[noreturn]] void RefuseNoReplace(int error, const fs::path& target) {
    if (error == EEXIST) {
        throw TargetTaken("a file named " + target.string() + " appeared meanwhile");
    }
    CannotPlace(error, target);
}

// Where the file system cannot rename without replacing, a hard link refuses a taken name
// as well; the temporary name is then dropped.
void LinkIntoPlace(const fs::path& temporary, const fs::path& target) {
    if (::link(temporary.c_str(), target.c_str()) != 0) {
        RefuseNoReplace(errno, target);
    }
    ::unlink(temporary.c_str());
}

}  // namespace

fs::path TemporaryNameBeside(const fs::path& target) {
    std::random_device entropy;
    const auto random = (static_cast<unsigned long long>(entropy()) << 32) | entropy();
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, "%016llx", random);
    return target.parent_path() / ("." + target.filename().string() + ".tabrook-" + suffix);
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
    if (error == EINVAL || error == ENOSYS) {
        LinkIntoPlace(temporary, target);
        return;
    }
    RefuseNoReplace(error, target);
}

}  // namespace tabrook::calcserver::package
