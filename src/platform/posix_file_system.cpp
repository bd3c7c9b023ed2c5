#include "platform/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/atomic_file.h"
#include "platform/name_match.h"
#include "platform/state_text.h"

namespace tabrook::platform {
namespace {

enum class EntryKind { File, Folder, System };

EntryKind KindOfStat(const struct stat& info) {
    if (S_ISREG(info.st_mode)) {
        return EntryKind::File;
    }
    if (S_ISDIR(info.st_mode)) {
        return EntryKind::Folder;
    }
    return EntryKind::System;
}

// Follows links, so a dangling link or a link to a FIFO counts as a system entry.
EntryKind KindOfPath(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return EntryKind::System;
    }
    return KindOfStat(info);
}

bool Reportable(EntryKind kind, SearchKinds kinds) {
    return kind == EntryKind::File ||
           (kind == EntryKind::Folder && kinds == SearchKinds::FilesAndFolders);
}

bool IsHiddenName(std::string_view name) {
    return !name.empty() && name.front() == '.';
}

// A folder's own "." and "..": not hidden entries, though their names begin with ".".
bool IsOwnEntryName(std::string_view name) {
    return name == "." || name == "..";
}

struct SplitPattern {
    std::string folder;  // with its trailing "/", or empty for the current folder
    std::string name;    // last component; "*" when the pattern ends in "/"
};

SplitPattern Split(const std::string& pattern) {
    const std::size_t slash = pattern.rfind('/');
    if (slash == std::string::npos) {
        return {"", pattern};
    }
    SplitPattern split{pattern.substr(0, slash + 1), pattern.substr(slash + 1)};
    if (split.name.empty()) {
        split.name = "*";
    }
    return split;
}

}  // namespace

SearchResult PosixFileSystem::Search(const std::string& pattern, SearchKinds kinds,
                                     std::size_t limit) const {
    SearchResult result;
    if (pattern.empty()) {
        result.failed = true;
        return result;
    }
    const SplitPattern split = Split(pattern);
    const std::string folderPath = split.folder.empty() ? std::string(".") : split.folder;

    if (!HasWildcards(split.name)) {
        // An exact name: the entry itself, if it is of a reportable kind and not hidden.
        if ((!IsHiddenName(split.name) || IsOwnEntryName(split.name)) &&
            Reportable(KindOfPath(pattern), kinds)) {
            result.names.push_back(split.name);
        }
        return result;
    }

    DIR* dir = ::opendir(folderPath.c_str());
    if (dir == nullptr) {
        result.failed = true;
        return result;
    }
    // A folder's own "." and ".." entries are listed by a folder search, as the platform
    // this mirrors does; they are not hidden entries.
    if (kinds == SearchKinds::FilesAndFolders) {
        for (const char* own : {".", ".."}) {
            if (SearchNameMatches(split.name, own)) {
                result.names.emplace_back(own);
            }
        }
    }
    // With a limit the caller asks only whether anything matches, so stop at once.
    const auto enough = [&] { return limit != 0 && result.names.size() >= limit; };
    while (!enough()) {
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            break;
        }
        const std::string_view name = entry->d_name;
        if (IsHiddenName(name) || !SearchNameMatches(split.name, name)) {
            continue;
        }
        EntryKind kind = EntryKind::System;
        if (entry->d_type == DT_REG) {
            kind = EntryKind::File;
        } else if (entry->d_type == DT_DIR) {
            kind = EntryKind::Folder;
        } else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            kind = KindOfPath(split.folder + std::string(name));
        }
        if (Reportable(kind, kinds)) {
            result.names.emplace_back(name);
        }
    }
    ::closedir(dir);
    if (limit != 0) {
        return result;
    }
    // Directory order on Linux is hash order; sort as the volumes this program was made
    // for report names, without regard to case, so lists read naturally.
    std::stable_sort(result.names.begin(), result.names.end(),
                     [](const std::string& a, const std::string& b) {
                         return ::strcasecmp(a.c_str(), b.c_str()) < 0;
                     });
    return result;
}

std::optional<std::uint32_t> PosixFileSystem::Attributes(const std::string& path) const {
    if (path.empty() || HasWildcards(path)) {
        return std::nullopt;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    std::uint32_t attributes = 0;
    switch (KindOfStat(info)) {
        case EntryKind::Folder:
            attributes = kAttrDirectory;
            break;
        case EntryKind::File:
            attributes = kAttrArchive;
            break;
        case EntryKind::System:
            attributes = kAttrSystem;
            break;
    }
    std::string_view trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') {
        trimmed.remove_suffix(1);
    }
    const std::size_t slash = trimmed.rfind('/');
    const std::string_view last =
        slash == std::string_view::npos ? trimmed : trimmed.substr(slash + 1);
    if (IsHiddenName(last) && !IsOwnEntryName(last)) {
        attributes |= kAttrHidden;
    }
    return attributes;
}

bool PosixFileSystem::Exists(const std::string& path) const {
    struct stat info {};
    return !path.empty() && ::lstat(path.c_str(), &info) == 0;
}

bool PosixFileSystem::MakeFolder(const std::string& path) {
    return !path.empty() && ::mkdir(path.c_str(), 0777) == 0;
}

std::optional<std::vector<std::string>> PosixFileSystem::ReadLines(const std::string& path) const {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::string content;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        content.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);

    return SplitStateLines(content);
}

bool PosixFileSystem::WriteLines(const std::string& path, const std::vector<std::string>& lines) {
    return WriteFileAtomically(path, JoinStateLines(lines), Placement::kReplace).empty();
}

}  // namespace tabrook::platform
