#include "support/shell_tools.h"

#include <sys/wait.h>

#include <cstdio>
#include <memory>

namespace tabrook::testing {

std::string ShellQuote(std::string_view text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

ShellResult RunShell(const std::string& command) {
    ShellResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char buffer[4096];
    while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) {
        result.output.append(buffer, got);
    }
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool HasCommand(const std::string& name) {
    return RunShell("command -v " + ShellQuote(name) + " >/dev/null 2>&1").exitCode == 0;
}

std::string DebianPython() {
    return std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
}

bool ConvertWithOffice(const std::vector<std::filesystem::path>& inputs, const std::string& filter,
                       const std::filesystem::path& outDir, const std::filesystem::path& profile) {
    // timeout ends the whole run should the office hang.
    std::string command = "timeout -k 10 600 soffice --headless --norestore " +
                          ShellQuote("-env:UserInstallation=file://" + profile.string()) +
                          " --convert-to " + ShellQuote(filter) + " --outdir " +
                          ShellQuote(outDir.string());
    for (const auto& input : inputs) {
        command += " " + ShellQuote(input.string());
    }
    command += " >/dev/null 2>&1";
    const std::string extension = "." + filter.substr(0, filter.find(':'));
    const auto allThere = [&] {
        for (const auto& input : inputs) {
            if (!std::filesystem::exists(outDir / input.filename().replace_extension(extension))) {
                return false;
            }
        }
        return true;
    };
    for (int attempt = 0; attempt < 2; ++attempt) {
        RunShell(command);
        if (allThere()) {
            return true;
        }
    }
    return false;
}

}  // namespace tabrook::testing
