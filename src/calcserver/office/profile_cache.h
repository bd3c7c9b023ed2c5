#pragma once
// A profile prepared once per user and LibreOffice build, copied for each office's private
// profile: a brand-new profile makes LibreOffice register its bundled extensions before it
// answers, a cost every start would pay again. A cache that is missing, half-written or
// damaged is never used: the office then starts from a fresh profile, as without a cache.

#include <filesystem>
#include <string>

namespace tabrook::calcserver::office {

// The installed office's build id ("buildid=" of its versionrc); empty when unknown.
std::string InstalledBuildId();
// The installed office's major.minor version ("7.4", from its bootstraprc); empty when unknown.
std::string InstalledProductVersion();

class ProfileCache {
  public:
    // $XDG_CACHE_HOME/tabrook, else $HOME/.cache/tabrook, keyed by the installed build;
    // disabled when neither variable is set or the build is unknown.
    static ProfileCache ForThisUser();
    // Prepared profiles in `folder`, one for each `key` (an installation); an empty folder
    // or key keeps none.
    ProfileCache(std::filesystem::path folder, std::string key);

    // Copies the prepared profile's files into `profile`; false (and nothing copied) when
    // there is none or it is not whole.
    bool CopyInto(const std::filesystem::path& profile) const;
    // Keeps the files of `profile`, of an office that started from it and answered, as the
    // prepared profile, unless one is there already. Written beside and renamed into place,
    // so that a reader sees it whole or not at all. Failures are ignored: it is a cache.
    void Keep(const std::filesystem::path& profile) const;
    // Drops the prepared profile, after an office would not start from it.
    void Forget() const;

    std::filesystem::path PreparedFolder() const;

  private:
    std::filesystem::path folder_;
    std::string key_;
};

}  // namespace tabrook::calcserver::office
