#include <limits>

#include "calcserver/biff/biff_workbook.h"
#include "calcserver/biff/format_reader.h"
#include "calcserver/biff/record_ids.h"

namespace tabrook::calcserver::biff {

namespace ids = record_id;

namespace {

// Excel's palette holds 56 colours (indices 8-63); XF indices are 12-bit in a cell's
// record's 16 bits, so a list past this is not a workbook Excel wrote.
constexpr std::size_t kPaletteSize = 56;
constexpr std::size_t kMaxListed = std::numeric_limits<std::uint16_t>::max();

void ReadFormat(FieldReader& fields, WorkbookFormats& formats) {
    const std::uint16_t id = fields.U16();
    const std::uint16_t count = fields.U16();
    const bool highByte = (fields.U8() & 0x01) != 0;
    formats.numberFormats[id] = fields.Chars(count, highByte);
}

void ReadFont(FieldReader& fields, WorkbookFormats& formats) {
    FontRecord font;
    font.heightTwips = fields.U16();
    const std::uint16_t flags = fields.U16();
    font.italic = (flags & 0x02) != 0;
    font.strike = (flags & 0x08) != 0;
    font.outline = (flags & 0x10) != 0;
    font.shadow = (flags & 0x20) != 0;
    font.colorIndex = fields.U16();
    font.weight = fields.U16();
    font.escapement = fields.U16();
    font.underline = fields.U8();
    font.family = fields.U8();
    font.charset = fields.U8();
    fields.Skip(1);
    const std::uint8_t count = fields.U8();
    const bool highByte = (fields.U8() & 0x01) != 0;
    font.name = fields.Chars(count, highByte);
    formats.fonts.push_back(std::move(font));
}

void ReadXf(FieldReader& fields, WorkbookFormats& formats) {
    XfRecord xf;
    xf.fontIndex = fields.U16();
    xf.formatId = fields.U16();
    const std::uint16_t type = fields.U16();
    xf.locked = (type & 0x0001) != 0;
    xf.hidden = (type & 0x0002) != 0;
    xf.isStyle = (type & 0x0004) != 0;
    xf.parent = static_cast<std::uint16_t>(type >> 4);
    const std::uint8_t align = fields.U8();
    xf.horizontal = align & 0x07;
    xf.wrap = (align & 0x08) != 0;
    xf.vertical = (align >> 4) & 0x07;
    xf.justifyLast = (align & 0x80) != 0;
    xf.rotation = fields.U8();
    const std::uint8_t indent = fields.U8();
    xf.indent = indent & 0x0F;
    xf.shrink = (indent & 0x10) != 0;
    xf.readingOrder = (indent >> 6) & 0x03;
    xf.usedGroups = static_cast<std::uint8_t>(fields.U8() >> 2);
    const std::uint32_t borders = fields.U32();
    const std::uint32_t more = fields.U32();
    const std::uint16_t colors = fields.U16();
    for (int side = 0; side < 4; ++side) {
        xf.lineStyle[static_cast<std::size_t>(side)] =
            static_cast<std::uint8_t>((borders >> (4 * side)) & 0x0F);
    }
    xf.lineColor[0] = static_cast<std::uint8_t>((borders >> 16) & 0x7F);
    xf.lineColor[1] = static_cast<std::uint8_t>((borders >> 23) & 0x7F);
    xf.diagonalDown = ((borders >> 30) & 0x01) != 0;
    xf.diagonalUp = ((borders >> 31) & 0x01) != 0;
    xf.lineColor[2] = static_cast<std::uint8_t>(more & 0x7F);
    xf.lineColor[3] = static_cast<std::uint8_t>((more >> 7) & 0x7F);
    xf.lineColor[4] = static_cast<std::uint8_t>((more >> 14) & 0x7F);
    xf.lineStyle[4] = static_cast<std::uint8_t>((more >> 21) & 0x0F);
    xf.pattern = static_cast<std::uint8_t>((more >> 26) & 0x3F);
    xf.patternColor = static_cast<std::uint8_t>(colors & 0x7F);
    xf.backgroundColor = static_cast<std::uint8_t>((colors >> 7) & 0x7F);
    formats.xfs.push_back(xf);
}

void ReadStyle(FieldReader& fields, WorkbookFormats& formats) {
    StyleRecord style;
    const std::uint16_t head = fields.U16();
    style.xfIndex = head & 0x0FFF;
    style.builtIn = (head & 0x8000) != 0;
    if (style.builtIn) {
        style.builtInId = fields.U8();
        style.level = fields.U8();
    } else {
        const std::uint16_t count = fields.U16();
        const bool highByte = (fields.U8() & 0x01) != 0;
        style.name = fields.Chars(count, highByte);
    }
    formats.styles.push_back(std::move(style));
}

void ReadPalette(FieldReader& fields, WorkbookFormats& formats) {
    const std::uint16_t count = fields.U16();
    std::vector<Rgb> colors;
    for (std::uint16_t i = 0; i < count && i < kPaletteSize; ++i) {
        const auto bytes = fields.Bytes(4);
        colors.push_back({bytes[0], bytes[1], bytes[2]});
    }
    formats.palette = std::move(colors);
}

void ReadColumn(FieldReader& fields, SheetFormats& formats) {
    ColumnRecord column;
    column.first = fields.U16();
    column.last = fields.U16();
    column.width256 = fields.U16();
    column.xfIndex = fields.U16();
    const std::uint16_t flags = fields.U16();
    column.hidden = (flags & 0x0001) != 0;
    column.customWidth = (flags & 0x0002) != 0;
    column.outlineLevel = static_cast<std::uint8_t>((flags >> 8) & 0x07);
    column.collapsed = (flags & 0x1000) != 0;
    if (column.first <= column.last) {
        formats.columns.push_back(column);
    }
}

void ReadRow(FieldReader& fields, SheetFormats& formats) {
    const std::uint16_t index = fields.U16();
    fields.Skip(4);  // first and last column
    RowRecord row;
    row.heightTwips = fields.U16() & 0x7FFF;
    fields.Skip(4);
    const std::uint16_t flags = fields.U16();
    row.outlineLevel = flags & 0x07;
    row.collapsed = (flags & 0x10) != 0;
    row.hidden = (flags & 0x20) != 0;
    row.customHeight = (flags & 0x40) != 0;
    const std::uint16_t xf = fields.U16() & 0x0FFF;
    if ((flags & 0x80) != 0) {
        row.xfIndex = xf;
    }
    formats.rows[index] = row;
}

void ReadMerged(FieldReader& fields, SheetFormats& formats) {
    const std::uint16_t count = fields.U16();
    for (std::uint16_t i = 0; i < count; ++i) {
        MergedRange range;
        range.firstRow = fields.U16();
        range.lastRow = fields.U16();
        range.firstColumn = fields.U16();
        range.lastColumn = fields.U16();
        formats.merged.push_back(range);
    }
}

void ReadCellXfs(const Record& record, FieldReader& fields, SheetFormats& formats) {
    const std::uint32_t row = fields.U16();
    std::uint16_t column = fields.U16();
    if (record.id == ids::kMulRk || record.id == ids::kMulBlank) {
        // Entries of an XF (and an RK value), then the last column closing the record.
        const std::size_t entry = record.id == ids::kMulRk ? 6 : 2;
        while (fields.Remaining() >= entry + 2) {
            const std::uint16_t xf = fields.U16();
            fields.Skip(entry - 2);
            formats.cellXfs[{row, column}] = xf;
            ++column;
        }
        return;
    }
    formats.cellXfs[{row, column}] = fields.U16();
}

}  // namespace

bool TakeGlobalFormatRecord(const Record& record, WorkbookFormats& formats) {
    FieldReader fields(record.data);
    try {
        switch (record.id) {
            case ids::kFormat:
                ReadFormat(fields, formats);
                return true;
            case ids::kFont:
                if (formats.fonts.size() < kMaxListed) {
                    ReadFont(fields, formats);
                }
                return true;
            case ids::kXf:
                if (formats.xfs.size() < kMaxListed) {
                    ReadXf(fields, formats);
                }
                return true;
            case ids::kStyle:
                if (formats.styles.size() < kMaxListed) {
                    ReadStyle(fields, formats);
                }
                return true;
            case ids::kPalette:
                ReadPalette(fields, formats);
                return true;
            default:
                return false;
        }
    } catch (const BiffError&) {
        ++formats.damagedRecords;
        return true;
    }
}

bool TakeSheetFormatRecord(const Record& record, SheetFormats& formats) {
    FieldReader fields(record.data);
    try {
        switch (record.id) {
            case ids::kNumber:
            case ids::kRk:
            case ids::kMulRk:
            case ids::kLabelSst:
            case ids::kLabel:
            case ids::kRString:
            case ids::kBoolErr:
            case ids::kFormula:
            case ids::kBlank:
            case ids::kMulBlank:
                ReadCellXfs(record, fields, formats);
                return false;  // the cell's value is read elsewhere
            case ids::kColInfo:
                ReadColumn(fields, formats);
                return true;
            case ids::kRow:
                ReadRow(fields, formats);
                return true;
            case ids::kMergeCells:
                ReadMerged(fields, formats);
                return true;
            case ids::kDefColWidth:
                formats.defaultColumnChars = fields.U16();
                return true;
            case ids::kStandardWidth:
                formats.standardWidth256 = fields.U16();
                return true;
            case ids::kDefaultRowHeight: {
                const std::uint16_t flags = fields.U16();
                formats.defaultRowTwips = fields.U16();
                formats.defaultRowCustom = (flags & 0x01) != 0;
                formats.defaultRowHidden = (flags & 0x02) != 0;
                return true;
            }
            default:
                return false;
        }
    } catch (const BiffError&) {
        ++formats.damagedRecords;
        return true;
    }
}

}  // namespace tabrook::calcserver::biff
