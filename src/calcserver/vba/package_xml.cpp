#include "calcserver/vba/package_xml.h"

#include <algorithm>
#include <sstream>

#include "calcserver/vba/vba_error.h"

namespace tabrook::calcserver::vba {

void LoadPart(pugi::xml_document& document, const std::string& xml, const std::string& partName) {
    constexpr unsigned kOptions = pugi::parse_default | pugi::parse_declaration |
                                  pugi::parse_ws_pcdata | pugi::parse_comments | pugi::parse_pi |
                                  pugi::parse_doctype;
    const pugi::xml_parse_result result =
        document.load_buffer(xml.data(), xml.size(), kOptions, pugi::encoding_auto);
    if (!result || document.document_element().empty()) {
        throw VbaError("the converted package's part " + partName +
                       " is not well-formed XML: " + result.description());
    }
}

std::string SavePart(const pugi::xml_document& document) {
    std::ostringstream out;
    document.save(out, "", pugi::format_raw, pugi::encoding_utf8);
    return out.str();
}

std::string_view LocalName(const pugi::xml_node& node) {
    const std::string_view name = node.name();
    const auto colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string_view Prefix(const pugi::xml_node& node) {
    const std::string_view name = node.name();
    const auto colon = name.find(':');
    return colon == std::string_view::npos ? std::string_view() : name.substr(0, colon);
}

pugi::xml_node ChildByLocalName(const pugi::xml_node& parent, std::string_view localName) {
    for (pugi::xml_node child : parent.children()) {
        if (child.type() == pugi::node_element && LocalName(child) == localName) {
            return child;
        }
    }
    return {};
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

}  // namespace tabrook::calcserver::vba
