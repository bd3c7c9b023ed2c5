#pragma once
// The one shared test of what a path names.

#include <string>

namespace tabrook::platform {

class FileSystem;

// The values are those the program has always used for the three answers.
enum class PathKind { Missing = 0, Folder = 1, File = 2 };

// Missing also when examining failed; hidden and system entries count as missing. Never
// fails towards the caller.
PathKind ProbePath(const FileSystem& fileSystem, const std::string& path);

}  // namespace tabrook::platform
