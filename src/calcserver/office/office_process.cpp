#include "calcserver/office/office_process.h"

#include <signal.h>
#include <sys/wait.h>

#include <cerrno>
#include <fstream>
#include <system_error>

#include "calcserver/office/file_url.h"
#include "calcserver/office/leftovers.h"
#include "calcserver/office/process_launcher.h"
#include "calcserver/office/profile_cache.h"

namespace tabrook::calcserver::office {
namespace {

constexpr const char* kOfficeBinary = "/usr/lib/libreoffice/program/soffice.bin";

// Settings a fresh profile starts with: no macro may run, and links to other files or the
// network are never refreshed.
constexpr const char* kProfileSettingsHead = R"(<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="MacroSecurityLevel" oor:op="fuse"><value>3</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="DisableMacrosExecution" oor:op="fuse"><value>true</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="BlockUntrustedRefererLinks" oor:op="fuse"><value>true</value></prop></item>
<item oor:path="/org.openoffice.Office.Calc/Content/Update"><prop oor:name="Link" oor:op="fuse"><value>1</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="FirstRun" oor:op="fuse"><value>false</value></prop></item>
)";

// A profile that does not name the version that last ran in it counts as upgraded, and an
// upgraded profile makes the office run its graphics self-tests before it answers: about
// 3 s of every start, headless or not. Naming the installed version skips them.
std::string ProfileSettings() {
    std::string settings = kProfileSettingsHead;
    if (const std::string version = InstalledProductVersion(); !version.empty()) {
        settings += R"(<item oor:path="/org.openoffice.Setup/Product"><prop )"
                    R"(oor:name="ooSetupLastVersion" oor:op="fuse"><value>)" +
                    version + "</value></prop></item>\n";
    }
    return settings + "</oor:items>\n";
}

// A new profile makes LibreOffice clear its extension cache and exit with 81 to be started
// again, unless the profile already names the installed build; naming it saves that round.
void SeedBuildId(const std::filesystem::path& profile) {
    const std::string buildId = InstalledBuildId();
    if (!buildId.empty()) {
        std::filesystem::create_directories(profile / "user" / "extensions");
        std::ofstream(profile / "user" / "extensions" / "buildid") << buildId;
    }
}

// An office converting one workbook after another frees and takes back the same large
// blocks. By default its allocator maps big blocks afresh and returns freed memory at once,
// so every workbook faults its pages in again: nearly half of the office's page faults, at
// several microseconds each on a virtual machine. Big blocks stay on the heap, up to 64 MiB
// of free heap is kept, and two arenas serve its threads (a converting office keeps about
// one core busy). The office still ends after a fixed number of workbooks, which bounds what
// it holds.
constexpr const char* kOfficeHeapTunables =
    "GLIBC_TUNABLES=glibc.malloc.trim_threshold=67108864:glibc.malloc.mmap_threshold=33554432:"
    "glibc.malloc.arena_max=2";

// An office converts one workbook at a time, and a run keeps one office per core busy. Its
// own worker threads (the export of long sheets is split over them) then only contend with
// the other offices: a single worker thread per office left less of the machine idle and
// took no longer with one office either.
constexpr const char* kOfficeThreads = "MAX_CONCURRENCY=1";

// What mkdtemp put for "XXXXXX": letters and digits only.
std::string UniquePart(const std::filesystem::path& folder) {
    const std::string name = folder.filename().string();
    return name.substr(name.rfind('-') + 1);
}

}  // namespace

OfficeProcess::OfficeProcess(ProcessLauncher& launcher, std::filesystem::path folder,
                             const ProfileCache* profiles)
    : launcher_(launcher), folder_(std::move(folder)) {
    // Unique on this machine (the program's folder, then the process's), and made of letters
    // and digits whatever the temporary folder is called.
    pipeName_ = OwnedPipePrefix() + UniquePart(folder_.parent_path()) + UniquePart(folder_);
    std::filesystem::create_directories(folder_ / "profile" / "user");
    std::filesystem::create_directories(OutputFolder());
    std::filesystem::create_directories(folder_ / "tmp");
    profileFromCache_ = profiles != nullptr && profiles->CopyInto(Profile());
    if (!profileFromCache_) {
        SeedBuildId(Profile());
    }
    // Always ours, also over a prepared profile: macros off, links never updated.
    std::ofstream(Profile() / "user" / "registrymodifications.xcu") << ProfileSettings();
}

OfficeProcess::~OfficeProcess() {
    Kill();
    // The office never removes its pipe's socket; without this every run left one per office
    // in /tmp until the next run swept it.
    RemoveOwnPipe(pipeName_);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

void OfficeProcess::Start() {
    std::lock_guard lock(mutex_);
    if (killed_) {
        return;
    }
    exitCode_.reset();
    pid_ = launcher_.Spawn(
        {kOfficeBinary, "--headless", "--invisible", "--nologo", "--norestore", "--nodefault",
         "--nolockcheck", "--nofirststartwizard",
         "-env:UserInstallation=" + FileUrl(folder_ / "profile"),
         "--accept=pipe,name=" + pipeName_ + ";urp;"},
        // The office's own temporary folders ("lu*.tmp") go with its private folder; a killed
        // office cannot remove them itself.
        {"TMPDIR=" + (folder_ / "tmp").string(), kOfficeHeapTunables, kOfficeThreads});
}

pid_t OfficeProcess::Pid() {
    std::lock_guard lock(mutex_);
    return pid_;
}

std::optional<int> OfficeProcess::ExitCode() {
    std::lock_guard lock(mutex_);
    Reap(WNOHANG);
    return exitCode_;
}

void OfficeProcess::Kill() {
    std::lock_guard lock(mutex_);
    killed_ = true;
    if (pid_ > 0 && !exitCode_) {
        ::kill(pid_, SIGKILL);
        Reap(0);
    }
}

void OfficeProcess::Reap(int options) {
    if (pid_ <= 0 || exitCode_) {
        return;
    }
    int status = 0;
    pid_t done = 0;
    do {
        done = ::waitpid(pid_, &status, options);
    } while (done < 0 && errno == EINTR);
    if (done == pid_) {
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    } else if (done < 0) {
        exitCode_ = -1;  // reaped elsewhere; it is gone either way
    }
}

}  // namespace tabrook::calcserver::office
