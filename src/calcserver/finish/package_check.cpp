#include "calcserver/finish/package_check.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <pugixml.hpp>
#include <string_view>

#include "calcserver/package/part_names.h"
#include "calcserver/package/zip_package.h"
#include "calcserver/xlsb/sax_reader.h"
#include "calcserver/xlsb/xlsb_error.h"

namespace tabrook::calcserver::finish {

namespace {

namespace fs = std::filesystem;
using package::PackageError;
using package::ZipReader;

constexpr std::string_view kContentTypesPart = "[Content_Types].xml";

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

struct ContentTypes {
    std::map<std::string, std::string> defaults;   // lower-case extension
    std::map<std::string, std::string> overrides;  // lower-case part name, no leading "/"

    bool Cover(std::string_view part) const {
        return overrides.contains(Lower(part)) || defaults.contains(Lower(Extension(part)));
    }
};

ContentTypes ReadContentTypes(const ZipReader& zip) {
    const std::string xml = zip.Read(kContentTypesPart);
    pugi::xml_document document;
    if (!document.load_buffer(xml.data(), xml.size(), pugi::parse_minimal)) {
        throw PackageError("the content types are not well-formed XML");
    }
    ContentTypes types;
    for (const pugi::xml_node entry : document.document_element().children()) {
        std::string_view name = entry.name();
        name = name.substr(name.find(':') == std::string_view::npos ? 0 : name.find(':') + 1);
        if (name == "Default") {
            types.defaults[Lower(entry.attribute("Extension").value())] =
                entry.attribute("ContentType").value();
        } else if (name == "Override") {
            std::string_view part = entry.attribute("PartName").value();
            part.remove_prefix(part.starts_with('/') ? 1 : 0);
            types.overrides[Lower(part)] = entry.attribute("ContentType").value();
        }
    }
    return types;
}

void CheckRelationships(const ZipReader& zip, const std::string& part, std::string_view owner,
                        std::vector<std::string>& faults) {
    const std::string xml = zip.Read(part);
    pugi::xml_document document;
    if (!document.load_buffer(xml.data(), xml.size(), pugi::parse_minimal)) {
        return;  // reported as XML that is not well-formed
    }
    for (const pugi::xml_node relationship : document.document_element().children()) {
        // A hyperlink names a place ("#Sheet2!A1", as Excel writes it too), not a part.
        if (std::string_view(relationship.attribute("TargetMode").value()) == "External" ||
            std::string_view(relationship.attribute("Type").value()).ends_with("/hyperlink")) {
            continue;
        }
        const std::string target =
            package::ResolvePartTarget(owner, relationship.attribute("Target").value());
        if (!zip.Has(target)) {
            faults.push_back("the relationship " +
                             std::string(relationship.attribute("Id").value()) + " of " + part +
                             " names the missing part " + target);
        }
    }
}

}  // namespace

std::vector<std::string> MendStrayAmpersands(const fs::path& package) {
    std::map<std::string, std::string> mended;
    {
        const ZipReader zip(package);
        for (const std::string& part : zip.EntryNames()) {
            if (!IsXmlPart(part)) {
                continue;
            }
            std::string xml = zip.Read(part);
            if (xml.find('&') == std::string::npos || ParsesAsXml(xml)) {
                continue;
            }
            std::string escaped = EscapeStrayAmpersands(xml);
            if (ParsesAsXml(escaped)) {
                mended.emplace(part, std::move(escaped));
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
            if (!types.Cover(part)) {
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
