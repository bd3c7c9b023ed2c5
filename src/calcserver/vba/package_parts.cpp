#include "calcserver/vba/package_parts.h"

#include <vector>

#include "calcserver/vba/package_xml.h"
#include "calcserver/vba/vba_error.h"

namespace tabrook::calcserver::vba {
namespace {

constexpr const char* kRelationshipsNamespace =
    "http://schemas.openxmlformats.org/package/2006/relationships";

std::string PartName(std::string_view part) {
    return "/" + std::string(part);
}

}  // namespace

Relationships::Relationships(const std::string& xml, const std::string& partName) {
    if (xml.empty()) {
        document_.append_child(pugi::node_declaration).append_attribute("version") = "1.0";
        document_.first_child().append_attribute("encoding") = "UTF-8";
        document_.first_child().append_attribute("standalone") = "yes";
        document_.append_child("Relationships").append_attribute("xmlns") = kRelationshipsNamespace;
        return;
    }
    LoadPart(document_, xml, partName);
    if (LocalName(document_.document_element()) != "Relationships") {
        throw VbaError("the converted package's part " + partName + " is not a relationship list");
    }
}

std::vector<Relationship> Relationships::All() const {
    std::vector<Relationship> list;
    for (pugi::xml_node node : document_.document_element().children()) {
        if (node.type() != pugi::node_element || LocalName(node) != "Relationship") {
            continue;
        }
        list.push_back({node.attribute("Id").value(), node.attribute("Type").value(),
                        node.attribute("Target").value(),
                        std::string_view(node.attribute("TargetMode").value()) == "External"});
    }
    return list;
}

std::vector<Relationship> Relationships::OfType(std::string_view type) const {
    std::vector<Relationship> matching;
    for (Relationship& relationship : All()) {
        if (relationship.type == type) {
            matching.push_back(std::move(relationship));
        }
    }
    return matching;
}

void Relationships::RemoveOfType(std::string_view type) {
    pugi::xml_node root = document_.document_element();
    for (pugi::xml_node node = root.first_child(); node;) {
        const pugi::xml_node next = node.next_sibling();
        if (node.type() == pugi::node_element && LocalName(node) == "Relationship" &&
            node.attribute("Type").value() == type) {
            root.remove_child(node);
        }
        node = next;
    }
}

std::string Relationships::Add(std::string_view type, std::string_view target) {
    const std::vector<Relationship> existing = All();
    std::string id;
    for (std::size_t n = existing.size() + 1;; ++n) {
        id = "rId" + std::to_string(n);
        bool taken = false;
        for (const Relationship& relationship : existing) {
            taken = taken || relationship.id == id;
        }
        if (!taken) {
            break;
        }
    }
    pugi::xml_node root = document_.document_element();
    const std::string prefix(Prefix(root));
    pugi::xml_node node =
        root.append_child((prefix.empty() ? "" : prefix + ":").append("Relationship").c_str());
    node.append_attribute("Id") = id.c_str();
    node.append_attribute("Type") = std::string(type).c_str();
    node.append_attribute("Target") = std::string(target).c_str();
    return id;
}

std::string Relationships::Xml() const {
    return SavePart(document_);
}

ContentTypes::ContentTypes(const std::string& xml) {
    LoadPart(document_, xml, "[Content_Types].xml");
    if (LocalName(document_.document_element()) != "Types") {
        throw VbaError("the converted package's [Content_Types].xml lists no content types");
    }
}

pugi::xml_node ContentTypes::FindOverride(std::string_view part) const {
    const std::string name = PartName(part);
    for (pugi::xml_node node : document_.document_element().children()) {
        // Part names compare without regard to ASCII letter case.
        if (node.type() == pugi::node_element && LocalName(node) == "Override" &&
            EqualsIgnoringCase(node.attribute("PartName").value(), name)) {
            return node;
        }
    }
    return {};
}

std::string ContentTypes::OverrideOf(std::string_view part) const {
    return FindOverride(part).attribute("ContentType").value();
}

void ContentTypes::SetOverride(std::string_view part, std::string_view contentType) {
    pugi::xml_node node = FindOverride(part);
    if (!node) {
        pugi::xml_node root = document_.document_element();
        const std::string prefix(Prefix(root));
        node = root.append_child((prefix.empty() ? "" : prefix + ":").append("Override").c_str());
        node.append_attribute("PartName") = PartName(part).c_str();
    }
    pugi::xml_attribute type = node.attribute("ContentType");
    if (!type) {
        type = node.append_attribute("ContentType");
    }
    type = std::string(contentType).c_str();
}

void ContentTypes::RemoveOverride(std::string_view part) {
    while (pugi::xml_node node = FindOverride(part)) {
        document_.document_element().remove_child(node);
    }
}

std::string ContentTypes::Xml() const {
    return SavePart(document_);
}

}  // namespace tabrook::calcserver::vba
