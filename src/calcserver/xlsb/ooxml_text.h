#pragma once
// Small readings of Office Open XML attribute and text values.

#include <optional>
#include <string>
#include <string_view>

#include "calcserver/package/ooxml_text.h"

namespace pugi {
class xml_node;
}

namespace tabrook::calcserver::xlsb {

// The relationship id attribute of an element, whatever prefix its namespace has
// ("r:id" as usually written).
std::string RelationshipId(const pugi::xml_node& node);

// "1", "true", "on" are true; "0", "false", "off" false; anything else: `fallback`.
bool ParseBool(const char* text, bool fallback);

std::optional<double> ParseDouble(const char* text);
std::optional<long long> ParseInt(const char* text);

// Undoes the "_xHHHH_" escapes that Office Open XML uses for characters XML cannot hold.
inline std::string DecodeEscapes(std::string_view text) {
    return package::DecodeCellText(text);
}

}  // namespace tabrook::calcserver::xlsb
