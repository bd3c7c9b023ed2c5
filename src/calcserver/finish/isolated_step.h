#pragma once
// Runs one step in a process of its own, so that whatever a hostile workbook does to it
// (a crash, a runaway loop, memory without end) ends that step and not the program.

#include <chrono>
#include <string>
#include <vector>

namespace tabrook::calcserver::finish {

struct StepOutcome {
    enum class Ending { kExited, kKilledBySignal, kTimedOut, kNotStarted };
    Ending ending = Ending::kNotStarted;
    int exitCode = -1;   // with kExited
    int signal = 0;      // with kKilledBySignal
    std::string output;  // what the step wrote to its standard output (at most 64 KiB)
};

// Runs argv[0] (a full path) with the arguments that follow, standard input from
// /dev/null and standard error shared with this process; kills it when it runs past
// `timeLimit`. Never throws for what the step does.
StepOutcome RunIsolatedStep(const std::vector<std::string>& argv,
                            std::chrono::milliseconds timeLimit);

}  // namespace tabrook::calcserver::finish
