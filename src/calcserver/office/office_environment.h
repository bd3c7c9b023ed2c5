#pragma once
// What every office session of the program shares: the thread that starts the processes
// and the local UNO runtime that talks to them. Made once, on first use.

#include <filesystem>
#include <memory>

#include "calcserver/office/profile_cache.h"

namespace tabrook::calcserver::office {

class ProcessLauncher;

class OfficeEnvironment {
  public:
    // Throws platform::AutomationError 429 when LibreOffice's runtime cannot be loaded.
    static std::shared_ptr<OfficeEnvironment> Create();
    ~OfficeEnvironment();
    OfficeEnvironment(const OfficeEnvironment&) = delete;
    OfficeEnvironment& operator=(const OfficeEnvironment&) = delete;

    ProcessLauncher& Launcher() { return *launcher_; }
    // A new private folder for one office process.
    std::filesystem::path NewProcessFolder() const;
    // The profile prepared once per user and build, for every office to start from.
    const ProfileCache& Profiles() const { return profiles_; }

    // The local component context, as an opaque pointer for the UNO-side code.
    struct Uno;
    Uno& UnoRuntime() { return *uno_; }

  private:
    OfficeEnvironment();

    std::filesystem::path folder_;
    ProfileCache profiles_ = ProfileCache::ForThisUser();
    std::unique_ptr<ProcessLauncher> launcher_;
    std::unique_ptr<Uno> uno_;
};

}  // namespace tabrook::calcserver::office
