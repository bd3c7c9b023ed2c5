#pragma once
// The part of a desktop entry file that says how to start its program.

#include <optional>
#include <string>

namespace tabrook::platform {

struct DesktopEntry {
    std::string name;  // the untranslated Name, for messages
    std::string exec;  // the Exec value as written
};

// Reads the [Desktop Entry] group of the file at `path`; nothing when the file cannot be read,
// has no Exec value or is hidden.
std::optional<DesktopEntry> ReadDesktopEntry(const std::string& path);

}  // namespace tabrook::platform
