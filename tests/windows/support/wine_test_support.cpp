#include "support/wine_test_support.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "platform/windows_text.h"

namespace tabrook::wintest {
namespace {

std::string Utf8(const std::filesystem::path& path) {
    return platform::FromWide(path.native());
}

}  // namespace

std::filesystem::path FromUtf8(const std::string& text) {
    return std::filesystem::path(platform::ToWide(text));
}

ScratchFolder::ScratchFolder() {
    std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0;; ++attempt) {
        root_ = base / (L"Tabrook t\u00E9st \u00C4\u00D6 " +
                        std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(attempt));
        if (::CreateDirectoryW(root_.c_str(), nullptr)) {
            break;
        }
        if (attempt > 100) {
            throw std::runtime_error("no scratch folder");
        }
    }
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::string ScratchFolder::Path(const std::string& name) const {
    return Utf8(root_) + "\\" + name;
}

void ScratchFolder::Write(const std::string& name, const std::string& content) const {
    const std::filesystem::path path = FromUtf8(Path(name));
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

std::string ScratchFolder::Read(const std::string& name) const {
    std::ifstream in(FromUtf8(Path(name)), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool ScratchFolder::Exists(const std::string& name) const {
    return std::filesystem::exists(FromUtf8(Path(name)));
}

ServerLog::ServerLog(const ScratchFolder& folder) : path_(folder.Path("server calls.log")) {
    ::SetEnvironmentVariableW(L"TABROOK_TEST_SERVER_LOG", platform::ToWide(path_).c_str());
}

ServerLog::~ServerLog() {
    ::SetEnvironmentVariableW(L"TABROOK_TEST_SERVER_LOG", nullptr);
}

std::vector<LoggedCall> ServerLog::Entries() const {
    std::ifstream in(FromUtf8(path_), std::ios::binary);
    std::vector<LoggedCall> entries;
    std::string line;
    while (std::getline(in, line)) {
        LoggedCall call;
        std::istringstream words(line);
        words >> call.process;
        std::getline(words >> std::ws, call.text);
        entries.push_back(call);
    }
    return entries;
}

std::vector<std::string> ServerLog::Calls() const {
    std::vector<std::string> calls;
    for (const LoggedCall& entry : Entries()) {
        const std::string& text = entry.text;
        if (text == "create" || text.rfind("get ", 0) == 0 || text.rfind("put ", 0) == 0 ||
            text.rfind("call ", 0) == 0) {
            calls.push_back(text);
        }
    }
    return calls;
}

std::vector<DWORD> ServerLog::Processes() const {
    std::vector<DWORD> processes;
    for (const LoggedCall& entry : Entries()) {
        if (std::find(processes.begin(), processes.end(), entry.process) == processes.end()) {
            processes.push_back(entry.process);
        }
    }
    return processes;
}

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const ScratchFolder& folder, bool inFolder) {
    wchar_t self[MAX_PATH * 4] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
    const std::filesystem::path executable =
        std::filesystem::path(std::wstring(self, length)).parent_path() /
        platform::ToWide(program + ".exe");
    std::wstring commandLine = L"\"" + executable.native() + L"\"";
    for (const std::string& argument : arguments) {
        commandLine += L" \"" + platform::ToWide(argument) + L"\"";
    }

    const std::string outputPath = folder.Path(program + " output.txt");
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE output =
        ::CreateFileW(platform::ToWide(outputPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                      &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION process{};
    ProgramRun run;
    const std::wstring workingFolder = platform::ToWide(folder.Path());
    if (::CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                         inFolder ? workingFolder.c_str() : nullptr, &startup, &process)) {
        ::WaitForSingleObject(process.hProcess, INFINITE);
        ::GetExitCodeProcess(process.hProcess, &run.exitCode);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    } else {
        run.exitCode = static_cast<DWORD>(-1);
    }
    ::CloseHandle(output);
    run.output = folder.Read(program + " output.txt");
    return run;
}

bool ServerLog::EveryProcessEnded() const {
    // A server writes its "exit" after the client's last Release has returned, so the log
    // may lag a moment; a lingering server never writes it (its own limit is 60 s).
    constexpr int kPolls = 200;
    constexpr DWORD kPollMilliseconds = 100;
    for (int poll = 0; poll < kPolls; ++poll) {
        if (LoggedProcessesEnded()) {
            return true;
        }
        ::Sleep(kPollMilliseconds);
    }
    return false;
}

bool ServerLog::LoggedProcessesEnded() const {
    std::map<DWORD, int> running;
    for (const LoggedCall& entry : Entries()) {
        if (entry.text == "start") {
            ++running[entry.process];
        } else if (entry.text == "exit" || entry.text == "crash") {
            --running[entry.process];
        }
    }
    for (const auto& [process, count] : running) {
        if (count != 0) {
            return false;
        }
    }
    return !running.empty();
}

}  // namespace tabrook::wintest
