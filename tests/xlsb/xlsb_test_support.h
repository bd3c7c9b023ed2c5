#pragma once
// Helpers for the binary workbook tests: building small Office Open XML packages,
// walking records, reading workbooks back through LibreOffice and SheetJS.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tabrook::testing::xlsb {

// A minimal .xlsx: sheets given as (name, sheetData inner XML, extra worksheet XML after
// sheetData); `workbook_extra` goes inside <workbook> after <sheets>. An "xl/styles.xml"
// among the extra parts becomes the workbook's style sheet.
struct TestSheet {
    std::string name;
    std::string rows;
    std::string afterData;
    std::string state;  // "", "hidden" or "veryHidden"
};
void WriteXlsx(const std::filesystem::path& file, const std::vector<TestSheet>& sheets,
               const std::string& workbookExtra = "",
               const std::map<std::string, std::string>& extraParts = {});

struct Record {
    std::uint32_t type = 0;
    std::string body;
};
// Splits a record stream; fails the current test on a malformed header.
std::vector<Record> ReadRecords(const std::string& bytes);
std::string Hex(const std::string& bytes);

// Cells of an .xlsx as the file says them (shared strings resolved).
struct XlsxCell {
    std::string type;
    std::string value;
    std::string formula;
    unsigned style = 0;
};
struct XlsxFormat {
    std::string numberFormat;
    bool bold = false;
    bool italic = false;
    std::string fill;  // fgColor rgb of a solid fill, else ""
};
struct XlsxSheet {
    std::string name;
    std::string state;
    std::map<std::string, XlsxCell> cells;
    std::vector<std::string> merges;
    std::map<int, double> widths;  // 1-based column -> width
    // Conditional format rules, validations and the autofilter, one line each in a form
    // that does not depend on how a writer numbers its formats or orders its ranges.
    std::vector<std::string> rules;
};
struct XlsxBook {
    std::vector<XlsxSheet> sheets;
    std::vector<XlsxFormat> formats;  // by cell format index
    const XlsxSheet* Sheet(const std::string& name) const;
};
XlsxBook ReadXlsx(const std::filesystem::path& file);

// Runs headless LibreOffice once over all inputs: "soffice --convert-to <format>".
// Returns false (and a reason) when LibreOffice is missing or produced nothing.
bool ConvertWithOffice(const std::vector<std::filesystem::path>& inputs, const std::string& format,
                       const std::filesystem::path& outDir, const std::filesystem::path& profile,
                       std::string& why);

// SheetJS's reading of a workbook: "cell" lines keyed by "sheet!A1" -> (value, formula).
struct SheetJsCell {
    std::string type;
    std::string value;
    std::string formula;
};
struct SheetJsBook {
    std::map<std::string, SheetJsCell> cells;
    std::vector<std::string> merges;              // "sheet!A1:B2"
    std::map<std::string, std::string> comments;  // "sheet!A1" -> text
    std::vector<std::string> sheets;
};
// Nothing when node or the SheetJS package is not installed.
std::optional<SheetJsBook> ReadWithSheetJs(const std::filesystem::path& file, std::string& why);

}  // namespace tabrook::testing::xlsb
