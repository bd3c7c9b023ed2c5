#pragma once
// Small readings of Office Open XML attribute and text values.

#include <optional>
#include <string>
#include <string_view>

namespace tabrook::calcserver::xlsb {

// Undoes the "_xHHHH_" escapes that Office Open XML uses for characters XML cannot hold.
std::string DecodeEscapes(std::string_view text);

// "1", "true", "on" are true; "0", "false", "off" false; anything else: `fallback`.
bool ParseBool(const char* text, bool fallback);

std::optional<double> ParseDouble(const char* text);
std::optional<long long> ParseInt(const char* text);

}  // namespace tabrook::calcserver::xlsb
