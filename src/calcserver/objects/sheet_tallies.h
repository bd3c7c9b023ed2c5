#pragma once
// What a sheet holds that the office may drop without a word: conditional format rules,
// hyperlinks, comments and drawn shapes, counted in the legacy sheet and in its converted
// worksheet alike, so that what went missing can be named.

#include <cstddef>
#include <pugixml.hpp>
#include <string>
#include <vector>

namespace tabrook::calcserver::objects {

struct SheetTally {
    std::size_t conditionalFormats = 0;  // CF and CF12 records; cfRule elements
    std::size_t hyperlinks = 0;          // HLINK records; hyperlink elements
    std::size_t comments = 0;            // NOTE records; comment entries
    std::size_t shapes = 0;              // lines, rectangles, ovals, arcs, text boxes, polygons
};

// Shape kinds of an OBJ record's ot field counted as drawn shapes.
bool IsDrawnShapeType(unsigned objectType);

// Counts a converted worksheet's rules and hyperlinks (Excel 2010 rules in its extensions
// too), a comments part's entries and a drawing part's shapes (group members one by one;
// form controls, drawn as shapes too, are not). A null node adds nothing.
void TallyWorksheet(pugi::xml_node worksheet, SheetTally& tally);
void TallyComments(pugi::xml_node comments, SheetTally& tally);
void TallyDrawing(pugi::xml_node drawing, SheetTally& tally);

// One sentence for each kind the result holds fewer of than the source.
std::vector<std::string> LossNotes(const std::string& sheetName, const SheetTally& source,
                                   const SheetTally& result);

}  // namespace tabrook::calcserver::objects
