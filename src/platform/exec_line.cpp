#include "platform/exec_line.h"

namespace tabrook::platform {
namespace {

// The escapes every string value of a desktop entry may hold, undone before the Exec
// value's own quoting is read.
std::string UnescapeValue(std::string_view value) {
    std::string plain;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            plain += value[i];
            continue;
        }
        switch (value[++i]) {
            case 's':
                plain += ' ';
                break;
            case 'n':
                plain += '\n';
                break;
            case 't':
                plain += '\t';
                break;
            case 'r':
                plain += '\r';
                break;
            default:  // "\\" and escapes that belong to the Exec quoting keep their backslash
                if (value[i] != '\\') {
                    plain += '\\';
                }
                plain += value[i];
                break;
        }
    }
    return plain;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

}  // namespace

std::vector<std::string> ExpandExec(std::string_view exec, const std::string& target) {
    const std::string line = UnescapeValue(exec);
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    bool targetPlaced = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '\\' && i + 1 < line.size() &&
            std::string_view("\"`$\\").find(line[i + 1]) != std::string_view::npos) {
            current += line[++i];
        } else if (c == '"') {
            quoted = !quoted;
            inArgument = true;
        } else if (!quoted && IsBlank(c)) {
            if (inArgument) {
                arguments.push_back(current);
            }
            current.clear();
            inArgument = false;
        } else if (c == '%' && i + 1 < line.size()) {
            // Codes for the icon, the name or the entry's own file are left out: the
            // handler does without them, and an argument made of one alone disappears.
            const char code = line[++i];
            if (code == '%') {
                current += '%';
                inArgument = true;
            } else if (code == 'f' || code == 'F' || code == 'u' || code == 'U') {
                current += target;
                inArgument = true;
                targetPlaced = true;
            }
        } else if (c != '%') {
            current += c;
            inArgument = true;
        }
    }
    if (quoted) {
        return {};
    }
    if (inArgument) {
        arguments.push_back(current);
    }
    if (arguments.empty()) {
        return {};
    }
    if (!targetPlaced) {
        arguments.push_back(target);
    }
    return arguments;
}

}  // namespace tabrook::platform
