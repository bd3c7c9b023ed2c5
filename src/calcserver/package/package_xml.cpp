#include "calcserver/package/package_xml.h"

#include <sstream>

#include "calcserver/package/zip_package.h"

namespace tabrook::calcserver::package {

void LoadPart(pugi::xml_document& document, std::string_view xml, std::string_view partName) {
    constexpr unsigned kOptions = pugi::parse_default | pugi::parse_declaration |
                                  pugi::parse_ws_pcdata | pugi::parse_comments | pugi::parse_pi |
                                  pugi::parse_doctype;
    const pugi::xml_parse_result result =
        document.load_buffer(xml.data(), xml.size(), kOptions, pugi::encoding_auto);
    if (!result || document.document_element().empty()) {
        throw PackageError("the package's part " + std::string(partName) +
                           " is not well-formed XML: " + result.description());
    }
}

std::string SavePart(const pugi::xml_document& document) {
    std::ostringstream out;
    document.save(out, "", pugi::format_raw, pugi::encoding_utf8);
    return out.str();
}

void AppendDeclaration(pugi::xml_document& document) {
    pugi::xml_node declaration = document.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    declaration.append_attribute("standalone") = "yes";
}

}  // namespace tabrook::calcserver::package
