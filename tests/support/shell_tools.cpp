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

std::vector<std::filesystem::path> ConvertWithOffice(
    const std::vector<std::filesystem::path>& inputs, const std::string& filter,
    const std::filesystem::path& outDir, const std::filesystem::path& profile) {
    const std::string extension = "." + filter.substr(0, filter.find(':'));
    const auto resultOf = [&](const std::filesystem::path& input) {
        return outDir / input.filename().replace_extension(extension);
    };
    std::vector<std::filesystem::path> missing = inputs;
    for (int attempt = 0; attempt < 2 && !missing.empty(); ++attempt) {
        // timeout ends the whole run should the office hang.
        std::string command = "timeout -k 10 600 soffice --headless --norestore " +
                              ShellQuote("-env:UserInstallation=file://" + profile.string()) +
                              " --convert-to " + ShellQuote(filter) + " --outdir " +
                              ShellQuote(outDir.string());
        for (const auto& input : missing) {
            command += " " + ShellQuote(input.string());
        }
        RunShell(command + " >/dev/null 2>&1");
        std::erase_if(missing, [&](const auto& input) { return exists(resultOf(input)); });
    }
    std::vector<std::filesystem::path> results;
    for (const auto& input : inputs) {
        if (exists(resultOf(input))) {
            results.push_back(resultOf(input));
        }
    }
    return results;
}

}  // namespace tabrook::testing
