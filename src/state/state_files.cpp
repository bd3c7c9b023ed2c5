#include "state/state_files.h"

#include "platform/file_system.h"

namespace tabrook::state {

std::string StateFilePath(const std::string& appFolder, std::string_view fileName) {
    return appFolder + "/" + std::string(fileName);
}

std::vector<std::string> ReadStateList(const platform::FileSystem& fileSystem,
                                       const std::string& path) {
    return fileSystem.ReadLines(path).value_or(std::vector<std::string>{});
}

bool WriteStateList(platform::FileSystem& fileSystem, const std::string& path,
                    const std::vector<std::string>& values) {
    return fileSystem.WriteLines(path, values);
}

Preferences ReadPreferences(const platform::FileSystem& fileSystem, const std::string& path) {
    const std::vector<std::string> lines = ReadStateList(fileSystem, path);
    Preferences preferences;
    if (!lines.empty()) {
        preferences.line1 = lines[0];
    }
    if (lines.size() > 1) {
        preferences.line2 = lines[1];
    }
    return preferences;
}

bool WritePreferences(platform::FileSystem& fileSystem, const std::string& path,
                      bool saveSourceEntries, bool saveOutputFolders) {
    return fileSystem.WriteLines(path,
                                 {saveSourceEntries ? "1" : "0", saveOutputFolders ? "1" : "0"});
}

}  // namespace tabrook::state
