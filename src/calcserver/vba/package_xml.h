#pragma once
// Loading and saving one XML part of a package with pugixml, keeping whitespace, comments
// and processing instructions as they were.

#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace tabrook::calcserver::vba {

// Throws VbaError naming the part when it is not well-formed XML.
void LoadPart(pugi::xml_document& document, const std::string& xml, const std::string& partName);
std::string SavePart(const pugi::xml_document& document);

// Names without their namespace prefix: parts may use "x:sheetPr" as well as "sheetPr".
std::string_view LocalName(const pugi::xml_node& node);
std::string_view Prefix(const pugi::xml_node& node);
// A child element with the given local name, or an empty node.
pugi::xml_node ChildByLocalName(const pugi::xml_node& parent, std::string_view localName);

bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace tabrook::calcserver::vba
