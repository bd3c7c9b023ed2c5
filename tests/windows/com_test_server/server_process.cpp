#include "com_test_server/server_process.h"

#include <sstream>

#include "platform/windows_text.h"

namespace tabrook::testserver {

using platform::ToWide;

ServerProcess::ServerProcess(DWORD mainThread) : mainThread_(mainThread) {
    wchar_t path[MAX_PATH * 4] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"TABROOK_TEST_SERVER_LOG", path, MAX_PATH * 4);
    if (length > 0 && length < MAX_PATH * 4) {
        logPath_.assign(path, length);
    }
}

void ServerProcess::ObjectMade() {
    ++liveObjects_;
    everMade_ = true;
}

void ServerProcess::ObjectGone() {
    if (--liveObjects_ == 0) {
        ::PostThreadMessageW(mainThread_, WM_QUIT, 0, 0);
    }
}

void ServerProcess::Log(const std::string& line) const {
    if (logPath_.empty()) {
        return;
    }
    HANDLE file =
        ::CreateFileW(logPath_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    const std::string text = std::to_string(::GetCurrentProcessId()) + " " + line + "\n";
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::FlushFileBuffers(file);
    ::CloseHandle(file);
}

void ServerProcess::AddFaults(const std::string& instructions) {
    std::istringstream lines(instructions);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::istringstream words(line);
        Fault fault;
        words >> fault.kind >> fault.member;
        if (fault.kind == "fail") {
            words >> fault.number;
            std::getline(words >> std::ws, fault.text);
        } else if (fault.kind != "missing" && fault.kind != "crash") {
            continue;
        }
        faults_.push_back(fault);
    }
}

const Fault* ServerProcess::FaultFor(const std::string& member) const {
    for (const Fault& fault : faults_) {
        if (fault.member == member) {
            return &fault;
        }
    }
    return nullptr;
}

void ServerProcess::ActOnFault(const std::string& member) const {
    const Fault* fault = FaultFor(member);
    if (fault == nullptr) {
        return;
    }
    if (fault->kind == "crash") {
        Crash();
    }
    if (fault->kind == "fail") {
        throw CallFailure{fault->number, fault->text};
    }
}

void ServerProcess::Crash() const {
    Log("crash");
    // As abruptly as a fault in the application: no clean-up, no goodbye to the client.
    ::TerminateProcess(::GetCurrentProcess(), 3);
    for (;;) {
        ::Sleep(INFINITE);
    }
}

}  // namespace tabrook::testserver
