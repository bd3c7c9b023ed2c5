#include "calcserver/styles/stylesheet_builder.h"

#include <gtest/gtest.h>

#include <pugixml.hpp>

#include "calcserver/package/zip_package.h"

namespace tabrook::calcserver::styles {
namespace {

constexpr const char* kOfficeStyles =
    "<styleSheet xmlns='http://schemas.openxmlformats.org/spreadsheetml/2006/main'>"
    "<cellXfs count='1'><xf numFmtId='0'/></cellXfs>"
    "<dxfs count='1'><dxf><font><b/></font></dxf></dxfs></styleSheet>";

biff::XfRecord StyleXf() {
    biff::XfRecord xf;
    xf.isStyle = true;
    xf.parent = 0xFFF;
    return xf;
}

// Style XF 0, a second style XF, then cell XFs: one on the second style with built-in date
// format 14 and font index 5, one with a custom format, a patterned fill and borders.
biff::WorkbookFormats Formats() {
    biff::WorkbookFormats formats;
    formats.numberFormats = {{14, "m/d/yy"}, {44, "_(\"$\"* #,##0.00_)"}, {164, "# ?/?"}};
    for (int i = 0; i < 5; ++i) {
        formats.fonts.push_back({.heightTwips = static_cast<std::uint16_t>(200 + 20 * i),
                                 .name = "Font" + std::to_string(i)});
    }
    formats.fonts[0].heightTwips = 0;  // as some writers leave it
    formats.fonts[0].family = 77;
    formats.fonts[4].name = "ＭＳ Ｐゴシック";
    formats.fonts[4].colorIndex = 10;  // red in the default palette, changed below
    formats.palette = std::vector<biff::Rgb>(56, biff::Rgb{1, 2, 3});
    (*formats.palette)[2] = {0x12, 0x34, 0x56};
    formats.xfs = {StyleXf(), StyleXf()};
    biff::XfRecord date;
    date.parent = 1;
    date.formatId = 14;
    date.fontIndex = 5;
    biff::XfRecord patterned;
    patterned.formatId = 164;
    patterned.pattern = 9;  // darkGrid
    patterned.patternColor = 8;
    patterned.backgroundColor = 65;
    patterned.lineStyle = {1, 0, 6, 0, 0};
    patterned.lineColor = {64, 0, 10, 0, 0};
    patterned.horizontal = 6;
    patterned.locked = false;
    formats.xfs.push_back(date);
    formats.xfs.push_back(patterned);
    const auto style = [](std::uint16_t xf, bool builtIn, std::string name) {
        biff::StyleRecord record;
        record.xfIndex = xf;
        record.builtIn = builtIn;
        record.name = std::move(name);
        return record;
    };
    formats.styles = {style(0, true, ""), style(1, false, "Mine"),
                      style(2, false, "Points at a cell XF")};
    return formats;
}

TEST(Stylesheet, HoldsTheSourcesFormatsFontsFillsBordersAndStyles) {
    const Stylesheet sheet = BuildStylesheet(Formats(), kOfficeStyles);
    EXPECT_EQ(sheet.cellFormatOf, (std::vector<std::int32_t>{-1, -1, 0, 1}));
    pugi::xml_document document;
    ASSERT_TRUE(document.load_string(sheet.xml.c_str()));
    const pugi::xml_node root = document.child("styleSheet");

    // Locale-dependent built-ins keep their id and no code; others keep their code.
    EXPECT_FALSE(root.child("numFmts").find_child_by_attribute("numFmtId", "14"));
    EXPECT_STREQ(root.child("numFmts")
                     .find_child_by_attribute("numFmtId", "44")
                     .attribute("formatCode")
                     .value(),
                 "_(\"$\"* #,##0.00_)");
    EXPECT_STREQ(root.child("numFmts")
                     .find_child_by_attribute("numFmtId", "164")
                     .attribute("formatCode")
                     .value(),
                 "# ?/?");

    const pugi::xml_node date = root.child("cellXfs").first_child();
    EXPECT_STREQ(date.attribute("numFmtId").value(), "14");
    EXPECT_STREQ(date.attribute("xfId").value(), "1");
    // The file's font index 5 is the fifth font: no FONT record stands for index 4.
    const auto fonts = root.child("fonts").children("font");
    const pugi::xml_node font = *std::next(fonts.begin(), date.attribute("fontId").as_int());
    EXPECT_STREQ(font.child("name").attribute("val").value(), "ＭＳ Ｐゴシック");
    EXPECT_STREQ(font.child("color").attribute("rgb").value(), "FF123456");

    // A size of 0 and a family past the formats' 14 would make the part invalid.
    EXPECT_STREQ(fonts.begin()->child("sz").attribute("val").value(), "1");
    EXPECT_FALSE(fonts.begin()->child("family"));

    const pugi::xml_node patterned = date.next_sibling();
    const auto fills = root.child("fills").children("fill");
    const pugi::xml_node fill =
        std::next(fills.begin(), patterned.attribute("fillId").as_int())->child("patternFill");
    EXPECT_STREQ(fill.attribute("patternType").value(), "darkGrid");
    EXPECT_STREQ(fill.child("fgColor").attribute("rgb").value(), "FF010203");
    EXPECT_STREQ(fill.child("bgColor").attribute("indexed").value(), "65");
    const auto borders = root.child("borders").children("border");
    const pugi::xml_node border =
        *std::next(borders.begin(), patterned.attribute("borderId").as_int());
    EXPECT_STREQ(border.child("left").attribute("style").value(), "thin");
    EXPECT_STREQ(border.child("left").child("color").attribute("indexed").value(), "64");
    EXPECT_STREQ(border.child("top").attribute("style").value(), "double");
    EXPECT_STREQ(border.child("top").child("color").attribute("rgb").value(), "FF123456");
    EXPECT_FALSE(border.child("right").attribute("style"));
    EXPECT_STREQ(patterned.child("alignment").attribute("horizontal").value(), "centerContinuous");
    EXPECT_STREQ(patterned.child("protection").attribute("locked").value(), "0");

    // Styles on style XFs only; the office's conditional formats stay.
    const pugi::xml_node styles = root.child("cellStyles");
    EXPECT_STREQ(styles.attribute("count").value(), "2");
    EXPECT_STREQ(styles.find_child_by_attribute("name", "Mine").attribute("xfId").value(), "1");
    EXPECT_STREQ(styles.find_child_by_attribute("name", "Normal").attribute("builtinId").value(),
                 "0");
    EXPECT_TRUE(root.child("dxfs").child("dxf").child("font").child("b"));
}

TEST(Stylesheet, RefusesASourceWithoutCellFormats) {
    biff::WorkbookFormats formats;
    formats.xfs = {StyleXf()};
    EXPECT_THROW(BuildStylesheet(formats, kOfficeStyles), package::PackageError);
    EXPECT_THROW(BuildStylesheet(Formats(), "<styleSheet"), package::PackageError);
}

}  // namespace
}  // namespace tabrook::calcserver::styles
