#pragma once
// The three state files beside the executable: source entries, remembered output folders
// and the two saving preferences.

#include <string>
#include <string_view>
#include <vector>

namespace tabrook::platform {
class FileSystem;
}

namespace tabrook::state {

inline constexpr std::string_view kSourceEntriesFile = "EXCEL.txt";
inline constexpr std::string_view kOutputFoldersFile = "output.txt";
inline constexpr std::string_view kSettingsFile = "set.txt";
// Entries 0 to 200 of the output folder list are saved; later ones are dropped.
inline constexpr std::size_t kMaxSavedOutputFolders = 201;

std::string StateFilePath(const std::string& appFolder, std::string_view fileName);

// The file's lines; a missing or unreadable file reads as empty.
std::vector<std::string> ReadStateList(const platform::FileSystem& fileSystem,
                                       const std::string& path);
// Replaces the file whole; false when it could not be written (the old content stays).
bool WriteStateList(platform::FileSystem& fileSystem, const std::string& path,
                    const std::vector<std::string>& values);

struct Preferences {
    std::string line1;  // save the source entries at shut-down
    std::string line2;  // save the output folders at shut-down
    // Only the exact text "1" is on.
    bool SaveSourceEntries() const { return line1 == "1"; }
    bool SaveOutputFolders() const { return line2 == "1"; }
};

// Lines after the second are ignored; a line that is not there reads as empty.
Preferences ReadPreferences(const platform::FileSystem& fileSystem, const std::string& path);
bool WritePreferences(platform::FileSystem& fileSystem, const std::string& path,
                      bool saveSourceEntries, bool saveOutputFolders);

}  // namespace tabrook::state
