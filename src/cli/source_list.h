#pragma once
// The workbooks a run stands for: every SOURCE listed by the file list's folder rules,
// sorted and without repeats, so that every run and every shard sees the same list.

#include <cstddef>
#include <istream>
#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace tabrook::platform {
class FileSystem;
}

namespace tabrook::cli {

struct SourceWorkbook {
    std::string path;      // as found: the SOURCE, or a folder SOURCE joined with names
    std::string folder;    // below the SOURCE ("" at its top), for --mirror
    bool missing = false;  // a SOURCE that names nothing usable

    bool operator==(const SourceWorkbook&) const = default;
};

// Folders deeper than this below a SOURCE are not descended into; a tree this deep is a
// loop of links or a hostile one.
inline constexpr std::size_t kMaxFolderDepth = 64;

// A file SOURCE stands for itself, whatever its name; a folder SOURCE for its workbooks
// (a name whose extension begins with "xls", hidden and system entries never), with
// `recursive` also those of every folder below it, each folder once.
std::vector<SourceWorkbook> ListSources(const platform::FileSystem& fileSystem,
                                        const std::vector<std::string>& sources, bool recursive);

// One path a line; CR LF or LF, blank lines skipped.
std::vector<std::string> ReadPathList(std::istream& in);

// [first, last) of the shard's slice of `total` items: contiguous, in order, sizes apart by
// at most one, together covering every item once.
struct SliceBounds {
    std::size_t first = 0;
    std::size_t last = 0;
};
SliceBounds ShardSlice(std::size_t total, Shard shard);

}  // namespace tabrook::cli
