#pragma once
// Runs the independent checker (Python with olefile) and other command lines for the tests.

#include <optional>
#include <string>

#include "support/temp_dir.h"

namespace tabrook::calcserver::vba::testing {

std::string Quoted(const std::string& argument);

// What the command printed, or nullopt when it failed.
std::optional<std::string> RunCommand(const std::string& commandLine,
                                      const tabrook::testing::TempDir& dir);

struct CheckerRun {
    bool passed = false;
    std::string output;  // its findings, and on failure every failed check
};
// `arguments` are already quoted; see check_vba_package.py for what they can be.
CheckerRun RunChecker(const std::string& arguments, const tabrook::testing::TempDir& dir);

}  // namespace tabrook::calcserver::vba::testing
