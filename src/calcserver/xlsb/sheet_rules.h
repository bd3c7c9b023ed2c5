#pragma once
// The rules a sheet lays over its cells: its autofilter, conditional formats and data
// validations. They are read from the sheet's XML as it streams past and written as the
// records the binary sheet keeps around its merged cells. A rule that has no record form
// here is left out and reported, never dropped in silence.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "calcserver/xlsb/sax_reader.h"
#include "calcserver/xlsb/sheet_layout.h"

namespace tabrook::calcserver::xlsb {

class FormulaScope;
struct TranscodeReport;

// Framed records, each group for its own place in the sheet part.
struct SheetRuleRecords {
    std::string autoFilter;          // after the protection, before the merged cells
    std::string conditionalFormats;  // after the merged cells
    std::string validations;         // after the conditional formats
};

class SheetRules {
  public:
    // Takes the element when it belongs to a rule. `text` is pointed at the string that
    // the element's text belongs to, when it has one.
    bool Start(std::string_view name, const Attributes& attributes, std::string*& text);
    // True when the element closed belonged to a rule.
    bool End(std::string_view name);

    SheetRuleRecords Encode(FormulaScope& scope, int sheet, const std::string& sheetName,
                            TranscodeReport& report) const;

    // A sheet keeps this many rules, validations, filter columns and values; what lies
    // beyond is skipped whole and reported.
    static constexpr std::size_t kMaxItems = 65536;

  private:
    struct CfRule {
        AttrMap attributes;
        std::vector<std::string> formulas;
        std::string unsupported;  // why it cannot be written, when it cannot
    };
    struct ConditionalFormat {
        std::string sqref;
        std::vector<CfRule> rules;
        bool extension = false;  // from the later-version extension list
    };
    struct Validation {
        AttrMap attributes;
        std::string sqref;
        std::vector<std::string> formulas;  // formula1, formula2
    };
    struct FilterColumn {
        AttrMap attributes;
        AttrMap filters;  // the discrete value list's own attributes, when it has one
        std::vector<std::string> values;
        AttrMap custom;  // the custom filters' own attributes ("and")
        std::vector<AttrMap> customFilters;
        std::string unsupported;
    };
    struct AutoFilter {
        std::string ref;
        std::vector<FilterColumn> columns;
    };

    void StartExtension(std::string_view name, const Attributes& attributes, std::string*& text);
    // Counts one more item kept; at the bound, starts skipping the element and all it holds.
    bool Full();

    std::vector<ConditionalFormat> formats_;
    std::vector<Validation> validations_;
    std::vector<AutoFilter> filters_;
    std::size_t stored_ = 0;
    std::size_t skipped_ = 0;
    int skipDepth_ = 0;

    // Where the reader stands.
    int extensionDepth_ = 0;
    bool inFormat_ = false;
    bool inRule_ = false;
    bool inValidation_ = false;
    bool inFilter_ = false;
    bool inColumn_ = false;
    bool inCustomView_ = false;  // a saved view's own filter is no filter of the sheet
    int formulaSlot_ = -1;       // which validation formula an extension "f" element fills
    std::string scratch_;        // text of elements beyond the bounds, read and thrown away
};

}  // namespace tabrook::calcserver::xlsb
