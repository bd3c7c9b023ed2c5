#include "calcserver/xlsb/package_map.h"

#include <algorithm>
#include <cctype>
#include <pugixml.hpp>
#include <sstream>

#include "calcserver/xlsb/xlsb_error.h"

namespace tabrook::calcserver::xlsb {
namespace {

pugi::xml_document Load(std::string_view xml, const char* what) {
    pugi::xml_document doc;
    const auto parsed = doc.load_buffer(xml.data(), xml.size());
    if (!parsed) {
        throw XlsbError(std::string("the package's ") + what +
                        " cannot be read: " + parsed.description());
    }
    return doc;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Serialize(const pugi::xml_document& doc) {
    std::ostringstream out;
    doc.save(out, "", pugi::format_raw, pugi::encoding_utf8);
    return out.str();
}

std::string StripSlash(std::string name) {
    if (!name.empty() && name.front() == '/') {
        name.erase(0, 1);
    }
    return name;
}

}  // namespace

std::string ContentTypes::TypeOf(const std::string& part) const {
    if (const auto found = overrides.find(part); found != overrides.end()) {
        return found->second;
    }
    const auto dot = part.rfind('.');
    if (dot == std::string::npos || part.find('/', dot) != std::string::npos) {
        return "";
    }
    const auto found = defaults.find(Lower(part.substr(dot + 1)));
    return found == defaults.end() ? "" : found->second;
}

ContentTypes ParseContentTypes(std::string_view xml) {
    const pugi::xml_document doc = Load(xml, "content types");
    ContentTypes types;
    for (const pugi::xml_node node : doc.child("Types").children()) {
        if (std::string_view(node.name()) == "Default") {
            types.defaults[Lower(node.attribute("Extension").as_string())] =
                node.attribute("ContentType").as_string();
        } else if (std::string_view(node.name()) == "Override") {
            types.overrides[StripSlash(node.attribute("PartName").as_string())] =
                node.attribute("ContentType").as_string();
        }
    }
    return types;
}

std::string WriteContentTypes(const ContentTypes& types) {
    pugi::xml_document doc;
    auto declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    declaration.append_attribute("standalone") = "yes";
    pugi::xml_node root = doc.append_child("Types");
    root.append_attribute("xmlns") = "http://schemas.openxmlformats.org/package/2006/content-types";
    for (const auto& [extension, type] : types.defaults) {
        pugi::xml_node node = root.append_child("Default");
        node.append_attribute("Extension") = extension.c_str();
        node.append_attribute("ContentType") = type.c_str();
    }
    for (const auto& [part, type] : types.overrides) {
        pugi::xml_node node = root.append_child("Override");
        node.append_attribute("PartName") = ("/" + part).c_str();
        node.append_attribute("ContentType") = type.c_str();
    }
    return Serialize(doc);
}

std::vector<Relationship> ParseRelationships(std::string_view xml) {
    const pugi::xml_document doc = Load(xml, "relationships");
    std::vector<Relationship> out;
    for (const pugi::xml_node node : doc.child("Relationships").children("Relationship")) {
        out.push_back({node.attribute("Id").as_string(), node.attribute("Type").as_string(),
                       node.attribute("Target").as_string(),
                       std::string_view(node.attribute("TargetMode").as_string()) == "External"});
    }
    return out;
}

std::string WriteRelationships(const std::vector<Relationship>& relationships) {
    pugi::xml_document doc;
    auto declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    declaration.append_attribute("standalone") = "yes";
    pugi::xml_node root = doc.append_child("Relationships");
    root.append_attribute("xmlns") = "http://schemas.openxmlformats.org/package/2006/relationships";
    for (const Relationship& relationship : relationships) {
        pugi::xml_node node = root.append_child("Relationship");
        node.append_attribute("Id") = relationship.id.c_str();
        node.append_attribute("Type") = relationship.type.c_str();
        node.append_attribute("Target") = relationship.target.c_str();
        if (relationship.external) {
            node.append_attribute("TargetMode") = "External";
        }
    }
    return Serialize(doc);
}

bool HasRelationshipKind(const Relationship& relationship, std::string_view kind) {
    const std::string_view type = relationship.type;
    return type.size() > kind.size() && type.ends_with(kind) &&
           type[type.size() - kind.size() - 1] == '/';
}

}  // namespace tabrook::calcserver::xlsb
