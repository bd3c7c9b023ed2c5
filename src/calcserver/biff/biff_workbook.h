#pragma once
// What the conversion needs from a legacy .xls file itself: its sheets in order with their
// code names, and the value each cell holds as stored (a formula's cached result included).

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "calcserver/biff/format_records.h"
#include "calcserver/biff/name_records.h"

namespace tabrook::calcserver::biff {

class BiffError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct ErrorValue {
    std::uint8_t code;  // 0x00 #NULL!, 0x07 #DIV/0!, 0x0F #VALUE!, 0x17 #REF!, 0x1D #NAME?, 0x24
                        // #NUM!, 0x2A #N/A
    bool operator==(const ErrorValue&) const = default;
};

// A cell's text. Cells that show one shared string share its one copy: a workbook of a few
// hundred kilobytes may show a 65,535-character string in thousands of cells.
class Text {
  public:
    Text(std::string text)  // NOLINT(google-explicit-constructor): a text value is a string
        : text_(std::make_shared<const std::string>(std::move(text))) {}
    const std::string& str() const { return *text_; }
    friend bool operator==(const Text& a, const Text& b) { return a.str() == b.str(); }
    friend std::ostream& operator<<(std::ostream& out, const Text& text) {
        return out << text.str();
    }

  private:
    std::shared_ptr<const std::string> text_;
};

// A stored value: number, text, boolean or error.
using CellValue = std::variant<double, Text, bool, ErrorValue>;

struct Cell {
    CellValue value;
    bool isFormula = false;
    // False for a formula whose file holds no computed result.
    bool hasStoredResult = true;
};

using CellAddress = std::pair<std::uint32_t, std::uint16_t>;  // 0-based row, column

struct Sheet {
    std::string name;
    std::string codeName;     // empty when the file names none
    bool isWorksheet = true;  // false for chart, macro and dialog sheets
    std::map<CellAddress, Cell> cells;
    enum class Visibility : std::uint8_t { Visible, Hidden, VeryHidden };
    Visibility visibility = Visibility::Visible;
    SheetFormats formats;  // read only when ReadOptions::formats asks for it
};

struct Workbook {
    std::string codeName;  // the workbook's own code name, empty when none
    std::vector<Sheet> sheets;
    WorkbookFormats formats;  // read only when ReadOptions::formats asks for it
    WorkbookNames names;      // read only when ReadOptions::names asks for it
};

struct ReadOptions {
    bool cells = true;     // false reads sheet names and code names only
    bool formats = false;  // number formats, fonts, XFs, widths, heights, each cell's XF
    bool names = false;    // defined names and the external references their formulas use
};

// Throws BiffError with a plain reason when the file is not a BIFF8 workbook it can read
// (older BIFF versions, encrypted workbooks, damaged structure).
Workbook ReadWorkbook(const std::filesystem::path& xls, const ReadOptions& options = {});

// The same from the bytes of a Workbook stream already taken out of its compound file.
Workbook ReadWorkbookStream(const std::vector<std::uint8_t>& stream,
                            const ReadOptions& options = {});

// Excel's spelling of an error code ("#DIV/0!"); empty for a code Excel does not define
// (the reader never returns one).
std::string ErrorText(ErrorValue error);

}  // namespace tabrook::calcserver::biff
