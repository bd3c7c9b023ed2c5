#pragma once
// Temporary folders carry the process id of the run that made them, so that a later run
// can remove what a killed one left and never touches a live run's files (the office's
// sweep of ended runs reads these names).

#include <unistd.h>

#include <string>
#include <string_view>

namespace tabrook::calcserver {

// "tabrook-<kind>-<pid>-" for this process; `kind` is lower-case letters only. The caller
// appends a unique part, such as mkdtemp's "XXXXXX".
inline std::string OwnedFolderPrefix(std::string_view kind) {
    return "tabrook-" + std::string(kind) + "-" + std::to_string(::getpid()) + "-";
}

}  // namespace tabrook::calcserver
