#include "calcserver/cellexact/shared_string_table.h"

#include <pugixml.hpp>
#include <string_view>

#include "calcserver/cellexact/package_parts.h"
#include "calcserver/package/content_types.h"
#include "calcserver/package/ooxml_text.h"
#include "calcserver/package/package_xml.h"
#include "calcserver/package/part_names.h"
#include "calcserver/package/relationships.h"
#include "calcserver/package/xml_names.h"

namespace tabrook::calcserver::cellexact {

namespace {

using package::PackageError;

constexpr const char* kMainNamespace = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char* kSharedStringsType =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings";
constexpr const char* kSharedStringsContentType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml";

pugi::xml_document Parse(const std::string& xml, const std::string& part) {
    pugi::xml_document document;
    package::LoadPart(document, xml, part);
    return document;
}

void AppendItems(pugi::xml_node table, const std::vector<std::string>& texts, std::size_t from) {
    const std::string item = package::WithPrefixOf(table, "si");
    const std::string run = package::WithPrefixOf(table, "t");
    for (std::size_t i = from; i < texts.size(); ++i) {
        pugi::xml_node text = table.append_child(item.c_str()).append_child(run.c_str());
        text.append_attribute("xml:space").set_value("preserve");
        text.text().set(package::EncodeCellText(texts[i]).c_str());
    }
}

void SetAttribute(pugi::xml_node node, const char* name, std::size_t value) {
    pugi::xml_attribute attribute = node.attribute(name);
    if (!attribute) {
        attribute = node.append_attribute(name);
    }
    attribute.set_value(static_cast<unsigned long long>(value));
}

// A part name beside the workbook that no entry of the package uses yet.
std::string FreePartName(const package::ZipReader& zip, const std::string& workbookPart) {
    const auto slash = workbookPart.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : workbookPart.substr(0, slash + 1);
    std::string name = folder + "sharedStrings.xml";
    for (int n = 2; zip.Has(name); ++n) {
        name = folder + "sharedStrings" + std::to_string(n) + ".xml";
    }
    return name;
}

// Relationship targets are relative to the folder of the part that names them.
std::string TargetFrom(const std::string& workbookPart, const std::string& part) {
    const auto slash = workbookPart.rfind('/');
    return slash == std::string::npos ? part : part.substr(slash + 1);
}

}  // namespace

SharedStringTable::SharedStringTable(std::vector<std::string> existing)
    : texts_(std::move(existing)), existingCount_(texts_.size()) {
    index_.reserve(texts_.size());
    for (std::size_t i = 0; i < texts_.size(); ++i) {
        index_.emplace(texts_[i], static_cast<std::uint32_t>(i));  // the first of twins wins
    }
}

std::uint32_t SharedStringTable::IndexOf(std::string_view text) {
    if (const auto found = index_.find(text); found != index_.end()) {
        return found->second;
    }
    const auto index = static_cast<std::uint32_t>(texts_.size());
    texts_.emplace_back(text);
    index_.emplace(texts_.back(), index);
    return index;
}

std::map<std::string, std::string> SharedStringTable::UpdatedParts(
    const package::ZipReader& zip) const {
    std::map<std::string, std::string> parts;
    if (!Grew()) {
        return parts;
    }
    if (const std::string part = SharedStringsPart(zip); !part.empty()) {
        pugi::xml_document document = Parse(zip.Read(part), part);
        pugi::xml_node table = document.document_element();
        AppendItems(table, texts_, existingCount_);
        const std::size_t count = table.attribute("count").as_ullong(0);
        SetAttribute(table, "count", count + texts_.size() - existingCount_);
        SetAttribute(table, "uniqueCount", texts_.size());
        parts[part] = package::SavePart(document);
        return parts;
    }

    // The package had no shared strings at all: add the part and the two entries naming it.
    const std::string workbookPart = WorkbookPartOf(zip);
    const std::string part = FreePartName(zip, workbookPart);
    pugi::xml_document table;
    package::AppendDeclaration(table);
    pugi::xml_node root = table.append_child("sst");
    root.append_attribute("xmlns").set_value(kMainNamespace);
    SetAttribute(root, "count", texts_.size());
    SetAttribute(root, "uniqueCount", texts_.size());
    AppendItems(root, texts_, 0);
    parts[part] = package::SavePart(table);

    std::vector<package::Relationship> relationships = package::RelationshipsOf(zip, workbookPart);
    package::AddRelationship(relationships, kSharedStringsType, TargetFrom(workbookPart, part));
    parts[package::RelationshipsPartOf(workbookPart)] = package::WriteRelationships(relationships);

    package::ContentTypes types =
        package::ParseContentTypes(zip.Read(std::string(package::kContentTypesPart)));
    types.overrides[part] = kSharedStringsContentType;
    parts[std::string(package::kContentTypesPart)] = package::WriteContentTypes(types);
    return parts;
}

}  // namespace tabrook::calcserver::cellexact
