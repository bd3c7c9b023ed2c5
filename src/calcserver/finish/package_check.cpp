#include "calcserver/finish/package_check.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <pugixml.hpp>
#include <sstream>
#include <string_view>

#include "calcserver/package/content_types.h"
#include "calcserver/package/part_names.h"
#include "calcserver/package/relationships.h"
#include "calcserver/package/xml_names.h"
#include "calcserver/package/zip_package.h"
#include "calcserver/xlsb/sax_reader.h"
#include "calcserver/xlsb/xlsb_error.h"

namespace tabrook::calcserver::finish {

namespace {

namespace fs = std::filesystem;
using package::ContentTypes;
using package::kContentTypesPart;
using package::LocalName;
using package::PackageError;
using package::ZipReader;

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string_view Extension(std::string_view part) {
    const auto dot = part.rfind('.');
    const auto slash = part.rfind('/');
    return dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)
               ? std::string_view()
               : part.substr(dot + 1);
}

bool IsDirectory(std::string_view entry) {
    return !entry.empty() && entry.back() == '/';
}

// Parts Excel reads as XML. Legacy drawing (VML) parts are left out: Excel writes and
// reads them as loose markup that is not always well-formed.
bool IsXmlPart(std::string_view part) {
    const std::string extension = Lower(Extension(part));
    return extension == "xml" || extension == "rels";
}

class IgnoreContent : public xlsb::SaxHandler {
  public:
    void Start(std::string_view, const xlsb::Attributes&) override {}
    void End(std::string_view) override {}
    void Text(std::string_view) override {}
};

bool ParsesAsXml(const std::string& text) {
    try {
        IgnoreContent ignore;
        xlsb::ReadXml(text, "", ignore);
        return true;
    } catch (const xlsb::XlsbError&) {
        return false;
    }
}

// "&" followed by a name or a character number and ";" begins a reference; any other is
// a literal ampersand that the writer forgot to escape.
bool BeginsReference(std::string_view text, std::size_t at) {
    std::size_t i = at + 1;
    if (i < text.size() && text[i] == '#') {
        ++i;
        const bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
        i += hex ? 1 : 0;
        const std::size_t digits = i;
        while (i < text.size() && (hex ? std::isxdigit(static_cast<unsigned char>(text[i]))
                                       : std::isdigit(static_cast<unsigned char>(text[i])))) {
            ++i;
        }
        return i > digits && i < text.size() && text[i] == ';';
    }
    const std::size_t name = i;
    while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) ||
                               text[i] == '_' || text[i] == '-' || text[i] == '.')) {
        ++i;
    }
    return i > name && i < text.size() && text[i] == ';';
}

std::string EscapeStrayAmpersands(std::string_view text) {
    std::string mended;
    mended.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        mended += text[i];
        if (text[i] == '&' && !BeginsReference(text, i)) {
            mended += "amp;";
        }
    }
    return mended;
}

constexpr std::string_view kDrawingType =
    "application/vnd.openxmlformats-officedocument.drawing+xml";

// The schema requires an object in every anchor of a drawing; the office leaves anchors
// of form controls it could not write with their position alone.
bool IsEmptyAnchor(const pugi::xml_node node) {
    const std::string_view name = LocalName(node);
    if (name != "twoCellAnchor" && name != "oneCellAnchor" && name != "absoluteAnchor") {
        return false;
    }
    for (const pugi::xml_node child : node.children()) {
        const std::string_view kind = LocalName(child);
        if (kind == "sp" || kind == "grpSp" || kind == "graphicFrame" || kind == "cxnSp" ||
            kind == "pic" || kind == "contentPart") {
            return false;
        }
    }
    return true;
}

// The drawing without its empty anchors, and how many it had; the text is empty when it had
// none or does not parse.
std::string WithoutEmptyAnchors(const std::string& xml, std::size_t& removed) {
    removed = 0;
    pugi::xml_document document;
    if (!document.load_buffer(
            xml.data(), xml.size(),
            pugi::parse_default | pugi::parse_declaration | pugi::parse_ws_pcdata)) {
        return {};
    }
    pugi::xml_node root = document.document_element();
    for (pugi::xml_node anchor = root.first_child(); anchor;) {
        const pugi::xml_node next = anchor.next_sibling();
        if (IsEmptyAnchor(anchor)) {
            root.remove_child(anchor);
            ++removed;
        }
        anchor = next;
    }
    if (removed == 0) {
        return {};
    }
    std::ostringstream out;
    document.save(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return out.str();
}

ContentTypes ReadContentTypes(const ZipReader& zip) {
    return package::ParseContentTypes(zip.Read(std::string(kContentTypesPart)));
}

void CheckRelationships(const ZipReader& zip, const std::string& part, std::string_view owner,
                        std::vector<std::string>& faults) {
    std::vector<package::Relationship> relationships;
    try {
        relationships = package::ParseRelationships(zip.Read(part));
    } catch (const PackageError&) {
        return;  // reported as XML that is not well-formed
    }
    for (const package::Relationship& relationship : relationships) {
        // A hyperlink names a place ("#Sheet2!A1", as Excel writes it too), not a part.
        if (relationship.external || package::HasRelationshipKind(relationship, "hyperlink")) {
            continue;
        }
        const std::string target = package::ResolvePartTarget(owner, relationship.target);
        if (!zip.Has(target)) {
            faults.push_back("the relationship " + relationship.id + " of " + part +
                             " names the missing part " + target);
        }
    }
}

}  // namespace

std::vector<std::string> MendPackage(const fs::path& package) {
    std::map<std::string, std::string> mended;
    {
        const ZipReader zip(package);
        const ContentTypes types =
            zip.Has(kContentTypesPart) ? ReadContentTypes(zip) : ContentTypes{};
        for (const std::string& part : zip.EntryNames()) {
            if (!IsXmlPart(part)) {
                continue;
            }
            std::string xml = zip.Read(part);
            if (xml.find('&') != std::string::npos && !ParsesAsXml(xml)) {
                std::string escaped = EscapeStrayAmpersands(xml);
                if (!ParsesAsXml(escaped)) {
                    continue;  // the check refuses the package
                }
                xml = std::move(escaped);
                mended[part] = xml;
            }
            if (types.TypeOf(part) == kDrawingType) {
                std::size_t removed = 0;
                if (std::string kept = WithoutEmptyAnchors(xml, removed); removed > 0) {
                    mended[part] = std::move(kept);
                }
            }
        }
        if (!mended.empty()) {
            package::ZipWriter writer(package);
            for (const std::string& part : zip.EntryNames()) {
                if (const auto found = mended.find(part); found != mended.end()) {
                    writer.Add(part, found->second);
                } else {
                    writer.CopyFrom(zip, part);
                }
            }
            writer.Commit();
        }
    }
    std::vector<std::string> names;
    for (const auto& [part, xml] : mended) {
        names.push_back(part);
    }
    return names;
}

std::vector<std::string> PackageFaults(const fs::path& package) {
    std::vector<std::string> faults;
    try {
        const ZipReader zip(package);
        if (!zip.Has(kContentTypesPart)) {
            return {"the package has no content types"};
        }
        const ContentTypes types = ReadContentTypes(zip);
        for (const std::string& part : zip.EntryNames()) {
            if (part == kContentTypesPart || IsDirectory(part)) {
                continue;
            }
            if (types.TypeOf(part).empty()) {
                faults.push_back("no content type covers the part " + part);
            }
            if (IsXmlPart(part)) {
                try {
                    IgnoreContent ignore;
                    xlsb::ReadPart(zip, part, ignore);
                } catch (const xlsb::XlsbError& error) {
                    faults.emplace_back(error.what());
                    continue;
                }
            }
            if (types.TypeOf(part) == kDrawingType) {
                std::size_t empty = 0;
                WithoutEmptyAnchors(zip.Read(part), empty);
                if (empty > 0) {
                    faults.push_back("the drawing " + part + " has " + std::to_string(empty) +
                                     " anchors that hold no object");
                }
            }
            if (std::string owner; package::OwnerOfRelationships(part, owner)) {
                CheckRelationships(zip, part, owner, faults);
            }
        }
    } catch (const PackageError& error) {
        faults.emplace_back(error.what());
    }
    return faults;
}

}  // namespace tabrook::calcserver::finish
