#include "calcserver/office/profile_cache.h"

#include <stdlib.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

namespace tabrook::calcserver::office {
namespace {

namespace fs = std::filesystem;

constexpr const char* kManifest = "manifest";
constexpr std::size_t kMaxFiles = 1000;  // a prepared profile holds a few dozen

struct ManifestEntry {
    std::uint64_t size = 0;
    fs::path relative;
};

// The profile's own files, not what an office writes as it runs: logs, and the settings
// file, which is always ours (macros off, links never updated) and written afresh.
bool Cacheable(const fs::path& relative) {
    const std::string name = relative.filename().string();
    return !name.ends_with(".log") && name != "registrymodifications.xcu" &&
           !relative.string().starts_with("user/extensions/tmp");
}

bool SafeRelative(const fs::path& relative) {
    if (relative.empty() || relative.is_absolute()) {
        return false;
    }
    for (const auto& part : relative) {
        if (part == ".." || part == ".") {
            return false;
        }
    }
    return true;
}

std::vector<ManifestEntry> ReadManifest(const fs::path& file) {
    std::ifstream in(file);
    std::vector<ManifestEntry> entries;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        ManifestEntry entry;
        std::string relative;
        if (!(fields >> entry.size) || fields.get() != ' ' || !std::getline(fields, relative) ||
            entries.size() == kMaxFiles) {
            return {};
        }
        entry.relative = relative;
        if (!SafeRelative(entry.relative)) {
            return {};
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

// Every file the manifest names is there, at its size.
bool Whole(const fs::path& prepared) {
    const std::vector<ManifestEntry> entries = ReadManifest(prepared / kManifest);
    std::error_code error;
    for (const ManifestEntry& entry : entries) {
        const fs::path file = prepared / entry.relative;
        if (!fs::is_regular_file(fs::symlink_status(file, error)) ||
            fs::file_size(file, error) != entry.size) {
            return false;
        }
    }
    return !entries.empty();
}

// The build id alone may outlive an update of the office; its library's size and time
// do not.
std::string InstallationKey() {
    const std::string buildId = InstalledBuildId();
    if (buildId.empty()) {
        return {};
    }
    std::error_code error;
    const fs::path library = "/usr/lib/libreoffice/program/libmergedlo.so";
    const auto size = fs::file_size(library, error);
    const auto written = fs::last_write_time(library, error).time_since_epoch().count();
    std::uint64_t hash = 1469598103934665603ull;  // FNV-1a
    for (const char c : buildId + "/" + std::to_string(size) + "/" + std::to_string(written)) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return buildId + "-" + std::to_string(hash);
}

// The value of `key=` in one of the installation's settings files; empty when not there.
std::string InstallationSetting(const char* file, const std::string& key) {
    std::ifstream settings(fs::path("/usr/lib/libreoffice/program") / file);
    std::string line;
    while (std::getline(settings, line)) {
        if (line.starts_with(key + "=")) {
            return line.substr(key.size() + 1);
        }
    }
    return {};
}

}  // namespace

std::string InstalledBuildId() {
    return InstallationSetting("versionrc", "buildid");
}

std::string InstalledProductVersion() {
    // "ProductKey=LibreOffice 7.4": the version is the last word, digits and dots only.
    const std::string key = InstallationSetting("bootstraprc", "ProductKey");
    const std::string version = key.substr(key.rfind(' ') + 1);
    const bool plain =
        !version.empty() && version.find_first_not_of("0123456789.") == std::string::npos;
    return plain && version.find('.') != std::string::npos ? version : std::string();
}

ProfileCache ProfileCache::ForThisUser() {
    fs::path folder;
    if (const char* cache = ::getenv("XDG_CACHE_HOME"); cache && fs::path(cache).is_absolute()) {
        folder = fs::path(cache) / "tabrook";
    } else if (const char* home = ::getenv("HOME"); home && fs::path(home).is_absolute()) {
        folder = fs::path(home) / ".cache" / "tabrook";
    }
    return ProfileCache(folder, InstallationKey());
}

ProfileCache::ProfileCache(fs::path folder, std::string key)
    : folder_(std::move(folder)), key_(std::move(key)) {}

fs::path ProfileCache::PreparedFolder() const {
    // Only letters, digits and a few marks of the key name the folder.
    std::string key;
    for (const char c : key_) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_';
        key += plain ? c : '_';
    }
    return folder_.empty() || key.empty() ? fs::path() : folder_ / ("profile-" + key);
}

bool ProfileCache::CopyInto(const fs::path& profile) const {
    const fs::path prepared = PreparedFolder();
    if (prepared.empty()) {
        return false;
    }
    if (!Whole(prepared)) {
        return false;
    }
    const std::vector<ManifestEntry> entries = ReadManifest(prepared / kManifest);
    std::error_code error;
    for (const ManifestEntry& entry : entries) {
        const fs::path to = profile / entry.relative;
        fs::create_directories(to.parent_path(), error);
        if (!error) {
            fs::copy_file(prepared / entry.relative, to, fs::copy_options::overwrite_existing,
                          error);
        }
        if (error) {
            for (const ManifestEntry& copied : entries) {
                fs::remove(profile / copied.relative, error);
            }
            return false;
        }
    }
    return true;
}

void ProfileCache::Keep(const fs::path& profile) const {
    const fs::path prepared = PreparedFolder();
    std::error_code error;
    if (prepared.empty() || Whole(prepared)) {
        return;
    }
    if (fs::exists(prepared, error)) {
        Forget();  // damaged, or a copy that never finished
    }
    fs::create_directories(folder_, error);
    std::string staging = (folder_ / "staging-XXXXXX").string();
    if (error || ::mkdtemp(staging.data()) == nullptr) {
        return;
    }
    std::ostringstream manifest;
    std::size_t files = 0;
    for (auto it = fs::recursive_directory_iterator(profile, error);
         !error && it != fs::recursive_directory_iterator() && files < kMaxFiles;
         it.increment(error)) {
        const fs::path relative = it->path().lexically_relative(profile);
        if (!it->is_regular_file(error) || it->is_symlink(error) || !Cacheable(relative)) {
            continue;
        }
        fs::create_directories(fs::path(staging) / relative.parent_path(), error);
        fs::copy_file(it->path(), fs::path(staging) / relative, error);
        const auto size = fs::file_size(fs::path(staging) / relative, error);
        manifest << size << ' ' << relative.generic_string() << '\n';
        ++files;
    }
    if (!error) {
        std::ofstream out(fs::path(staging) / kManifest);
        out << manifest.str();
        out.close();
        if (!out) {
            error = std::make_error_code(std::errc::io_error);
        }
    }
    // A folder is renamed only onto nothing or an empty one: another run that kept its
    // profile first wins, and this copy goes.
    if (!error) {
        fs::rename(staging, prepared, error);
    }
    if (error) {
        fs::remove_all(staging, error);
    }
}

void ProfileCache::Forget() const {
    const fs::path prepared = PreparedFolder();
    if (prepared.empty()) {
        return;
    }
    // Renamed away first, so that no reader copies from a half-removed folder.
    std::string doomed = (folder_ / "forget-XXXXXX").string();
    std::error_code error;
    if (::mkdtemp(doomed.data()) != nullptr) {
        fs::rename(prepared, fs::path(doomed) / "profile", error);
        fs::remove_all(doomed, error);
    }
}

}  // namespace tabrook::calcserver::office
