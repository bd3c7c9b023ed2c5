#include "calcserver/biff/name_records.h"

#include <array>

#include "calcserver/biff/biff_workbook.h"
#include "calcserver/biff/cell_records.h"
#include "calcserver/biff/name_reader.h"
#include "calcserver/biff/record_ids.h"

namespace tabrook::calcserver::biff {

namespace ids = record_id;

namespace {

constexpr std::uint16_t kSelfReference = 0x0401;
constexpr std::uint16_t kAddInReference = 0x3A01;
constexpr std::int16_t kWholeBook = -2;

// The single character a built-in name stores, by its code.
constexpr std::array<const char*, 14> kBuiltInNames = {
    "Consolidate_Area", "Auto_Open",       "Auto_Close",   "Extract",        "Database",
    "Criteria",         "Print_Area",      "Print_Titles", "Recorder",       "Data_Form",
    "Auto_Activate",    "Auto_Deactivate", "Sheet_Title",  "_FilterDatabase"};

std::vector<std::uint8_t> Joined(const std::vector<std::span<const std::uint8_t>>& segments) {
    std::vector<std::uint8_t> bytes;
    for (const auto segment : segments) {
        bytes.insert(bytes.end(), segment.begin(), segment.end());
    }
    return bytes;
}

DefinedName ReadName(std::span<const std::uint8_t> data) {
    FieldReader fields(data);
    const std::uint16_t flags = fields.U16();
    DefinedName name;
    name.hidden = (flags & 0x0001) != 0;
    name.function = (flags & 0x0002) != 0;
    name.vbProcedure = (flags & 0x0004) != 0;
    name.macro = (flags & 0x0008) != 0;
    name.builtIn = (flags & 0x0020) != 0;
    name.functionGroup = static_cast<std::uint8_t>((flags >> 6) & 0x3F);
    name.shortcutKey = fields.U8();
    const std::uint8_t length = fields.U8();
    const std::uint16_t tokenBytes = fields.U16();
    fields.Skip(2);
    const std::uint16_t sheet = fields.U16();
    fields.Skip(4);
    const bool highByte = (fields.U8() & 0x01) != 0;
    name.name = fields.Chars(length, highByte);
    if (name.builtIn && name.name.size() == 1) {
        const auto code = static_cast<unsigned char>(name.name[0]);
        if (code >= kBuiltInNames.size()) {
            throw BiffError("an unknown built-in name");
        }
        name.name = std::string("_xlnm.") + kBuiltInNames[code];
    }
    if (sheet != 0) {
        name.sheet = static_cast<std::size_t>(sheet - 1);
    }
    const auto tokens = fields.Bytes(tokenBytes);
    name.tokens.assign(tokens.begin(), tokens.end());
    const auto trailing = fields.Bytes(fields.Remaining());
    name.trailing.assign(trailing.begin(), trailing.end());
    return name;
}

ExternalBook ReadSupBook(ContinuedReader& reader) {
    const std::uint16_t sheets = reader.U16();
    const std::uint16_t marker = reader.U16();
    ExternalBook book;
    if (marker == kSelfReference) {
        book.kind = ExternalBook::Kind::Self;
    } else if (marker == kAddInReference) {
        book.kind = ExternalBook::Kind::AddIn;
    } else if (marker >= 1 && marker <= 0xFF) {
        book.kind = ExternalBook::Kind::External;
        reader.UnicodeStringBody(marker);  // the encoded path
        for (std::uint16_t i = 0; i < sheets; ++i) {
            book.sheetNames.push_back(reader.UnicodeStringBody(reader.U16()));
        }
    }
    return book;
}

// An EXTERNNAME's name: after the flags, four bytes (a sheet index or reserved) and then
// the name with an 8-bit count, in every form a formula can reach.
std::string ReadExternName(ContinuedReader& reader) {
    reader.Skip(6);
    const std::uint8_t length = reader.U8();
    return reader.UnicodeStringBody(length);
}

std::vector<ExternSheetEntry> ReadExternSheet(ContinuedReader& reader) {
    const std::uint16_t count = reader.U16();
    std::vector<ExternSheetEntry> entries;
    for (std::uint16_t i = 0; i < count; ++i) {
        ExternSheetEntry entry;
        entry.book = reader.U16();
        entry.firstSheet = static_cast<std::int16_t>(reader.U16());
        entry.lastSheet = static_cast<std::int16_t>(reader.U16());
        entries.push_back(entry);
    }
    return entries;
}

std::string SheetAt(const std::vector<std::string>& sheets, std::int16_t index) {
    return index >= 0 && static_cast<std::size_t>(index) < sheets.size()
               ? sheets[static_cast<std::size_t>(index)]
               : std::string();
}

// "Sheet1", "Jan:Dec", or "" for an entry that reaches no sheet.
std::string SheetSpan(const std::vector<std::string>& sheets, const ExternSheetEntry& entry) {
    const std::string first = SheetAt(sheets, entry.firstSheet);
    const std::string last = SheetAt(sheets, entry.lastSheet);
    if (first.empty() || last.empty()) {
        return {};
    }
    return first == last ? first : first + ":" + last;
}

}  // namespace

bool TakeGlobalNameRecord(const Record& record, RecordCursor& cursor, WorkbookNames& names) {
    if (record.id != ids::kName && record.id != ids::kSupBook && record.id != ids::kExternName &&
        record.id != ids::kExternSheet) {
        return false;
    }
    const auto segments = WithContinues(record, cursor);
    try {
        ContinuedReader reader(segments);
        switch (record.id) {
            case ids::kName:
                names.names.push_back(ReadName(Joined(segments)));
                break;
            case ids::kSupBook:
                names.books.push_back(ReadSupBook(reader));
                break;
            case ids::kExternName:
                if (!names.books.empty()) {
                    names.books.back().names.push_back(ReadExternName(reader));
                }
                break;
            default:
                names.externSheets = ReadExternSheet(reader);
                break;
        }
    } catch (const BiffError&) {
        ++names.damagedRecords;
        // A name left out would shift every later PtgName index; keep its place empty.
        if (record.id == ids::kName) {
            names.names.push_back(DefinedName{});
        }
    }
    return true;
}

FormulaContext FormulaContextOf(const WorkbookNames& names,
                                const std::vector<std::string>& sheetNames) {
    FormulaContext context;
    for (const DefinedName& name : names.names) {
        context.definedNames.push_back(name.name);
    }
    // External books by their number in the package, from 1.
    std::vector<std::string> bookPrefix(names.books.size());
    std::size_t externals = 0;
    for (std::size_t i = 0; i < names.books.size(); ++i) {
        const ExternalBook& book = names.books[i];
        std::vector<std::string> reachable;
        if (book.kind == ExternalBook::Kind::External) {
            bookPrefix[i] = "[" + std::to_string(++externals) + "]";
            for (const std::string& name : book.names) {
                reachable.push_back(bookPrefix[i] + "!" + name);
            }
        } else if (book.kind == ExternalBook::Kind::AddIn) {
            reachable = book.names;
        }
        context.externNames.push_back(std::move(reachable));
    }
    for (const ExternSheetEntry& entry : names.externSheets) {
        std::string sheet;
        std::size_t nameBook = entry.book;
        if (entry.book < names.books.size() && entry.firstSheet != kWholeBook) {
            const ExternalBook& book = names.books[entry.book];
            if (book.kind == ExternalBook::Kind::Self) {
                sheet = SheetSpan(sheetNames, entry);
            } else if (book.kind == ExternalBook::Kind::External) {
                const std::string span = SheetSpan(book.sheetNames, entry);
                sheet = span.empty() ? std::string() : bookPrefix[entry.book] + span;
            }
        }
        if (entry.book < names.books.size() &&
            names.books[entry.book].kind == ExternalBook::Kind::Self) {
            nameBook = FormulaContext::kOwnNames;
        }
        context.externSheetNames.push_back(std::move(sheet));
        context.externNameBooks.push_back(nameBook);
    }
    return context;
}

}  // namespace tabrook::calcserver::biff
