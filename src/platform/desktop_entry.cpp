#include "platform/desktop_entry.h"

#include <fstream>

namespace tabrook::platform {
namespace {

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

std::optional<DesktopEntry> ReadDesktopEntry(const std::string& path) {
    std::ifstream file(path);
    if (!file) {
        return std::nullopt;
    }
    DesktopEntry entry;
    bool inMainGroup = false;
    bool hidden = false;
    std::string line;
    while (std::getline(file, line)) {
        line = Trimmed(line);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            // Action groups have Exec values of their own.
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const auto equals = line.find('=');
        if (!inMainGroup || equals == std::string::npos) {
            continue;
        }
        const std::string key = Trimmed(line.substr(0, equals));
        const std::string value = Trimmed(line.substr(equals + 1));
        if (key == "Exec") {
            entry.exec = value;
        } else if (key == "Name") {
            entry.name = value;
        } else if (key == "Hidden") {
            hidden = value == "true";
        }
    }
    if (hidden || entry.exec.empty()) {
        return std::nullopt;
    }
    return entry;
}

}  // namespace tabrook::platform
