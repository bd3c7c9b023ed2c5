#include "calcserver/styles/sheet_layout.h"

#include <gtest/gtest.h>

#include <pugixml.hpp>

#include "calcserver/package/zip_package.h"

namespace tabrook::calcserver::styles {
namespace {

// As the office writes a sheet: its own style indices, widths and merges.
constexpr const char* kOfficeSheet =
    "<worksheet xmlns='http://schemas.openxmlformats.org/spreadsheetml/2006/main'>"
    "<sheetFormatPr defaultRowHeight='12.8' defaultColWidth='11.52'/>"
    "<cols><col min='1' max='1' width='57.83' customWidth='1' style='3'/></cols>"
    "<sheetData>"
    "<row r='1' spans='1:3' s='4' customFormat='1'><c r='A1' s='7'><v>1</v></c>"
    "<c r='C1' s='2'><v>2</v></c></row>"
    "<row r='3'><c r='B3' s='5'><v>3</v></c></row>"
    "</sheetData>"
    "<mergeCells count='1'><mergeCell ref='A5:C5'/></mergeCells>"
    "<pageMargins left='0.7'/></worksheet>";

// Source XFs 15 (default), 20, 21 and 22 are cell formats 0, 1, 2, 3.
std::vector<std::int32_t> CellFormats() {
    std::vector<std::int32_t> formats(23, -1);
    formats[15] = 0;
    formats[20] = 1;
    formats[21] = 2;
    formats[22] = 3;
    return formats;
}

biff::SheetFormats Source() {
    biff::SheetFormats source;
    source.defaultColumnChars = 10;
    source.defaultRowTwips = 255;
    source.columns = {{.first = 0, .last = 1, .width256 = 11740, .xfIndex = 21},
                      // Overlapping the first, as no Excel writes: left out.
                      {.first = 1, .last = 4, .width256 = 3000, .xfIndex = 15},
                      {.first = 6, .last = 6, .width256 = 2560, .hidden = true, .outlineLevel = 1}};
    source.rows[1] = {.heightTwips = 600, .customHeight = true, .hidden = true, .xfIndex = 22};
    source.cellXfs = {{{0, 0}, 20}, {{0, 1}, 22}, {{0, 2}, 15}, {{1, 4}, 20}};
    source.merged = {{.firstRow = 6, .lastRow = 7, .firstColumn = 0, .lastColumn = 1}};
    return source;
}

TEST(SheetLayout, CellsRowsColumnsAndMergesFollowTheSource) {
    std::string xml = kOfficeSheet;
    const SheetLayoutOutcome outcome = RestoreSheetLayout(xml, Source(), CellFormats());
    pugi::xml_document document;
    ASSERT_TRUE(document.load_string(xml.c_str()));
    const pugi::xml_node sheet = document.child("worksheet");

    const pugi::xml_node format = sheet.child("sheetFormatPr");
    EXPECT_STREQ(format.attribute("baseColWidth").value(), "10");
    EXPECT_FALSE(format.attribute("defaultColWidth"));  // follows from the base width
    EXPECT_STREQ(format.attribute("defaultRowHeight").value(), "12.75");
    EXPECT_STREQ(format.attribute("outlineLevelCol").value(), "1");

    const pugi::xml_node first = sheet.child("cols").child("col");
    EXPECT_STREQ(first.attribute("width").value(), "45.859375");
    EXPECT_STREQ(first.attribute("max").value(), "2");
    EXPECT_STREQ(first.attribute("style").value(), "2");
    const pugi::xml_node hidden = first.next_sibling();
    EXPECT_STREQ(hidden.attribute("min").value(), "7");
    EXPECT_STREQ(hidden.attribute("hidden").value(), "1");
    EXPECT_FALSE(hidden.next_sibling());

    const pugi::xml_node row1 = sheet.child("sheetData").child("row");
    EXPECT_FALSE(row1.attribute("s"));  // the office's row format is not the source's
    EXPECT_FALSE(row1.attribute("spans"));
    // A1 and C1 re-pointed, the formatted blank B1 added between them.
    const pugi::xml_node a1 = row1.child("c");
    EXPECT_STREQ(a1.attribute("s").value(), "1");
    const pugi::xml_node b1 = a1.next_sibling();
    EXPECT_STREQ(b1.attribute("r").value(), "B1");
    EXPECT_STREQ(b1.attribute("s").value(), "3");
    EXPECT_FALSE(b1.next_sibling().attribute("s"));  // C1 has the default format

    // Row 2, which the office did not write, with its height, state and format, holding
    // the formatted blank E2.
    const pugi::xml_node row2 = row1.next_sibling();
    EXPECT_STREQ(row2.attribute("r").value(), "2");
    EXPECT_STREQ(row2.attribute("ht").value(), "30");
    EXPECT_STREQ(row2.attribute("hidden").value(), "1");
    EXPECT_STREQ(row2.attribute("s").value(), "3");
    EXPECT_STREQ(row2.attribute("customFormat").value(), "1");
    EXPECT_STREQ(row2.child("c").attribute("r").value(), "E2");

    // B3, a cell the source holds no record for, takes its column's format.
    const pugi::xml_node b3 = row2.next_sibling().child("c");
    EXPECT_STREQ(b3.attribute("s").value(), "2");

    const pugi::xml_node merges = sheet.child("mergeCells");
    EXPECT_STREQ(merges.attribute("count").value(), "1");
    EXPECT_STREQ(merges.child("mergeCell").attribute("ref").value(), "A7:B8");
    EXPECT_STREQ(merges.next_sibling().name(), "pageMargins");

    EXPECT_EQ(outcome.cellsPointed, 2u);
    EXPECT_EQ(outcome.cellsUnmatched, 1u);
    EXPECT_EQ(outcome.blanksAdded, 2u);
}

TEST(SheetLayout, ASourceWithoutMergesRemovesTheOfficesAndAMalformedPartIsRefused) {
    std::string xml = kOfficeSheet;
    biff::SheetFormats source;
    RestoreSheetLayout(xml, source, CellFormats());
    EXPECT_EQ(xml.find("mergeCell"), std::string::npos);
    EXPECT_EQ(xml.find("<cols"), std::string::npos);

    for (std::string broken : {"<worksheet><sheetData>", "<chartsheet/>"}) {
        const std::string before = broken;
        EXPECT_THROW(RestoreSheetLayout(broken, Source(), CellFormats()), package::PackageError);
        EXPECT_EQ(broken, before);
    }
}

}  // namespace
}  // namespace tabrook::calcserver::styles
