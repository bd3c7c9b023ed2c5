#include "calcserver/xlsb/ooxml_text.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <pugixml.hpp>

namespace tabrook::calcserver::xlsb {
std::string RelationshipId(const pugi::xml_node& node) {
    constexpr std::string_view kRelationships =
        "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    for (const pugi::xml_attribute attribute : node.attributes()) {
        const std::string_view name = attribute.name();
        const auto colon = name.find(':');
        if (colon == std::string_view::npos || name.substr(colon + 1) != "id") {
            continue;
        }
        // The prefix must stand for the relationships namespace on this element or above.
        const std::string declaration = "xmlns:" + std::string(name.substr(0, colon));
        for (pugi::xml_node at = node; at; at = at.parent()) {
            if (const pugi::xml_attribute ns = at.attribute(declaration.c_str())) {
                if (ns.as_string() == kRelationships) {
                    return attribute.as_string();
                }
                break;
            }
        }
    }
    return node.attribute("r:id").as_string();
}

bool ParseBool(const char* text, bool fallback) {
    if (text == nullptr) {
        return fallback;
    }
    if (!std::strcmp(text, "1") || !std::strcmp(text, "true") || !std::strcmp(text, "on")) {
        return true;
    }
    if (!std::strcmp(text, "0") || !std::strcmp(text, "false") || !std::strcmp(text, "off")) {
        return false;
    }
    return fallback;
}

std::optional<double> ParseDouble(const char* text) {
    return text == nullptr ? std::nullopt : package::ParseXmlNumber(text);
}

std::optional<long long> ParseInt(const char* text) {
    if (text == nullptr || *text == '\0') {
        return std::nullopt;
    }
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (*end != '\0' || errno == ERANGE) {
        return std::nullopt;
    }
    return value;
}

}  // namespace tabrook::calcserver::xlsb
