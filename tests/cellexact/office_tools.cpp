#include "cellexact/office_tools.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>

namespace tabrook::testing::office {

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

int RunCommand(const std::string& command, std::string* output) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    std::array<char, 4096> buffer{};
    std::size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        if (output != nullptr) {
            output->append(buffer.data(), got);
        }
    }
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveOffice() {
    return RunCommand("command -v soffice >/dev/null 2>&1") == 0;
}

std::string ReaderPython() {
    // Debian's interpreter first: the readers are its packages.
    for (const char* candidate : {"/usr/bin/python3", "python3"}) {
        if (RunCommand(std::string(candidate) + " -c 'import openpyxl, xlrd' >/dev/null 2>&1") ==
            0) {
            return candidate;
        }
    }
    return {};
}

bool ConvertWithOffice(const std::vector<std::filesystem::path>& files, const std::string& filter,
                       const std::filesystem::path& outDir, const std::filesystem::path& profile) {
    std::string command = "timeout 600 soffice --headless --norestore --nolockcheck " +
                          ShellQuote("-env:UserInstallation=file://" + profile.string()) +
                          " --convert-to " + ShellQuote(filter) + " --outdir " +
                          ShellQuote(outDir.string());
    for (const auto& file : files) {
        command += " " + ShellQuote(file.string());
    }
    command += " >/dev/null 2>&1";
    return RunCommand(command) == 0;
}

}  // namespace tabrook::testing::office
