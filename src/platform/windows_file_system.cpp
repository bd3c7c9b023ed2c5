#include "platform/windows_file_system.h"

#include <windows.h>

#include <memory>
#include <string_view>

#include "platform/atomic_file.h"
#include "platform/name_match.h"
#include "platform/state_text.h"
#include "platform/windows_text.h"

namespace tabrook::platform {
namespace {

constexpr DWORD kNeverReported = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

struct FindCloser {
    void operator()(HANDLE find) const { ::FindClose(find); }
};
using FindHandle = std::unique_ptr<void, FindCloser>;

struct HandleCloser {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using FileHandle = std::unique_ptr<void, HandleCloser>;

FileHandle OwnFile(HANDLE file) {
    return FileHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

struct SplitPattern {
    std::string folder;  // with its trailing separator, or empty for the current folder
    std::string name;    // last component; "*" when the pattern ends in a separator
};

SplitPattern Split(const std::string& pattern) {
    std::size_t cut = pattern.size();
    while (cut > 0 && !IsSeparator(pattern[cut - 1])) {
        --cut;
    }
    // "C:*.xls" names entries of drive C's current folder.
    if (cut == 0 && pattern.size() >= 2 && pattern[1] == ':') {
        cut = 2;
    }
    SplitPattern split{pattern.substr(0, cut), pattern.substr(cut)};
    if (split.name.empty()) {
        split.name = "*";
    }
    return split;
}

bool Reportable(const WIN32_FIND_DATAW& entry, SearchKinds kinds) {
    if ((entry.dwFileAttributes & kNeverReported) != 0) {
        return false;
    }
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
           kinds == SearchKinds::FilesAndFolders;
}

FindHandle FindFirst(const std::wstring& pattern, WIN32_FIND_DATAW& entry) {
    HANDLE find = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    return FindHandle(find == INVALID_HANDLE_VALUE ? nullptr : find);
}

}  // namespace

SearchResult WindowsFileSystem::Search(const std::string& pattern, SearchKinds kinds,
                                       std::size_t limit) const {
    SearchResult result;
    if (pattern.empty()) {
        result.failed = true;
        return result;
    }
    const SplitPattern split = Split(pattern);
    WIN32_FIND_DATAW entry{};

    if (!HasWildcards(split.name)) {
        // An exact name: the entry itself, spelled as the volume keeps it.
        const FindHandle find = FindFirst(ToWide(split.folder + split.name), entry);
        if (find && Reportable(entry, kinds)) {
            result.names.push_back(FromWide(entry.cFileName));
        }
        return result;
    }

    // Every entry of the folder, matched by the program's own rule, so that a volume with
    // short 8.3 aliases and one without list the same workbooks.
    const FindHandle find = FindFirst(ToWide(split.folder + "*"), entry);
    if (!find) {
        result.failed = ::GetLastError() != ERROR_FILE_NOT_FOUND;
        return result;
    }
    // Stops at the folder's end, at a read error (keeping what was found) or at the limit.
    do {
        const std::string name = FromWide(entry.cFileName);
        if (Reportable(entry, kinds) && SearchNameMatches(split.name, name)) {
            result.names.push_back(name);
        }
    } while ((limit == 0 || result.names.size() < limit) && ::FindNextFileW(find.get(), &entry));
    return result;
}

std::optional<std::uint32_t> WindowsFileSystem::Attributes(const std::string& path) const {
    if (path.empty() || HasWildcards(path)) {
        return std::nullopt;
    }
    const DWORD attributes = ::GetFileAttributesW(ToWide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(attributes);
}

bool WindowsFileSystem::Exists(const std::string& path) const {
    if (path.empty()) {
        return false;
    }
    if (::GetFileAttributesW(ToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    // An entry the system will not describe (locked, refused) still stands there.
    const DWORD error = ::GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
           error != ERROR_INVALID_NAME && error != ERROR_BAD_NETPATH &&
           error != ERROR_INVALID_DRIVE;
}

bool WindowsFileSystem::MakeFolder(const std::string& path) {
    return !path.empty() && ::CreateDirectoryW(ToWide(path).c_str(), nullptr) != 0;
}

std::optional<std::vector<std::string>> WindowsFileSystem::ReadLines(
    const std::string& path) const {
    const FileHandle file = OwnFile(::CreateFileW(
        ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return std::nullopt;
    }
    std::string content;
    char buffer[64 * 1024];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) {
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        content.append(buffer, got);
    }
    return SplitStateLines(content);
}

bool WindowsFileSystem::WriteLines(const std::string& path, const std::vector<std::string>& lines) {
    return WriteFileAtomically(std::filesystem::path(ToWide(path)), JoinStateLines(lines),
                               Placement::kReplace)
        .empty();
}

}  // namespace tabrook::platform
