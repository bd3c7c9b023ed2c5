#pragma once
// The text of a state file, the same on every platform: lines end at CR LF, a lone CR or a
// lone LF when read, and are always written with CR LF.

#include <string>
#include <string_view>
#include <vector>

namespace tabrook::platform {

std::vector<std::string> SplitStateLines(std::string_view content);

std::string JoinStateLines(const std::vector<std::string>& lines);

}  // namespace tabrook::platform
