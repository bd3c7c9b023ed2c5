#pragma once
// Elements and attributes matched by local name: producers differ in the namespace prefixes
// they write ("x:sheetPr" as well as "sheetPr", "r:id" under any prefix).

#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace tabrook::calcserver::package {

inline std::string_view LocalName(std::string_view name) {
    const auto colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

inline std::string_view LocalName(const pugi::xml_node node) {
    return LocalName(std::string_view(node.name()));
}

// The first child element with that local name, or an empty node.
inline pugi::xml_node ChildNamed(const pugi::xml_node parent, std::string_view local) {
    for (const pugi::xml_node child : parent.children()) {
        if (child.type() == pugi::node_element && LocalName(child) == local) {
            return child;
        }
    }
    return {};
}

// An attribute by local name, such as the relationship id "r:id"; namespace declarations
// ("xmlns:id") never match.
inline pugi::xml_attribute AttributeNamed(const pugi::xml_node node, std::string_view local) {
    for (const pugi::xml_attribute attribute : node.attributes()) {
        const std::string_view name = attribute.name();
        if (LocalName(name) == local && !name.starts_with("xmlns:")) {
            return attribute;
        }
    }
    return {};
}

// `local` with the namespace prefix `node` has, for a new element beside or below it that
// must be in the same namespace: ("x:sst", "si") -> "x:si".
inline std::string WithPrefixOf(const pugi::xml_node node, std::string_view local) {
    const std::string_view name = node.name();
    const auto colon = name.find(':');
    std::string qualified(colon == std::string_view::npos ? std::string_view()
                                                          : name.substr(0, colon + 1));
    return qualified.append(local);
}

}  // namespace tabrook::calcserver::package
