#pragma once
// A1 formula text (as Office Open XML stores it, without the leading "=") to the parsed
// token stream of the binary workbook format.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "calcserver/xlsb/record_writer.h"

namespace tabrook::calcserver::xlsb {

// A formula that has no token form here (external workbook, table reference, a function
// the table lacks, ...). The cell then keeps its cached value.
class UnencodableFormula : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// What the encoder needs to know about the workbook around the formula.
class FormulaScope {
  public:
    virtual ~FormulaScope() = default;
    // `book` 0 is this workbook, n the external workbook that formulas write as [n].
    virtual std::optional<int> SheetIndex(int book, std::string_view name) const = 0;
    // The extern-sheet entry for a sheet or sheet span, added when new.
    virtual std::uint16_t ExternSheet(int book, int firstSheet, int lastSheet) = 0;
    // The 1-based defined-name number; a name local to `sheet` wins over a global one.
    virtual std::optional<std::uint32_t> NameIndex(std::string_view name, int sheet) const = 0;
};

enum class FormulaKind {
    kCell,   // the result is a value
    kName,   // the result is a reference
    kArray,  // operands are arrays
};

struct EncodedFormula {
    std::string rgce;  // the tokens
    std::string rgcb;  // data that some tokens keep after the token stream
};

struct FormulaShift {
    std::int32_t rows = 0;
    std::int32_t cols = 0;
};

// `sheet` is the sheet the formula lives on (-1 for workbook-level names); `shift` moves
// relative references, for a cell that shares an anchor cell's formula.
// Throws UnencodableFormula.
EncodedFormula EncodeFormula(std::string_view text, FormulaKind kind, FormulaScope& scope,
                             int sheet, FormulaShift shift = {});

// Conditional formats and validations keep the relative parts of their 3-D references as
// offsets from the first cell they apply to (plain references keep the cell itself), as
// LibreOffice reads them. Throws UnencodableFormula.
struct RuleBase {
    std::int32_t row = 0;
    std::int32_t col = 0;
};
EncodedFormula EncodeRuleFormula(std::string_view text, FormulaKind kind, FormulaScope& scope,
                                 int sheet, RuleBase base);

// A formula that stands for the array or shared formula anchored at `anchor_row`/`col`.
EncodedFormula ExpReference(std::int32_t anchorRow, std::int32_t anchorCol);

// CellParsedFormula: token size, tokens, extra size, extra data.
void AppendParsedFormula(Body& body, const EncodedFormula& formula);

}  // namespace tabrook::calcserver::xlsb
