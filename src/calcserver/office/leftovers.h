#pragma once
// What a run leaves in shared folders carries the run's process id in its name, so that a
// later run can remove what a killed one could not, and never touches a live run's files:
//   temporary folders   <TMPDIR>/tabrook-<kind>-<pid>-<unique>   (kind: a-z only)
//   office accept pipes /tmp/OSL_PIPE_<uid>_tabrook_<pid>_<unique> (or /var/tmp)
// <unique> is any non-empty text, e.g. what mkdtemp puts for "XXXXXX".

#include <filesystem>
#include <string>
#include <string_view>

#include "calcserver/owned_temporaries.h"

namespace tabrook::calcserver::office {

// "tabrook_<pid>_" for this process: the start of an office pipe name.
std::string OwnedPipePrefix();

// Removes the socket of this process's office pipe `pipeName` (it starts with
// OwnedPipePrefix()); the office leaves it behind when it ends, so it must have ended.
void RemoveOwnPipe(const std::string& pipeName);

// Removes the folders in `temporary` and the office pipes whose run has ended.
void RemoveLeftoversOfEndedRuns(const std::filesystem::path& temporary);

// Removes this run's own folders and pipes, for a run that stops at once: its offices must
// have ended first.
void RemoveLeftoversOfThisRun(const std::filesystem::path& temporary);

}  // namespace tabrook::calcserver::office
