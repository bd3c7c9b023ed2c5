#pragma once
// workbook.xml read into what workbook.bin needs, the formula scope built from it, and
// the records of workbook.bin.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "calcserver/xlsb/formula_encoder.h"

namespace tabrook::calcserver::xlsb {

struct SheetEntry {
    std::string name;
    std::uint32_t sheetId = 0;
    std::uint32_t state = 0;  // 0 visible, 1 hidden, 2 very hidden
    std::string relId;
};

struct DefinedName {
    std::string name;
    int sheet = -1;  // -1: the whole workbook
    bool hidden = false;
    // Bound to a macro (function), a VBA procedure (vbProcedure) or an Excel 4.0 macro
    // (xlm); such a name may hold no formula.
    bool macro = false;
    bool vbProcedure = false;
    bool xlm = false;
    std::string formula;
};

// A workbook that formulas refer to as [n]; its sheet names come from its link part.
struct ExternalBook {
    std::string relId;
    bool linked = false;  // the link part was converted and is referenced
    std::vector<std::string> sheetNames;
};

struct WorkbookInfo {
    std::vector<SheetEntry> sheets;
    std::vector<ExternalBook> externals;
    std::vector<DefinedName> names;
    std::string codeName;
    bool date1904 = false;
    std::uint32_t activeTab = 0;
    std::uint32_t firstTab = 0;
    bool manualCalc = false;
};

// Throws XlsbError when the XML is malformed or lists no sheet.
WorkbookInfo ParseWorkbook(std::string_view xml);

class WorkbookScope : public FormulaScope {
  public:
    explicit WorkbookScope(const WorkbookInfo& workbook) : workbook_(workbook) {}

    std::optional<int> SheetIndex(int book, std::string_view name) const override;
    std::uint16_t ExternSheet(int book, int firstSheet, int lastSheet) override;
    std::optional<std::uint32_t> NameIndex(std::string_view name, int sheet) const override;

    struct Span {
        int book;
        int first;
        int last;
        bool operator==(const Span&) const = default;
    };
    const std::vector<Span>& ExternSheets() const { return externSheets_; }

  private:
    const WorkbookInfo& workbook_;
    std::vector<Span> externSheets_;
};

// `name_formulas` holds one encoded formula per defined name, in order.
std::string WorkbookRecords(const WorkbookInfo& workbook, const WorkbookScope& scope,
                            const std::vector<EncodedFormula>& nameFormulas);

}  // namespace tabrook::calcserver::xlsb
