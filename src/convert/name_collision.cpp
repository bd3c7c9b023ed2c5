#include "convert/name_collision.h"

#include "platform/file_system.h"
#include "platform/probe_path.h"

namespace tabrook::convert {
namespace {

// Anything at all at `path`, a link to nothing included. The search also answers for
// names that hold wildcard characters, erring towards "taken".
bool Occupied(const platform::FileSystem& fileSystem, const std::string& path) {
    return fileSystem.Exists(path) ||
           !fileSystem.Search(path, platform::SearchKinds::FilesAndFolders, 1).names.empty();
}

bool Taken(const platform::FileSystem& fileSystem, const std::string& targetPath,
           std::string_view extension) {
    return platform::ProbePath(fileSystem, targetPath) == platform::PathKind::Folder ||
           Occupied(fileSystem, targetPath + std::string(extension));
}

}  // namespace

std::string FreeTargetPath(const platform::FileSystem& fileSystem, std::string targetPath,
                           std::string_view extension) {
    // Ends: every turn lengthens the name, and an over-long name is free of every entry.
    for (int counter = 0; Taken(fileSystem, targetPath, extension);) {
        ++counter;
        targetPath += std::to_string(counter);
    }
    return targetPath;
}

}  // namespace tabrook::convert
