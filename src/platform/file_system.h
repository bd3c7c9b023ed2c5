#pragma once
// The file-system calls the program makes: a find-first/find-next style directory search,
// the attribute read, making one folder, and the state-file text format.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tabrook::platform {

// Which entries a directory search reports. Hidden entries (names beginning with ".") and
// system entries (anything that is neither a regular file nor a folder after following
// links) are never reported.
enum class SearchKinds { FilesOnly, FilesAndFolders };

struct SearchResult {
    std::vector<std::string> names;  // bare names, in the order the search gives them
    bool failed = false;             // the search could not run (bad path, unreadable folder)
};

inline constexpr std::uint32_t kAttrHidden = 0x02;
inline constexpr std::uint32_t kAttrSystem = 0x04;
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrArchive = 0x20;

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // Entries matching `pattern`: a path whose last component may hold "*" and "?"; a
    // pattern ending in "/" searches the entries inside that folder. `limit` 0 means all,
    // sorted; with a limit the search stops early and which names come back is unspecified.
    virtual SearchResult Search(const std::string& pattern, SearchKinds kinds,
                                std::size_t limit = 0) const = 0;
    // Attributes of the exact path (links followed); empty when it cannot be read,
    // including for wildcard patterns.
    virtual std::optional<std::uint32_t> Attributes(const std::string& path) const = 0;
    // Whether anything at all stands at the exact path, a dangling link included.
    virtual bool Exists(const std::string& path) const = 0;
    // Makes one folder; its parent must exist.
    virtual bool MakeFolder(const std::string& path) = 0;
    // The lines of a state file; a line ends at CR LF, a lone CR or a lone LF. Empty when
    // the file is missing or unreadable.
    virtual std::optional<std::vector<std::string>> ReadLines(const std::string& path) const = 0;
    // Replaces the file whole and atomically, every line ended by CR LF. On failure the
    // former content stays and false is returned.
    virtual bool WriteLines(const std::string& path, const std::vector<std::string>& lines) = 0;
};

}  // namespace tabrook::platform
