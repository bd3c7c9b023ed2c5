#pragma once
// How a program that must stop at once (an interrupt, a kill) leaves nothing behind.

#include <filesystem>
#include <vector>

namespace tabrook::calcserver {

// Ends every process this program started (offices, finishing steps) and removes what they
// leave: this run's private folders and pipes, and the temporaries beside each of
// `targetsInFlight`. The server must not be used afterwards; the caller exits.
void AbandonRun(const std::vector<std::filesystem::path>& targetsInFlight);

}  // namespace tabrook::calcserver
