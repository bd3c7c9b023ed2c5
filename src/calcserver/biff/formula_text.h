#pragma once
// A BIFF8 parsed formula (its tokens in reverse Polish order) back to the A1-style text an
// Office Open XML workbook holds for it, without the leading "=": what a defined name or a
// chart series refers to.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tabrook::calcserver::biff {

// What the tokens point into, in the form the text needs.
struct FormulaContext {
    // By XTI index (the EXTERNSHEET entry a 3-D token names): the sheet, sheet range or
    // external sheet as written before "!", unquoted ("Sheet1", "Jan:Dec", "[1]Data").
    // Empty: the entry cannot be written (a deleted sheet, or none) and the reference
    // becomes #REF!.
    std::vector<std::string> externSheetNames;
    // By 0-based NAME record index: the name as a formula writes it.
    std::vector<std::string> definedNames;
    // The names a PtgNameX can reach, by book: an add-in's functions or "[1]!Name", by
    // 0-based index.
    std::vector<std::vector<std::string>> externNames;
    // By XTI index: which list of `externNames` a PtgNameX through that entry reaches, or
    // kOwnNames for the workbook's own `definedNames`.
    std::vector<std::size_t> externNameBooks;
    static constexpr std::size_t kOwnNames = static_cast<std::size_t>(-1);
    // The cell that relative-offset tokens (PtgRefN, PtgAreaN) are relative to.
    std::uint32_t baseRow = 0;
    std::uint16_t baseColumn = 0;
};

// `error` is empty on success; otherwise it says why the text could not be made and
// `text` is empty. No partial or guessed text is ever returned.
struct FormulaText {
    std::string text;
    std::string error;
};

// `rgce` holds the tokens only; `trailing` is the data after them in the same record that
// array constants (PtgArray) and PtgMemArea keep there, in token order.
FormulaText DecodeFormula(std::span<const std::uint8_t> rgce, const FormulaContext& context,
                          std::span<const std::uint8_t> trailing = {});

// A sheet name as it stands before "!" in a formula: quoted, with quotes doubled, unless
// it is a plain identifier that cannot be read as a cell reference.
std::string QuoteSheetName(const std::string& name);

}  // namespace tabrook::calcserver::biff
