#include "calcserver/package/content_types.h"

#include <algorithm>
#include <pugixml.hpp>

#include "calcserver/package/package_xml.h"
#include "calcserver/package/xml_names.h"
#include "calcserver/package/zip_package.h"

namespace tabrook::calcserver::package {
namespace {

char FoldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view ExtensionOf(std::string_view part) {
    const auto dot = part.rfind('.');
    if (dot == std::string_view::npos || part.find('/', dot) != std::string_view::npos) {
        return {};
    }
    return part.substr(dot + 1);
}

}  // namespace

bool CaseBlindLess::operator()(std::string_view a, std::string_view b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return FoldAscii(x) < FoldAscii(y); });
}

std::string ContentTypes::TypeOf(std::string_view part) const {
    if (const auto found = overrides.find(part); found != overrides.end()) {
        return found->second;
    }
    const std::string_view extension = ExtensionOf(part);
    if (extension.empty()) {
        return {};
    }
    const auto found = defaults.find(extension);
    return found == defaults.end() ? std::string() : found->second;
}

ContentTypes ParseContentTypes(std::string_view xml) {
    pugi::xml_document document;
    LoadPart(document, xml, std::string(kContentTypesPart));
    const pugi::xml_node root = document.document_element();
    if (LocalName(root) != "Types") {
        throw PackageError("the package's content types list no types");
    }
    ContentTypes types;
    for (const pugi::xml_node node : root.children()) {
        const std::string_view name = LocalName(node);
        if (name == "Default") {
            types.defaults[node.attribute("Extension").value()] =
                node.attribute("ContentType").value();
        } else if (name == "Override") {
            std::string_view part = node.attribute("PartName").value();
            part.remove_prefix(part.starts_with('/') ? 1 : 0);
            types.overrides[std::string(part)] = node.attribute("ContentType").value();
        }
    }
    return types;
}

std::string WriteContentTypes(const ContentTypes& types) {
    pugi::xml_document document;
    AppendDeclaration(document);
    pugi::xml_node root = document.append_child("Types");
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
    return SavePart(document);
}

}  // namespace tabrook::calcserver::package
