#include "platform/probe_path.h"

#include "platform/file_system.h"

namespace tabrook::platform {

PathKind ProbePath(const FileSystem& fileSystem, const std::string& path) {
    // Both searches run, as the probe has always done; only existence matters here.
    const SearchResult anyEntry = fileSystem.Search(path, SearchKinds::FilesAndFolders, 1);
    const SearchResult fileEntry = fileSystem.Search(path, SearchKinds::FilesOnly, 1);
    if (anyEntry.failed || fileEntry.failed) {
        return PathKind::Missing;
    }
    if (anyEntry.names.empty() && fileEntry.names.empty()) {
        return PathKind::Missing;
    }
    const auto attributes = fileSystem.Attributes(path);
    if (!attributes.has_value()) {
        return PathKind::Missing;
    }
    return (*attributes & kAttrDirectory) != 0 ? PathKind::Folder : PathKind::File;
}

}  // namespace tabrook::platform
