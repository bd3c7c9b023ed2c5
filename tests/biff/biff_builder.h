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

Bytes Record(std::uint16_t id, const Bytes& body);
void Append(Bytes& to, const Bytes& more);
void Put16(Bytes& to, std::uint16_t value);
void Put32(Bytes& to, std::uint32_t value);
void PutDouble(Bytes& to, double value);

// Characters as BIFF8 stores them: compressed when every one fits a byte, else UTF-16LE.
// Returns the option byte's high-byte flag and the character bytes; `count` gets the
// number of UTF-16 code units.
Bytes EncodeChars(std::string_view utf8, bool& highByte, std::uint16_t& count);
// An XLUnicodeString: 16-bit count, option byte, characters.
Bytes UnicodeString(std::string_view utf8);

Bytes Bof(std::uint16_t substreamType, std::uint16_t version = 0x0600);
Bytes Eof();
Bytes CodeName(std::string_view name);
// The used range; LibreOffice's import wants it before the first cell of a sheet.
Bytes Dimensions(std::uint16_t rows, std::uint16_t columns);
Bytes SharedStringTable(const std::vector<std::string>& strings);

Bytes Number(std::uint16_t row, std::uint16_t column, double value);
Bytes Rk(std::uint16_t row, std::uint16_t column, std::uint32_t rk);
Bytes MulRk(std::uint16_t row, std::uint16_t firstColumn, const std::vector<std::uint32_t>& rks);
Bytes LabelSst(std::uint16_t row, std::uint16_t column, std::uint32_t index);
Bytes Label(std::uint16_t row, std::uint16_t column, std::string_view text);
Bytes BoolErr(std::uint16_t row, std::uint16_t column, std::uint8_t value, bool isError);

// A FORMULA record whose cached result is given as its eight raw bytes.
Bytes Formula(std::uint16_t row, std::uint16_t column, const Bytes& result, const Bytes& tokens);
Bytes NumberResult(double value);
Bytes SpecialResult(std::uint8_t kind, std::uint8_t value = 0);  // 0 text, 1 bool, 2 error, 3 ""
Bytes StringResult(std::string_view text);  // the STRING record after a text result

struct SheetSource {
    std::string name;
    std::vector<Bytes> records;  // between the sheet's BOF and EOF
    std::uint8_t type = 0;       // BOUNDSHEET8 type: 0 worksheet, 2 chart
    std::uint8_t state = 0;      // 0 visible, 1 hidden, 2 very hidden
    std::uint16_t bofType = 0x0010;
};

// A whole Workbook stream: BOF, the given globals records, one BOUNDSHEET8 per sheet with
// the position of its substream, EOF, then the sheet substreams.
Bytes WorkbookStream(const std::vector<Bytes>& globals, const std::vector<SheetSource>& sheets);

// Writes a compound file holding `stream` under `streamName`.
void WriteCompoundFile(const std::filesystem::path& file, const Bytes& stream,
                       const char* streamName = "Workbook");

}  // namespace tabrook::testing::biff
