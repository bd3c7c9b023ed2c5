#pragma once
// The defined names of a legacy workbook's globals (NAME records) with what their formulas
// point through: the books (SUPBOOK, EXTERNNAME) and the sheet entries (EXTERNSHEET).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "calcserver/biff/formula_text.h"

namespace tabrook::calcserver::biff {

struct DefinedName {
    // As Office Open XML spells it: a built-in name becomes "_xlnm.Print_Area" and the like.
    std::string name;
    bool builtIn = false;
    bool hidden = false;
    bool function = false;     // fFunc: an Excel 4.0 macro (XLM) function or command
    bool vbProcedure = false;  // fOB: bound to a VBA procedure
    bool macro = false;        // fProc: a macro of either kind
    std::uint8_t functionGroup = 0;
    std::uint8_t shortcutKey = 0;
    std::optional<std::size_t> sheet;  // 0-based sheet index of a local name
    std::vector<std::uint8_t> tokens;
    std::vector<std::uint8_t> trailing;  // array constants and cached areas after the tokens
};

struct ExternalBook {
    enum class Kind : std::uint8_t { Self, AddIn, External, Other };
    Kind kind = Kind::Other;
    std::vector<std::string> sheetNames;  // of an external book
    std::vector<std::string> names;       // EXTERNNAME records, in order
};

struct ExternSheetEntry {
    std::uint16_t book = 0;
    std::int16_t firstSheet = 0;  // -1 a deleted sheet, -2 the book itself
    std::int16_t lastSheet = 0;
};

struct WorkbookNames {
    std::vector<DefinedName> names;
    std::vector<ExternalBook> books;
    std::vector<ExternSheetEntry> externSheets;
    // Name records cut short or out of shape, left out.
    std::size_t damagedRecords = 0;
};

// The context a formula of this workbook is decoded in. External books are numbered from
// 1 in the order the workbook lists them, as an Office Open XML package numbers its
// external references.
FormulaContext FormulaContextOf(const WorkbookNames& names,
                                const std::vector<std::string>& sheetNames);

}  // namespace tabrook::calcserver::biff
