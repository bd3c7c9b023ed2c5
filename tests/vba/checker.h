#pragma once
// Runs the independent checker (Python with olefile) and other command lines for the tests.

#include <string>

#include "support/temp_dir.h"

namespace tabrook::calcserver::vba::testing {

struct CheckerRun {
    bool passed = false;
    std::string output;  // its findings, and on failure every failed check
};
// `arguments` are already quoted; see check_vba_package.py for what they can be.
CheckerRun RunChecker(const std::string& arguments);

}  // namespace tabrook::calcserver::vba::testing
