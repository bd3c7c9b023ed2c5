#pragma once
// Wildcard matching of directory-search patterns against entry names.

#include <string_view>

namespace tabrook::platform {

bool HasWildcards(std::string_view text);

// "*" and "?" against a name, without regard to ASCII letter case.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// Matches as the search of a volume with short aliases does: against the name itself, or
// against the name with its last extension cut to three characters, so "*.xls" also
// takes "report.xlsx" but not "book.xls.bak".
bool SearchNameMatches(std::string_view pattern, std::string_view name);

}  // namespace tabrook::platform
