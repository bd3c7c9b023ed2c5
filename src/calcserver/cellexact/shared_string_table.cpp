#include "calcserver/cellexact/shared_string_table.h"

#include <pugixml.hpp>
#include <sstream>
#include <string_view>

#include "calcserver/cellexact/package_parts.h"
#include "calcserver/cellexact/xml_names.h"
#include "calcserver/package/ooxml_text.h"
#include "calcserver/package/part_names.h"

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
    if (!document.load_buffer(
            xml.data(), xml.size(),
            pugi::parse_default | pugi::parse_declaration | pugi::parse_ws_pcdata)) {
        throw PackageError("the package part " + part + " is not well-formed XML");
    }
    return document;
}

std::string Serialize(const pugi::xml_document& document) {
    std::ostringstream out;
    document.save(out, "", pugi::format_raw, pugi::encoding_utf8);
    return out.str();
}

std::string Prefix(const pugi::xml_node node) {
    const std::string_view name = node.name();
    const auto colon = name.find(':');
    return colon == std::string_view::npos ? "" : std::string(name.substr(0, colon + 1));
}

void AppendItems(pugi::xml_node table, const std::vector<std::string>& texts, std::size_t from) {
    const std::string prefix = Prefix(table);
    for (std::size_t i = from; i < texts.size(); ++i) {
        pugi::xml_node text =
            table.append_child((prefix + "si").c_str()).append_child((prefix + "t").c_str());
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

std::string NewRelationshipId(const pugi::xml_node relationships) {
    for (int n = 1;; ++n) {
        const std::string id = "rId" + std::to_string(n);
        bool taken = false;
        for (const pugi::xml_node relationship : relationships.children()) {
            taken = taken || id == relationship.attribute("Id").value();
        }
        if (!taken) {
            return id;
        }
    }
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
        parts[part] = Serialize(document);
        return parts;
    }

    // The package had no shared strings at all: add the part and the two entries naming it.
    const std::string workbookPart = WorkbookPartOf(zip);
    const std::string part = FreePartName(zip, workbookPart);
    pugi::xml_document table;
    pugi::xml_node declaration = table.append_child(pugi::node_declaration);
    declaration.append_attribute("version").set_value("1.0");
    declaration.append_attribute("encoding").set_value("UTF-8");
    declaration.append_attribute("standalone").set_value("yes");
    pugi::xml_node root = table.append_child("sst");
    root.append_attribute("xmlns").set_value(kMainNamespace);
    SetAttribute(root, "count", texts_.size());
    SetAttribute(root, "uniqueCount", texts_.size());
    AppendItems(root, texts_, 0);
    parts[part] = Serialize(table);

    const std::string relsPart = package::RelationshipsPartOf(workbookPart);
    pugi::xml_document rels = Parse(zip.Read(relsPart), relsPart);
    pugi::xml_node relationships = rels.document_element();
    pugi::xml_node relationship =
        relationships.append_child((Prefix(relationships) + "Relationship").c_str());
    relationship.append_attribute("Id").set_value(NewRelationshipId(relationships).c_str());
    relationship.append_attribute("Type").set_value(kSharedStringsType);
    relationship.append_attribute("Target").set_value(TargetFrom(workbookPart, part).c_str());
    parts[relsPart] = Serialize(rels);

    const std::string typesPart = "[Content_Types].xml";
    pugi::xml_document types = Parse(zip.Read(typesPart), typesPart);
    pugi::xml_node typeList = types.document_element();
    pugi::xml_node override = typeList.append_child((Prefix(typeList) + "Override").c_str());
    override.append_attribute("PartName").set_value(("/" + part).c_str());
    override.append_attribute("ContentType").set_value(kSharedStringsContentType);
    parts[typesPart] = Serialize(types);
    return parts;
}

}  // namespace tabrook::calcserver::cellexact
