#pragma once
// The one shared test of what a path names.

#include <string>

namespace tabrook::platform {
class FileSystem;
}

namespace tabrook::app {

inline constexpr int kProbeMissing = 0;
inline constexpr int kProbeFolder = 1;
inline constexpr int kProbeFile = 2;

// 0: nothing usable (or examining failed), 1: an existing folder, 2: an existing file.
// Hidden and system entries count as nothing. Never fails towards the caller.
int ProbePath(const platform::FileSystem& fileSystem, const std::string& path);

}  // namespace tabrook::app
