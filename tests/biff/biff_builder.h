#pragma once
// Lays out small BIFF8 workbooks byte by byte for the tests, and stores them in compound
// files, so that every record the reader meets is one the test chose.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tabrook::testing::biff {

using Bytes = std::vector<std::uint8_t>;

Bytes operator+(Bytes first, const Bytes& second);
Bytes Le16(std::uint16_t value);
Bytes Le32(std::uint32_t value);
Bytes LeDouble(double value);
Bytes Record(std::uint16_t id, const Bytes& body);
// An XLUnicodeString: 16-bit count, option byte, then Latin-1 when every character fits
// a byte, else UTF-16LE.
Bytes UnicodeString(std::string_view utf8);

Bytes Bof(std::uint16_t substreamType, std::uint16_t version = 0x0600);
Bytes Eof();
Bytes CodeName(std::string_view name);
// The used range; LibreOffice's import wants it before the first cell of a sheet.
Bytes Dimensions(std::uint16_t rows, std::uint16_t columns);
Bytes SharedStringTable(const std::vector<std::string>& strings);

// A cell record: row, column, XF index 0, then `payload`.
Bytes CellRecord(std::uint16_t id, std::uint16_t row, std::uint16_t column, const Bytes& payload);
Bytes Number(std::uint16_t row, std::uint16_t column, double value);
Bytes BoolErr(std::uint16_t row, std::uint16_t column, std::uint8_t value, bool isError);
// A FORMULA record whose cached result is given as its eight raw bytes.
Bytes Formula(std::uint16_t row, std::uint16_t column, const Bytes& result, const Bytes& tokens);
Bytes NonNumberResult(std::uint8_t kind, std::uint8_t value = 0);  // 0 text, 1 bool, 2 error, 3 ""
Bytes StringResult(std::string_view text);  // the STRING record after a text result

struct SheetSource {
    std::string name;
    std::vector<Bytes> records;  // between the sheet's BOF and EOF
    std::uint8_t type = 0;       // BOUNDSHEET8 type: 0 worksheet, 2 chart
    std::uint8_t state = 0;      // 0 visible, 1 hidden, 2 very hidden
};

// A whole Workbook stream: BOF, the globals records, a BOUNDSHEET8 per sheet pointing at
// its substream, EOF, then the sheet substreams.
Bytes WorkbookStream(const std::vector<Bytes>& globals, const std::vector<SheetSource>& sheets);

void WriteCompoundFile(const std::filesystem::path& file, const Bytes& stream,
                       const char* streamName = "Workbook");

}  // namespace tabrook::testing::biff
