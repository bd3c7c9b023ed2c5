#include "vba/checker.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace tabrook::calcserver::vba::testing {

std::string Quoted(const std::string& argument) {
    std::string quoted = "'";
    for (const char c : argument) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

namespace {

std::pair<int, std::string> Execute(const std::string& commandLine,
                                    const tabrook::testing::TempDir& dir) {
    const std::string output = (dir.Path() / "command-output.txt").string();
    const int status = std::system((commandLine + " > " + Quoted(output) + " 2>&1").c_str());
    std::ifstream in(output);
    return {status, std::string(std::istreambuf_iterator<char>(in), {})};
}

}  // namespace

std::optional<std::string> RunCommand(const std::string& commandLine,
                                      const tabrook::testing::TempDir& dir) {
    auto [status, output] = Execute(commandLine, dir);
    return status == 0 ? std::optional(output) : std::nullopt;
}

CheckerRun RunChecker(const std::string& arguments, const tabrook::testing::TempDir& dir) {
    // Debian's interpreter is the one that has python3-olefile.
    const std::string python =
        std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    auto [status, output] =
        Execute(python + " " + Quoted(TABROOK_VBA_CHECK_SCRIPT) + " " + arguments, dir);
    return {status == 0, output};
}

}  // namespace tabrook::calcserver::vba::testing
