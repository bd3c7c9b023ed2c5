#include "vba/checker.h"

#include "support/shell_tools.h"

namespace tabrook::calcserver::vba::testing {

CheckerRun RunChecker(const std::string& arguments) {
    const tabrook::testing::ShellResult run = tabrook::testing::RunShell(
        tabrook::testing::DebianPython() + " " +
        tabrook::testing::ShellQuote(TABROOK_VBA_CHECK_SCRIPT) + " " + arguments + " 2>&1");
    return {run.exitCode == 0, run.output};
}

}  // namespace tabrook::calcserver::vba::testing
