#pragma once
// The records around a sheet's cells: properties, dimension, views, column widths before
// them; protection, autofilter, merged cells, conditional formats, validations, hyperlinks,
// page settings and drawings after them.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calcserver/xlsb/cell_ref.h"
#include "calcserver/xlsb/record_writer.h"
#include "calcserver/xlsb/sax_reader.h"

namespace tabrook::calcserver::xlsb {

// Attributes kept as strings: expat's pointers die with the callback.
using AttrMap = std::map<std::string, std::string, std::less<>>;

AttrMap Keep(const Attributes& attributes, std::initializer_list<const char*> names);
const char* Get(const AttrMap& map, std::string_view key);
std::string Str(const char* text);
// rwFirst, rwLast, colFirst, colLast.
void AppendRange(Body& body, const CellRange& range);

struct SheetView {
    AttrMap attributes;
    AttrMap pane;
};

struct SheetHead {
    AttrMap sheetProperties;
    AttrMap tabColor;
    AttrMap outline;
    bool fitToPage = false;
    std::optional<CellRange> dimension;
    std::vector<SheetView> views;
    AttrMap format;
    std::vector<AttrMap> columns;
};

struct SheetTail {
    AttrMap protection;
    std::vector<CellRange> merges;
    std::vector<AttrMap> hyperlinks;
    AttrMap printOptions;
    AttrMap margins;
    AttrMap pageSetup;
    AttrMap headerFooter;
    std::map<std::string, std::string> headerFooterTexts;
    std::string drawing;
    std::string legacyDrawing;
    std::vector<AttrMap> oleObjects;  // embedded objects: progId, shapeId, relationship id
    std::vector<AttrMap> controls;    // ActiveX controls: shapeId, relationship id, name
    // Framed records of the autofilter, conditional formats and validations.
    std::string autoFilter;
    std::string conditionalFormats;
    std::string validations;
};

// From BrtBeginSheet to the column widths; returns the default row height in points.
double WriteSheetHead(RecordSink& sink, SheetHead& head);
// From the protection to the drawings, without BrtEndSheet.
void WriteSheetTail(RecordSink& sink, const SheetTail& tail);

}  // namespace tabrook::calcserver::xlsb
