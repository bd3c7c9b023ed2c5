#include "app/probe_path.h"

#include "platform/file_system.h"

namespace tabrook::app {

int ProbePath(const platform::FileSystem& fileSystem, const std::string& path) {
    using platform::SearchKinds;
    // Both searches run, as the probe has always done; only existence matters here.
    const platform::SearchResult anyEntry =
        fileSystem.Search(path, SearchKinds::FilesAndFolders, 1);
    const platform::SearchResult fileEntry = fileSystem.Search(path, SearchKinds::FilesOnly, 1);
    if (anyEntry.failed || fileEntry.failed) {
        return kProbeMissing;
    }
    if (anyEntry.names.empty() && fileEntry.names.empty()) {
        return kProbeMissing;
    }
    const auto attributes = fileSystem.Attributes(path);
    if (!attributes.has_value()) {
        return kProbeMissing;
    }
    return (*attributes & platform::kAttrDirectory) != 0 ? kProbeFolder : kProbeFile;
}

}  // namespace tabrook::app
