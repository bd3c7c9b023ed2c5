#pragma once
// Finding the parts of a spreadsheet package: which part holds which sheet, and the
// shared string table.

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "calcserver/package/zip_package.h"

namespace tabrook::calcserver::cellexact {

struct PackageSheet {
    std::string name;
    std::string part;  // zip entry name, e.g. "xl/worksheets/sheet1.xml"
};

// The workbook part the package's root relationships name ("xl/workbook.xml" by default).
std::string WorkbookPartOf(const package::ZipReader& zip);

// The sheets of the workbook in order with the parts that hold worksheets; a sheet whose
// part is not a worksheet (a chart sheet) is left out. Throws package::PackageError when
// the workbook part or its relationships are missing or not well-formed.
std::vector<PackageSheet> WorksheetParts(const package::ZipReader& zip);

// The part the workbook relates with a relationship of that kind ("styles"), empty when it
// has none.
std::string WorkbookRelatedPart(const package::ZipReader& zip, std::string_view kind);

// The shared-string part the workbook relates, empty when it has none.
std::string SharedStringsPart(const package::ZipReader& zip);

// The texts of xl/sharedStrings.xml (or whatever the workbook relates), empty when none.
std::vector<std::string> SharedStrings(const package::ZipReader& zip);

// Whether the workbook relates a calculation chain, which lists every formula cell.
bool HasCalcChain(const package::ZipReader& zip);

}  // namespace tabrook::calcserver::cellexact
