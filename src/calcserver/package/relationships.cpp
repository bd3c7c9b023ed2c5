#include "calcserver/package/relationships.h"

#include <pugixml.hpp>
#include <set>

#include "calcserver/package/package_xml.h"
#include "calcserver/package/part_names.h"
#include "calcserver/package/xml_names.h"
#include "calcserver/package/zip_package.h"

namespace tabrook::calcserver::package {

std::vector<Relationship> ParseRelationships(std::string_view xml) {
    pugi::xml_document document;
    LoadPart(document, xml, "of relationships");
    const pugi::xml_node root = document.document_element();
    if (LocalName(root) != "Relationships") {
        throw PackageError("a relationships part of the package lists no relationships");
    }
    std::vector<Relationship> relationships;
    for (const pugi::xml_node node : root.children()) {
        if (node.type() != pugi::node_element || LocalName(node) != "Relationship") {
            continue;
        }
        relationships.push_back(
            {node.attribute("Id").value(), node.attribute("Type").value(),
             node.attribute("Target").value(),
             std::string_view(node.attribute("TargetMode").value()) == "External"});
    }
    return relationships;
}

std::string WriteRelationships(const std::vector<Relationship>& relationships) {
    pugi::xml_document document;
    AppendDeclaration(document);
    pugi::xml_node root = document.append_child("Relationships");
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
    return SavePart(document);
}

std::vector<Relationship> RelationshipsOf(const ZipReader& zip, std::string_view part) {
    const std::string rels = RelationshipsPartOf(part);
    return zip.Has(rels) ? ParseRelationships(zip.Read(rels)) : std::vector<Relationship>();
}

bool HasRelationshipKind(const Relationship& relationship, std::string_view kind) {
    const std::string_view type = relationship.type;
    return type.size() > kind.size() && type.ends_with(kind) &&
           type[type.size() - kind.size() - 1] == '/';
}

std::string AddRelationship(std::vector<Relationship>& relationships, std::string_view type,
                            std::string_view target) {
    std::set<std::string> taken;
    for (const Relationship& relationship : relationships) {
        taken.insert(relationship.id);
    }
    std::string id;
    for (std::size_t n = relationships.size() + 1; id.empty() || taken.contains(id); ++n) {
        id = "rId" + std::to_string(n);
    }
    relationships.push_back({id, std::string(type), std::string(target), false});
    return id;
}

}  // namespace tabrook::calcserver::package
