#pragma once
// One headless soffice.bin with a private user profile and a private accept pipe. The
// process is killed and its folder removed when the object goes.

#include <sys/types.h>

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

namespace tabrook::calcserver::office {

class ProcessLauncher;
class ProfileCache;

class OfficeProcess {
  public:
    // `folder` is private to this process: the profile and the office's output live there.
    // The profile is copied from `profiles` when it holds a prepared one, else made fresh.
    OfficeProcess(ProcessLauncher& launcher, std::filesystem::path folder,
                  const ProfileCache* profiles);
    ~OfficeProcess();
    OfficeProcess(const OfficeProcess&) = delete;
    OfficeProcess& operator=(const OfficeProcess&) = delete;

    // Starts soffice.bin (again, should a first start on the new profile exit with 81).
    // Does nothing once Kill() was called.
    void Start();
    // The exit code once the process has ended (a signal gives 128 + its number), else empty.
    std::optional<int> ExitCode();
    // Ends the process for good; safe from any thread.
    void Kill();

    pid_t Pid();
    const std::string& PipeName() const { return pipeName_; }
    const std::filesystem::path& Folder() const { return folder_; }
    std::filesystem::path Profile() const { return folder_ / "profile"; }
    bool ProfileFromCache() const { return profileFromCache_; }
    std::filesystem::path OutputFolder() const { return folder_ / "out"; }

  private:
    void Reap(int options);

    std::mutex mutex_;  // Kill() may come from another thread than the calls
    bool killed_ = false;
    ProcessLauncher& launcher_;
    std::filesystem::path folder_;
    std::string pipeName_;
    bool profileFromCache_ = false;
    pid_t pid_ = -1;
    std::optional<int> exitCode_;
};

// The exit code LibreOffice uses once after it has set up a brand-new profile.
inline constexpr int kOfficeRestartRequested = 81;

}  // namespace tabrook::calcserver::office
