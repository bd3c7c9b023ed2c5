#include "cli/source_list.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "platform/file_system.h"
#include "platform/native_path.h"
#include "platform/probe_path.h"

namespace tabrook::cli {
namespace {

using platform::SearchKinds;

using platform::JoinPath;

// One identity per folder, so that a link back up the tree is not walked again.
std::string Identity(const std::string& path) {
    std::error_code error;
    const std::filesystem::path canonical =
        std::filesystem::canonical(platform::PathFromUtf8(path), error);
    return error ? path : platform::Utf8FromPath(canonical);
}

class FolderWalk {
  public:
    FolderWalk(const platform::FileSystem& fileSystem, bool recursive,
               std::vector<SourceWorkbook>& found)
        : fileSystem_(fileSystem), recursive_(recursive), found_(found) {}

    void Walk(const std::string& folder, const std::string& below, std::size_t depth) {
        if (!visited_.insert(Identity(folder)).second) {
            return;
        }
        for (const std::string& name :
             fileSystem_.Search(JoinPath(folder, "*.xls"), SearchKinds::FilesOnly).names) {
            found_.push_back({JoinPath(folder, name), below, false});
        }
        if (!recursive_ || depth >= kMaxFolderDepth) {
            return;
        }
        for (const std::string& name :
             fileSystem_.Search(JoinPath(folder, ""), SearchKinds::FilesAndFolders).names) {
            if (name == "." || name == "..") {
                continue;  // a folder search lists the folder itself and its parent
            }
            const std::string path = JoinPath(folder, name);
            if (platform::ProbePath(fileSystem_, path) == platform::PathKind::Folder) {
                Walk(path, below.empty() ? name : JoinPath(below, name), depth + 1);
            }
        }
    }

  private:
    const platform::FileSystem& fileSystem_;
    bool recursive_;
    std::vector<SourceWorkbook>& found_;
    std::set<std::string> visited_;
};

// A relative file SOURCE keeps its folders under --mirror, unless they climb out ("..").
std::string MirrorFolderOf(const std::string& file) {
    const std::filesystem::path path = platform::PathFromUtf8(file);
    if (path.is_absolute()) {
        return {};
    }
    for (const auto& part : path.parent_path()) {
        if (part == "..") {
            return {};
        }
    }
    return platform::Utf8FromPath(path.parent_path().lexically_normal().make_preferred());
}

}  // namespace

std::vector<SourceWorkbook> ListSources(const platform::FileSystem& fileSystem,
                                        const std::vector<std::string>& sources, bool recursive) {
    std::vector<SourceWorkbook> found;
    FolderWalk walk(fileSystem, recursive, found);
    for (const std::string& source : sources) {
        switch (platform::ProbePath(fileSystem, source)) {
            case platform::PathKind::File:
                found.push_back({source, MirrorFolderOf(source), false});
                break;
            case platform::PathKind::Folder:
                walk.Walk(source, "", 0);
                break;
            default:
                found.push_back({source, "", true});
        }
    }
    for (SourceWorkbook& workbook : found) {
        if (workbook.folder == ".") {
            workbook.folder.clear();
        }
    }
    std::sort(found.begin(), found.end(),
              [](const SourceWorkbook& a, const SourceWorkbook& b) { return a.path < b.path; });
    // The same workbook named twice (two SOURCEs, a folder and a file in it) is one.
    std::set<std::string> seen;
    std::erase_if(found, [&](const SourceWorkbook& workbook) {
        return !seen.insert(workbook.missing ? workbook.path : Identity(workbook.path)).second;
    });
    return found;
}

std::vector<std::string> ReadPathList(std::istream& in) {
    std::vector<std::string> paths;
    std::string line;
    while (std::getline(in, line)) {
        if (line.ends_with('\r')) {
            line.pop_back();
        }
        if (!line.empty()) {
            paths.push_back(line);
        }
    }
    return paths;
}

SliceBounds ShardSlice(std::size_t total, Shard shard) {
    const auto boundary = [&](std::size_t i) {
        return total / shard.count * i + std::min(i, total % shard.count);
    };
    return {boundary(shard.index - 1), boundary(shard.index)};
}

}  // namespace tabrook::cli
