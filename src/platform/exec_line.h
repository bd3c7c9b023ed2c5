#pragma once
// The argument vector a desktop entry's Exec value gives for one target. Programs start from
// this vector directly, so a target with blanks, quotes or "$" stays one argument.

#include <string>
#include <string_view>
#include <vector>

namespace tabrook::platform {

// `exec` is the value as written in the entry; the target replaces %f, %F, %u and %U and is
// appended when none is there. Empty when the value is malformed (an unclosed quote).
std::vector<std::string> ExpandExec(std::string_view exec, const std::string& target);

}  // namespace tabrook::platform
