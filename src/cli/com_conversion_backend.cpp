#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include "cli/conversion_backend.h"
#include "platform/native_path.h"
#include "platform/windows_file_system.h"

namespace tabrook::cli {
namespace {

// Ctrl+C leaves the program as long as it takes; a closed console gives it 5 s and then
// ends it anyway.
constexpr auto kFinishLimit = std::chrono::seconds(20);
constexpr auto kPollInterval = std::chrono::milliseconds(50);

}  // namespace

std::unique_ptr<platform::FileSystem> MakeRunFileSystem() {
    return std::make_unique<platform::WindowsFileSystem>();
}

// Nothing to register: CreateObject reaches the application COM has for the name, and
// every instance is a process of its own, so `jobs` instances work at once.
void RegisterConversionServer(platform::AutomationRegistry&, std::size_t) {}

bool ServerReportsChanges() {
    return false;
}

// The application is a process of its own, which reads a relative path against its own
// folder (the user's documents, as a rule), not against the folder the user ran us in.
std::string PathForServer(const std::string& path) {
    std::error_code error;
    const std::filesystem::path full =
        std::filesystem::absolute(platform::PathFromUtf8(path), error);
    return error ? path : platform::Utf8FromPath(full);
}

// A client holds no handle on the application's process, and a call in progress cannot be
// cut short: ending the program now would leave each busy instance running with no one to
// send it Quit. So the conversions in progress finish (each one closes its workbook and
// quits its instance, and its result is shown), bounded, and no other starts.
void AbandonConversions(TargetsInFlight& inFlight) {
    inFlight.StopStarting();
    const auto deadline = std::chrono::steady_clock::now() + kFinishLimit;
    while (!inFlight.Snapshot().empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kPollInterval);
    }
    inFlight.Stop();
}

}  // namespace tabrook::cli
