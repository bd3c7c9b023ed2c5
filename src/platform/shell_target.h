#pragma once
// What the shell was asked to open: the kind of target and the types a handler is looked up
// by, most specific first.

#include <string>
#include <vector>

namespace tabrook::platform {

enum class TargetKind { Folder, File, WebAddress, MailLink, Missing };

struct ShellTarget {
    TargetKind kind;
    std::string text;                // the local path or the address to hand over
    std::vector<std::string> types;  // empty for a missing path
    std::string typeName;            // a file type's description, for messages
};

// A path (or file:// address) is looked up by what it holds, an address by its scheme.
ShellTarget ClassifyTarget(const std::string& target);

}  // namespace tabrook::platform
