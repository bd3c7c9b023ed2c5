#include <gtest/gtest.h>

#include "biff/biff_builder.h"
#include "calcserver/biff/biff_workbook.h"

namespace tabrook::calcserver::biff {
namespace {

using namespace tabrook::testing::biff;

// A FONT record, italic; its name has an 8-bit count where UnicodeString has 16 bits.
Bytes Font(std::string_view name, std::uint16_t height, std::uint16_t weight,
           std::uint16_t color = 0x7FFF) {
    Bytes shortName = UnicodeString(name);
    shortName.erase(shortName.begin() + 1);
    return Record(0x0031, Le16(height) + Le16(0x0002) + Le16(color) + Le16(weight) + Le16(0) +
                              Bytes{1, 0, 0, 0} + shortName);
}

// An XF: font, format, type word (locked, style bit, parent), right border thin in colour
// 10, a patterned fill.
Bytes Xf(std::uint16_t font, std::uint16_t format, bool style, std::uint16_t parent,
         std::uint8_t pattern = 0) {
    const std::uint16_t type =
        static_cast<std::uint16_t>(0x0001 | (style ? 0x0004 : 0) | (parent << 4));
    const std::uint32_t borders = (1u << 4) | (10u << 23);
    const std::uint32_t more = static_cast<std::uint32_t>(pattern) << 26;
    return Record(0x00E0, Le16(font) + Le16(format) + Le16(type) + Bytes{0x21, 45, 0x02, 0xFC} +
                              Le32(borders) + Le32(more) + Le16(12 | (13 << 7)));
}

Workbook Read(const std::vector<Bytes>& globals, const std::vector<Bytes>& sheet) {
    ReadOptions options;
    options.formats = true;
    return ReadWorkbookStream(WorkbookStream(globals, {{"S", sheet}}), options);
}

TEST(BiffFormats, GlobalsGiveFormatsFontsXfsStylesAndPalette) {
    Bytes palette = Le16(56);
    for (int i = 0; i < 56; ++i) {
        palette = palette + Bytes{static_cast<std::uint8_t>(i), 0x10, 0x20, 0};
    }
    const Workbook book = Read(
        {Record(0x041E, Le16(14) + UnicodeString("m/d/yy")),
         Record(0x041E, Le16(164) + UnicodeString("# ?/?")), Font("ＭＳ Ｐゴシック", 220, 700, 10),
         Record(0x0092, palette), Xf(0, 0, true, 0xFFF), Xf(0, 164, false, 0, 9),
         // A built-in style names its XF and id; a user style its name.
         Record(0x0293, Le16(0x8000) + Bytes{0, 0xFF}),
         Record(0x0293, Le16(1) + UnicodeString("Mine"))},
        {});
    const WorkbookFormats& formats = book.formats;
    EXPECT_EQ(formats.numberFormats.at(14), "m/d/yy");
    EXPECT_EQ(formats.numberFormats.at(164), "# ?/?");
    ASSERT_EQ(formats.fonts.size(), 1u);
    EXPECT_EQ(formats.fonts[0].name, "ＭＳ Ｐゴシック");
    EXPECT_EQ(formats.fonts[0].heightTwips, 220);
    EXPECT_EQ(formats.fonts[0].weight, 700);
    EXPECT_TRUE(formats.fonts[0].italic);
    EXPECT_EQ(formats.fonts[0].colorIndex, 10);
    ASSERT_TRUE(formats.palette);
    ASSERT_EQ(formats.palette->size(), 56u);
    EXPECT_EQ((*formats.palette)[2], (Rgb{2, 0x10, 0x20}));

    ASSERT_EQ(formats.xfs.size(), 2u);
    EXPECT_TRUE(formats.xfs[0].isStyle);
    const XfRecord& cell = formats.xfs[1];
    EXPECT_FALSE(cell.isStyle);
    EXPECT_EQ(cell.parent, 0);
    EXPECT_EQ(cell.formatId, 164);
    EXPECT_EQ(cell.horizontal, 1);
    EXPECT_EQ(cell.vertical, 2);
    EXPECT_EQ(cell.rotation, 45);
    EXPECT_EQ(cell.indent, 2);
    EXPECT_EQ(cell.lineStyle[1], 1);
    EXPECT_EQ(cell.lineColor[1], 10);
    EXPECT_EQ(cell.pattern, 9);
    EXPECT_EQ(cell.patternColor, 12);
    EXPECT_EQ(cell.backgroundColor, 13);

    ASSERT_EQ(formats.styles.size(), 2u);
    EXPECT_TRUE(formats.styles[0].builtIn);
    EXPECT_EQ(formats.styles[0].builtInId, 0);
    EXPECT_EQ(formats.styles[1].name, "Mine");
    EXPECT_EQ(formats.styles[1].xfIndex, 1);
}

TEST(BiffFormats, SheetGivesEachCellsXfWidthsHeightsAndMerges) {
    const Workbook book = Read(
        {}, {Record(0x0055, Le16(10)), Record(0x0225, Le16(0x0001) + Le16(300)),
             // Columns B:C 20 characters wide, hidden, outline level 2.
             Record(0x007D, Le16(1) + Le16(2) + Le16(20 * 256) + Le16(17) + Le16(0x0201) + Le16(0)),
             // Row 4: 30 pt, custom height, formatted with XF 18.
             Record(0x0208, Le16(3) + Le32(0) + Le16(600) + Le32(0) + Le16(0x01C0) + Le16(18)),
             Number(0, 0, 1), Record(0x00BE, Le16(1) + Le16(2) + Le16(20) + Le16(21) + Le16(3)),
             Record(0x00E5, Le16(1) + Le16(5) + Le16(6) + Le16(0) + Le16(3))});
    const SheetFormats& sheet = book.sheets.at(0).formats;
    EXPECT_EQ(sheet.defaultColumnChars, 10);
    EXPECT_EQ(sheet.defaultRowTwips, 300);
    EXPECT_TRUE(sheet.defaultRowCustom);
    ASSERT_EQ(sheet.columns.size(), 1u);
    EXPECT_EQ(sheet.columns[0].width256, 20 * 256);
    EXPECT_TRUE(sheet.columns[0].hidden);
    EXPECT_EQ(sheet.columns[0].outlineLevel, 2);
    const RowRecord& row = sheet.rows.at(3);
    EXPECT_EQ(row.heightTwips, 600);
    EXPECT_TRUE(row.customHeight);
    EXPECT_EQ(row.xfIndex, 18);
    EXPECT_EQ(sheet.cellXfs.at({0, 0}), 0);
    EXPECT_EQ(sheet.cellXfs.at({1, 2}), 20);
    EXPECT_EQ(sheet.cellXfs.at({1, 3}), 21);
    ASSERT_EQ(sheet.merged.size(), 1u);
    EXPECT_EQ(sheet.merged[0].lastRow, 6);
    EXPECT_EQ(sheet.merged[0].lastColumn, 3);
    // The cell values are read beside them, as before.
    EXPECT_EQ(book.sheets[0].cells.size(), 1u);
}

// A formatting record cut short is left out and counted; the records around it and the
// cell values still read.
TEST(BiffFormats, CutRecordsAreCountedNotFatal) {
    const Workbook book =
        Read({Font("Arial", 200, 400), Record(0x0031, Bytes{0xC8, 0}), Record(0x00E0, Bytes(7, 0)),
              Record(0x041E, Le16(170) + Le16(50) + Bytes{0, 'a'}), Record(0x0092, Le16(56))},
             {Record(0x007D, Le16(0)), Record(0x0208, Le16(1)), Number(0, 0, 5)});
    EXPECT_EQ(book.formats.fonts.size(), 1u);
    EXPECT_TRUE(book.formats.xfs.empty());
    EXPECT_EQ(book.formats.damagedRecords, 4u);
    EXPECT_EQ(book.sheets[0].formats.damagedRecords, 2u);
    EXPECT_EQ(book.sheets[0].cells.size(), 1u);
}

}  // namespace
}  // namespace tabrook::calcserver::biff
