#pragma once
// The formatting a legacy workbook holds: number formats, fonts, cell and style XFs, cell
// styles and the palette of its globals, and per sheet each cell's XF with the column
// widths, row heights and default sizes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tabrook::calcserver::biff {

struct FontRecord {
    std::uint16_t heightTwips = 200;
    bool italic = false;
    bool strike = false;
    bool outline = false;
    bool shadow = false;
    std::uint16_t colorIndex = 0x7FFF;  // 0x7FFF: automatic
    std::uint16_t weight = 400;         // 700 and above is bold
    std::uint16_t escapement = 0;       // 1 superscript, 2 subscript
    std::uint8_t underline = 0;         // 1 single, 2 double, 0x21/0x22 accounting
    std::uint8_t family = 0;
    std::uint8_t charset = 0;
    std::string name;
};

struct XfRecord {
    std::uint16_t fontIndex = 0;  // as the file counts, which skips index 4
    std::uint16_t formatId = 0;
    bool locked = true;
    bool hidden = false;
    bool isStyle = false;
    std::uint16_t parent = 0;  // the style XF a cell XF derives from
    std::uint8_t horizontal = 0;
    bool wrap = false;
    std::uint8_t vertical = 2;
    bool justifyLast = false;
    std::uint8_t rotation = 0;
    std::uint8_t indent = 0;
    bool shrink = false;
    std::uint8_t readingOrder = 0;
    std::uint8_t usedGroups = 0;  // fAtrNum..fAtrProt as bits 0-5
    // Left, right, top, bottom, diagonal: line style and palette index.
    std::array<std::uint8_t, 5> lineStyle{};
    std::array<std::uint8_t, 5> lineColor{};
    bool diagonalDown = false;
    bool diagonalUp = false;
    std::uint8_t pattern = 0;
    std::uint8_t patternColor = 64;
    std::uint8_t backgroundColor = 65;
};

struct StyleRecord {
    std::uint16_t xfIndex = 0;
    bool builtIn = false;
    std::uint8_t builtInId = 0;
    std::uint8_t level = 0;
    std::string name;  // user-defined styles only
};

using Rgb = std::array<std::uint8_t, 3>;

struct WorkbookFormats {
    std::map<std::uint16_t, std::string> numberFormats;
    std::vector<FontRecord> fonts;
    std::vector<XfRecord> xfs;
    std::vector<StyleRecord> styles;
    // Colours 8-63 when the workbook changes the default palette.
    std::optional<std::vector<Rgb>> palette;
    // Formatting records that were cut short or out of range and were left out.
    std::size_t damagedRecords = 0;
};

struct ColumnRecord {
    std::uint16_t first = 0;
    std::uint16_t last = 0;
    std::uint16_t width256 = 0;  // 1/256 of a character
    std::uint16_t xfIndex = 15;
    bool hidden = false;
    bool customWidth = false;
    std::uint8_t outlineLevel = 0;
    bool collapsed = false;
};

struct RowRecord {
    std::uint16_t heightTwips = 255;
    bool customHeight = false;
    bool hidden = false;
    std::uint8_t outlineLevel = 0;
    bool collapsed = false;
    std::optional<std::uint16_t> xfIndex;  // when the row has a format of its own
};

struct MergedRange {
    std::uint16_t firstRow = 0;
    std::uint16_t lastRow = 0;
    std::uint16_t firstColumn = 0;
    std::uint16_t lastColumn = 0;
};

struct SheetFormats {
    std::optional<std::uint16_t> defaultColumnChars;  // DEFCOLWIDTH
    std::optional<std::uint16_t> standardWidth256;    // STANDARDWIDTH
    std::optional<std::uint16_t> defaultRowTwips;     // DEFAULTROWHEIGHT
    bool defaultRowCustom = false;
    bool defaultRowHidden = false;
    std::vector<ColumnRecord> columns;
    std::map<std::uint32_t, RowRecord> rows;
    std::vector<MergedRange> merged;
    // Each cell record's XF, blank cells included.
    std::map<std::pair<std::uint32_t, std::uint16_t>, std::uint16_t> cellXfs;
    std::size_t damagedRecords = 0;
};

}  // namespace tabrook::calcserver::biff
