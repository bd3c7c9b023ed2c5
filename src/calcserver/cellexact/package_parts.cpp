#include "calcserver/cellexact/package_parts.h"

#include <pugixml.hpp>
#include <string_view>

#include "calcserver/cellexact/xml_names.h"
#include "calcserver/package/ooxml_text.h"
#include "calcserver/package/part_names.h"

namespace tabrook::calcserver::cellexact {

namespace {

using package::PackageError;

constexpr std::string_view kWorksheetType = "/worksheet";
constexpr std::string_view kSharedStringsType = "/sharedStrings";
constexpr std::string_view kOfficeDocumentType = "/officeDocument";
constexpr std::string_view kCalcChainType = "/calcChain";

bool EndsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

pugi::xml_document ParsePart(const package::ZipReader& zip, const std::string& part) {
    pugi::xml_document document;
    const std::string xml = zip.Read(part);
    if (!document.load_buffer(xml.data(), xml.size(), pugi::parse_default)) {
        throw PackageError("the package part " + part + " is not well-formed XML");
    }
    return document;
}

std::string RelationshipsOf(const std::string& part) {
    const auto slash = part.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : part.substr(0, slash + 1);
    const std::string file = slash == std::string::npos ? part : part.substr(slash + 1);
    return folder + "_rels/" + file + ".rels";
}

// Relationship id -> (type, target part) of one part.
std::map<std::string, std::pair<std::string, std::string>> Relationships(
    const package::ZipReader& zip, const std::string& part) {
    std::map<std::string, std::pair<std::string, std::string>> found;
    const std::string rels = RelationshipsOf(part);
    if (!zip.Has(rels)) {
        return found;
    }
    const pugi::xml_document document = ParsePart(zip, rels);
    for (const pugi::xml_node relationship : document.document_element().children()) {
        if (LocalName(relationship) != "Relationship" ||
            std::string_view(relationship.attribute("TargetMode").value()) == "External") {
            continue;
        }
        found[relationship.attribute("Id").value()] = {
            relationship.attribute("Type").value(),
            package::ResolvePartTarget(part, relationship.attribute("Target").value())};
    }
    return found;
}

std::string ItemText(const pugi::xml_node item) {
    std::string text;
    for (const pugi::xml_node child : item.children()) {
        const std::string_view name = LocalName(child);
        if (name == "t") {
            text += child.text().get();
        } else if (name == "r") {
            text += ChildNamed(child, "t").text().get();
        }
    }
    return package::DecodeCellText(text);
}

}  // namespace

std::string WorkbookPartOf(const package::ZipReader& zip) {
    for (const auto& [id, relationship] : Relationships(zip, "")) {
        if (EndsWith(relationship.first, kOfficeDocumentType)) {
            return relationship.second;
        }
    }
    return "xl/workbook.xml";
}

std::vector<PackageSheet> WorksheetParts(const package::ZipReader& zip) {
    const std::string workbookPart = WorkbookPartOf(zip);
    const auto relationships = Relationships(zip, workbookPart);
    const pugi::xml_document workbook = ParsePart(zip, workbookPart);
    std::vector<PackageSheet> sheets;
    const pugi::xml_node list = ChildNamed(workbook.document_element(), "sheets");
    for (const pugi::xml_node sheet : list.children()) {
        if (LocalName(sheet) != "sheet") {
            continue;
        }
        const auto relationship = relationships.find(AttributeNamed(sheet, "id").value());
        if (relationship == relationships.end() ||
            !EndsWith(relationship->second.first, kWorksheetType) ||
            !zip.Has(relationship->second.second)) {
            continue;
        }
        sheets.push_back({sheet.attribute("name").value(), relationship->second.second});
    }
    return sheets;
}

bool HasCalcChain(const package::ZipReader& zip) {
    for (const auto& [id, relationship] : Relationships(zip, WorkbookPartOf(zip))) {
        if (EndsWith(relationship.first, kCalcChainType)) {
            return true;
        }
    }
    return false;
}

std::string WorkbookRelatedPart(const package::ZipReader& zip, std::string_view kind) {
    for (const auto& [id, relationship] : Relationships(zip, WorkbookPartOf(zip))) {
        if (EndsWith(relationship.first, kind) && zip.Has(relationship.second)) {
            return relationship.second;
        }
    }
    return {};
}

std::string SharedStringsPart(const package::ZipReader& zip) {
    return WorkbookRelatedPart(zip, kSharedStringsType);
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
