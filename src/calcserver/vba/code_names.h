#pragma once
// Putting the legacy workbook's code names back into the package's workbook and sheet parts,
// so that the VBA project's document modules find their workbook and sheets again.

#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace tabrook::calcserver::vba {

struct SheetCodeName {
    std::string sheet;     // the sheet's name, as the package's workbook part lists it
    std::string codeName;  // empty when the source names none
    bool isWorksheet = true;
};

struct CodeNames {
    std::string workbook;  // empty when the source names none
    std::vector<SheetCodeName> sheets;
};

// A code name is a VBA identifier. Anything else (punctuation, spaces, control characters)
// comes from a damaged file and would make the package unreadable or bind the wrong module.
bool IsAcceptableCodeName(std::string_view codeName);

// Sets workbookPr@codeName, creating workbookPr in its schema position when needed.
void SetWorkbookCodeName(pugi::xml_document& workbook, const std::string& codeName);

enum class SheetPartKind { Worksheet, OtherSheet, Unknown };
SheetPartKind KindOfSheetPart(const pugi::xml_document& part);

// Sets sheetPr@codeName in a sheet part, creating sheetPr when needed.
void SetSheetCodeName(pugi::xml_document& part, const std::string& codeName);

}  // namespace tabrook::calcserver::vba
