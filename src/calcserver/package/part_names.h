#pragma once
// Names of parts inside a package: where a part's relationships live, and which part a
// relationship's target names.

#include <string>
#include <string_view>

namespace tabrook::calcserver::package {

// "xl/workbook.xml" -> "xl/_rels/workbook.xml.rels".
std::string RelationshipsPartOf(std::string_view part);

// The part a relationships part describes: "xl/_rels/workbook.xml.rels" ->
// "xl/workbook.xml", "_rels/.rels" -> "" (the package itself). False for any other name.
bool OwnerOfRelationships(std::string_view relsPart, std::string& owner);

// A relationship target resolved against the folder of the part that names it, as a zip
// entry name: "worksheets/sheet1.xml" from "xl/workbook.xml" -> "xl/worksheets/sheet1.xml";
// "/xl/x.bin" is taken from the package root; ".." steps never climb above it.
std::string ResolvePartTarget(std::string_view fromPart, std::string_view target);

}  // namespace tabrook::calcserver::package
