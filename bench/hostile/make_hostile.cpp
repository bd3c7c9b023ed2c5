// Writes the crafted workbooks of the hostile batch (bench/hostile/run.sh) into a folder:
// small .xls files that once crashed, exhausted or corrupted a conversion.
//   deep-parentheses.xls  one formula: a number inside 4,000 parentheses
//   deepest-formula.xls   the most parentheses one FORMULA record holds
//   long-string-3000.xls  one 65,535-character shared string in 3,000 cells (110 KB)
//   long-string-30000.xls the same string in 30,000 cells
//   far-column.xls        a number at column 20,000, past the grid of the new formats

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "biff/biff_builder.h"

namespace {

using namespace tabrook::testing::biff;

constexpr std::uint16_t kContinue = 0x003C;
constexpr std::size_t kMaxRecordData = 8224;

Bytes Parentheses(int depth) {
    Bytes tokens{0x1E, 1, 0};                                            // ptgInt 1
    tokens.insert(tokens.end(), static_cast<std::size_t>(depth), 0x15);  // ptgParen
    return tokens;
}

Bytes FormulaSheet(int depth) {
    return Dimensions(1, 1) + Formula(0, 0, LeDouble(1), Parentheses(depth));
}

// A shared-string table of one Latin-1 string of `length` characters, split over CONTINUE
// records as the format requires (each continuation repeats the string's option byte).
Bytes LongStringTable(std::size_t length) {
    Bytes body = Le32(1) + Le32(1) + Le16(static_cast<std::uint16_t>(length)) + Bytes{0};
    Bytes out;
    std::size_t left = length;
    std::size_t room = kMaxRecordData - body.size();
    std::uint16_t id = 0x00FC;
    for (;;) {
        const std::size_t take = std::min(left, room);
        body.insert(body.end(), take, 'x');
        left -= take;
        out = out + Record(id, body);
        if (left == 0) {
            return out;
        }
        id = kContinue;
        body = Bytes{0};  // the option byte of the continued characters
        room = kMaxRecordData - 1;
    }
}

Bytes LabelSst(std::uint16_t row, std::uint16_t column) {
    return CellRecord(0x00FD, row, column, Le32(0));
}

void LongStringBook(const std::filesystem::path& file, int cells) {
    std::vector<Bytes> records{Dimensions(static_cast<std::uint16_t>(cells / 10 + 1), 10)};
    for (int i = 0; i < cells; ++i) {
        records.push_back(
            LabelSst(static_cast<std::uint16_t>(i / 10), static_cast<std::uint16_t>(i % 10)));
    }
    WriteCompoundFile(file, WorkbookStream({LongStringTable(65535)}, {{"Long", records}}));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    WriteCompoundFile(folder / "deep-parentheses.xls",
                      WorkbookStream({}, {{"Deep", {FormulaSheet(4000)}}}));
    // FORMULA: row, column, XF, result (8), flags (2), chain (4), token size (2), tokens.
    const int deepest = static_cast<int>(kMaxRecordData) - 22 - 3;
    WriteCompoundFile(folder / "deepest-formula.xls",
                      WorkbookStream({}, {{"Deepest", {FormulaSheet(deepest)}}}));
    LongStringBook(folder / "long-string-3000.xls", 3000);
    LongStringBook(folder / "long-string-30000.xls", 30000);
    WriteCompoundFile(
        folder / "far-column.xls",
        WorkbookStream({}, {{"Far", {Dimensions(1, 1), Number(0, 0, 1), Number(0, 20000, 2)}}}));
    return 0;
}
