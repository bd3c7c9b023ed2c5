#pragma once
// Namespace prefixes vary between producers; these match elements by local name.

#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace tabrook::calcserver::cellexact {

inline std::string_view LocalName(const pugi::xml_node node) {
    const std::string_view name = node.name();
    const auto colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// The namespace prefix of an element with its colon ("x:"), empty when it has none; new
// elements take their parent's.
inline std::string PrefixOf(const pugi::xml_node node) {
    const std::string_view name = node.name();
    const auto colon = name.find(':');
    return colon == std::string_view::npos ? "" : std::string(name.substr(0, colon + 1));
}

inline pugi::xml_node ChildNamed(const pugi::xml_node parent, std::string_view local) {
    for (const pugi::xml_node child : parent.children()) {
        if (LocalName(child) == local) {
            return child;
        }
    }
    return {};
}

// An attribute by local name, such as the relationship id "r:id".
inline pugi::xml_attribute AttributeNamed(const pugi::xml_node node, std::string_view local) {
    for (const pugi::xml_attribute attribute : node.attributes()) {
        std::string_view name = attribute.name();
        const auto colon = name.find(':');
        if (colon != std::string_view::npos) {
            name = name.substr(colon + 1);
        }
        if (name == local) {
            return attribute;
        }
    }
    return {};
}

}  // namespace tabrook::calcserver::cellexact
