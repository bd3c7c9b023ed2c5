#pragma once
// Loading and saving one XML part of a package with pugixml.

#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace tabrook::calcserver::package {

// Keeps whitespace, comments and processing instructions as they were, so that a part that
// is changed in one place is written back unchanged elsewhere. Throws PackageError naming
// the part when it is not well-formed XML or has no root element.
void LoadPart(pugi::xml_document& document, std::string_view xml, std::string_view partName);
std::string SavePart(const pugi::xml_document& document);

// The text of a part's XML declaration line, written before new parts.
void AppendDeclaration(pugi::xml_document& document);

}  // namespace tabrook::calcserver::package
