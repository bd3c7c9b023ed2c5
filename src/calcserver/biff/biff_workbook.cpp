#include "calcserver/biff/biff_workbook.h"

#include <algorithm>
#include <string>

#include "calcserver/biff/cell_records.h"
#include "calcserver/biff/compound_stream.h"
#include "calcserver/biff/format_reader.h"
#include "calcserver/biff/name_reader.h"
#include "calcserver/biff/record_cursor.h"
#include "calcserver/biff/record_ids.h"

namespace tabrook::calcserver::biff {

namespace ids = record_id;

namespace {

constexpr std::uint16_t kBiff8 = 0x0600;
constexpr std::uint16_t kBiff5 = 0x0500;
constexpr std::uint16_t kSubstreamGlobals = 0x0005;

// BOUNDSHEET8 sheet types.
constexpr std::uint8_t kSheetTypeWorksheet = 0;
constexpr std::uint8_t kWsBoolDialog = 0x10;

struct SheetEntry {
    std::uint32_t position = 0;
    Sheet sheet;
};

struct Globals {
    std::string codeName;
    std::vector<SheetEntry> entries;
    std::vector<Text> sharedStrings;
    WorkbookFormats formats;
    WorkbookNames names;
};

void CheckBof(const Record& record, const char* where) {
    if (record.id == ids::kBofBiff2 || record.id == ids::kBofBiff3 || record.id == ids::kBofBiff4) {
        throw BiffError("an Excel 2.x-4.0 file; only BIFF8 (Excel 97-2003) workbooks are read");
    }
    if (record.id != ids::kBof) {
        throw BiffError(std::string(where) + " does not begin with a BOF record");
    }
    FieldReader fields(record.data);
    const std::uint16_t version = fields.U16();
    if (version == kBiff5) {
        throw BiffError("an Excel 5.0/95 (BIFF5) workbook; only BIFF8 is read");
    }
    if (version != kBiff8) {
        throw BiffError("an unknown BIFF version; only BIFF8 (Excel 97-2003) is read");
    }
}

std::string ReadCodeName(const Record& record) {
    FieldReader fields(record.data);
    const std::uint16_t count = fields.U16();
    const bool highByte = (fields.U8() & 0x01) != 0;
    return fields.Chars(count, highByte);
}

SheetEntry ReadBoundSheet(const Record& record) {
    FieldReader fields(record.data);
    SheetEntry entry;
    entry.position = fields.U32();
    const std::uint8_t state = fields.U8() & 0x03;
    const std::uint8_t type = fields.U8();
    const std::uint8_t count = fields.U8();
    const bool highByte = (fields.U8() & 0x01) != 0;
    entry.sheet.name = fields.Chars(count, highByte);
    entry.sheet.isWorksheet = type == kSheetTypeWorksheet;
    entry.sheet.visibility = state == 1   ? Sheet::Visibility::Hidden
                             : state == 2 ? Sheet::Visibility::VeryHidden
                                          : Sheet::Visibility::Visible;
    return entry;
}

// The shared string table; a table cut short keeps the strings read before the cut.
std::vector<Text> ReadSharedStrings(const Record& record, RecordCursor& cursor) {
    ContinuedReader reader(WithContinues(record, cursor));
    std::vector<Text> strings;
    try {
        reader.U32();  // total references
        const std::uint32_t unique = reader.U32();
        while (strings.size() < unique && !reader.AtEnd()) {
            const std::uint16_t count = reader.U16();
            strings.push_back(reader.UnicodeStringBody(count));
        }
    } catch (const BiffError&) {
    }
    return strings;
}

Globals ReadGlobals(RecordCursor& cursor, const ReadOptions& options) {
    Record record;
    if (!cursor.Next(record)) {
        throw BiffError("the workbook stream is empty");
    }
    CheckBof(record, "the workbook stream");
    if (FieldReader fields(record.data); fields.Skip(2), fields.U16() != kSubstreamGlobals) {
        throw BiffError("the workbook stream does not begin with its globals");
    }
    Globals globals;
    while (cursor.Next(record)) {
        switch (record.id) {
            case ids::kEof:
                return globals;
            case ids::kFilePass:
                throw BiffError("the workbook is encrypted (password protected)");
            case ids::kBoundSheet:
                globals.entries.push_back(ReadBoundSheet(record));
                break;
            case ids::kCodeName:
                globals.codeName = ReadCodeName(record);
                break;
            case ids::kSst:
                if (options.cells) {
                    globals.sharedStrings = ReadSharedStrings(record, cursor);
                }
                break;
            default:
                if (options.names && TakeGlobalNameRecord(record, cursor, globals.names)) {
                    break;
                }
                if (options.formats) {
                    TakeGlobalFormatRecord(record, globals.formats);
                }
                break;
        }
    }
    throw BiffError("the workbook globals end without an EOF record");
}

// Reads one sheet substream; returns the stream offset just past its EOF record.
std::size_t ReadSheet(std::span<const std::uint8_t> stream, SheetEntry& entry,
                      const std::vector<Text>& sharedStrings, const ReadOptions& options) {
    Sheet& sheet = entry.sheet;
    RecordCursor cursor(stream, entry.position);
    Record record;
    if (!cursor.Next(record)) {
        throw BiffError("sheet \"" + sheet.name + "\" points past the end of the workbook");
    }
    CheckBof(record, ("sheet \"" + sheet.name + "\"").c_str());
    const bool cellsWanted = options.cells && sheet.isWorksheet;
    CellRecordReader cells(sharedStrings, sheet.cells);
    // Charts embedded in a worksheet are substreams of their own inside it.
    int depth = 1;
    while (cursor.Next(record)) {
        if (record.id == ids::kBof) {
            ++depth;
            continue;
        }
        if (record.id == ids::kEof && --depth == 0) {
            return cursor.Offset();
        }
        if (depth > 1) {
            continue;
        }
        if (record.id == ids::kCodeName) {
            sheet.codeName = ReadCodeName(record);
        } else if (record.id == ids::kWsBool && !record.data.empty() &&
                   (record.data[0] & kWsBoolDialog) != 0) {
            sheet.isWorksheet = false;
            sheet.cells.clear();
            sheet.formats = SheetFormats{};
        } else if (sheet.isWorksheet) {
            if (options.formats && TakeSheetFormatRecord(record, sheet.formats)) {
                continue;
            }
            if (cellsWanted) {
                cells.Take(record, cursor);
            }
        }
    }
    throw BiffError("sheet \"" + sheet.name + "\" ends without an EOF record");
}

}  // namespace

Workbook ReadWorkbookStream(const std::vector<std::uint8_t>& stream, const ReadOptions& options) {
    const std::span<const std::uint8_t> bytes(stream);
    RecordCursor cursor(bytes);
    Globals globals = ReadGlobals(cursor, options);
    // Each sheet's substream lies apart from the globals and from every other sheet's. Read
    // in stream order, a sheet that starts inside one already read is refused: otherwise
    // many sheets naming one place would read it again and again, without bound.
    std::vector<SheetEntry*> byPosition;
    for (SheetEntry& entry : globals.entries) {
        byPosition.push_back(&entry);
    }
    std::stable_sort(
        byPosition.begin(), byPosition.end(),
        [](const SheetEntry* a, const SheetEntry* b) { return a->position < b->position; });
    std::size_t readUpTo = cursor.Offset();
    for (SheetEntry* entry : byPosition) {
        if (entry->position < readUpTo) {
            throw BiffError("sheet \"" + entry->sheet.name +
                            "\" overlaps another part of the workbook stream");
        }
        readUpTo = ReadSheet(bytes, *entry, globals.sharedStrings, options);
    }
    Workbook workbook;
    workbook.codeName = std::move(globals.codeName);
    workbook.formats = std::move(globals.formats);
    workbook.names = std::move(globals.names);
    for (SheetEntry& entry : globals.entries) {
        workbook.sheets.push_back(std::move(entry.sheet));
    }
    return workbook;
}

Workbook ReadWorkbook(const std::filesystem::path& xls, const ReadOptions& options) {
    return ReadWorkbookStream(ReadWorkbookStreamFromFile(xls), options);
}

std::string ErrorText(ErrorValue error) {
    switch (error.code) {
        case 0x00:
            return "#NULL!";
        case 0x07:
            return "#DIV/0!";
        case 0x0F:
            return "#VALUE!";
        case 0x17:
            return "#REF!";
        case 0x1D:
            return "#NAME?";
        case 0x24:
            return "#NUM!";
        case 0x2A:
            return "#N/A";
        default:
            return {};
    }
}

}  // namespace tabrook::calcserver::biff
