#include "calcserver/server/abandon_run.h"
#include "calcserver/server/register_calc_server.h"
#include "cli/conversion_backend.h"
#include "platform/posix_file_system.h"

namespace tabrook::cli {

std::unique_ptr<platform::FileSystem> MakeRunFileSystem() {
    return std::make_unique<platform::PosixFileSystem>();
}

void RegisterConversionServer(platform::AutomationRegistry& automation, std::size_t jobs) {
    calcserver::CalcServerOptions server;
    server.idleOffices = jobs;
    calcserver::RegisterCalcServer(automation, server);
}

bool ServerReportsChanges() {
    return true;
}

// The server resolves a relative path against this process's folder, as the user does.
std::string PathForServer(const std::string& path) {
    return path;
}

void AbandonConversions(TargetsInFlight& inFlight) {
    inFlight.Stop();
    // The offices are ours to kill, and their temporaries ours to remove.
    calcserver::AbandonRun(inFlight.Snapshot());
}

}  // namespace tabrook::cli
