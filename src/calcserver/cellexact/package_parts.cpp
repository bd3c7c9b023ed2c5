#include "calcserver/cellexact/package_parts.h"

#include <pugixml.hpp>
#include <string_view>

#include "calcserver/package/ooxml_text.h"
#include "calcserver/package/package_xml.h"
#include "calcserver/package/part_names.h"
#include "calcserver/package/relationships.h"
#include "calcserver/package/xml_names.h"

namespace tabrook::calcserver::cellexact {

namespace {

using package::HasRelationshipKind;
using package::LocalName;
using package::Relationship;

pugi::xml_document ParsePart(const package::ZipReader& zip, const std::string& part) {
    pugi::xml_document document;
    package::LoadPart(document, zip.Read(part), part);
    return document;
}

// The internal relationships of one part, with their targets resolved to part names.
std::vector<Relationship> ResolvedRelationships(const package::ZipReader& zip,
                                                const std::string& part) {
    std::vector<Relationship> internal;
    for (Relationship& relationship : package::RelationshipsOf(zip, part)) {
        if (!relationship.external) {
            relationship.target = package::ResolvePartTarget(part, relationship.target);
            internal.push_back(std::move(relationship));
        }
    }
    return internal;
}

std::string ItemText(const pugi::xml_node item) {
    std::string text;
    for (const pugi::xml_node child : item.children()) {
        const std::string_view name = LocalName(child);
        if (name == "t") {
            text += child.text().get();
        } else if (name == "r") {
            text += package::ChildNamed(child, "t").text().get();
        }
    }
    return package::DecodeCellText(text);
}

}  // namespace

std::string WorkbookPartOf(const package::ZipReader& zip) {
    for (const Relationship& relationship : ResolvedRelationships(zip, "")) {
        if (HasRelationshipKind(relationship, "officeDocument")) {
            return relationship.target;
        }
    }
    return "xl/workbook.xml";
}

std::vector<PackageSheet> WorksheetParts(const package::ZipReader& zip) {
    const std::string workbookPart = WorkbookPartOf(zip);
    std::map<std::string, Relationship> relationships;
    for (Relationship& relationship : ResolvedRelationships(zip, workbookPart)) {
        relationships.emplace(relationship.id, std::move(relationship));
    }
    const pugi::xml_document workbook = ParsePart(zip, workbookPart);
    std::vector<PackageSheet> sheets;
    const pugi::xml_node list = package::ChildNamed(workbook.document_element(), "sheets");
    for (const pugi::xml_node sheet : list.children()) {
        if (LocalName(sheet) != "sheet") {
            continue;
        }
        const auto found = relationships.find(package::AttributeNamed(sheet, "id").value());
        if (found == relationships.end() || !HasRelationshipKind(found->second, "worksheet") ||
            !zip.Has(found->second.target)) {
            continue;
        }
        sheets.push_back({sheet.attribute("name").value(), found->second.target});
    }
    return sheets;
}

bool HasCalcChain(const package::ZipReader& zip) {
    for (const Relationship& relationship : ResolvedRelationships(zip, WorkbookPartOf(zip))) {
        if (HasRelationshipKind(relationship, "calcChain")) {
            return true;
        }
    }
    return false;
}

std::string SharedStringsPart(const package::ZipReader& zip) {
    for (const Relationship& relationship : ResolvedRelationships(zip, WorkbookPartOf(zip))) {
        if (HasRelationshipKind(relationship, "sharedStrings") && zip.Has(relationship.target)) {
            return relationship.target;
        }
    }
    return {};
}

std::vector<std::string> SharedStrings(const package::ZipReader& zip) {
    const std::string part = SharedStringsPart(zip);
    if (part.empty()) {
        return {};
    }
    std::vector<std::string> strings;
    const pugi::xml_document document = ParsePart(zip, part);
    for (const pugi::xml_node item : document.document_element().children()) {
        if (LocalName(item) == "si") {
            strings.push_back(ItemText(item));
        }
    }
    return strings;
}

}  // namespace tabrook::calcserver::cellexact
