#pragma once
// Cell-exact conversion: LibreOffice recalculates a legacy workbook when it loads it and
// writes its own results. This puts back the results the source file holds, so that the
// converted package shows every cell with the value and type the source showed.

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace tabrook::calcserver::cellexact {

struct CellExactReport {
    // True when at least one sheet was matched and its cells checked against the source.
    bool applied = false;
    std::size_t sheetsMatched = 0;
    // Source cells with a stored value that were checked in matched sheets.
    std::size_t cellsCompared = 0;
    // Of them, cells whose type or value the package had differently and now has as stored
    // (cells LibreOffice left out are added and counted here too).
    std::size_t cellsChanged = 0;
    // Numbers whose value was right but written with fewer digits than the source holds.
    std::size_t numbersRefined = 0;
    // Source cells past the grid of the formats written, left out as Excel leaves them out.
    std::size_t cellsOutsideGrid = 0;
    // Source texts longer than a cell holds, cut to the limit as Excel cuts them.
    std::size_t textsCut = 0;
    // Source worksheets with no counterpart in the package; their parts stay as written.
    std::vector<std::string> unmatchedSheets;
    // Why the source's values were not applied, wholly or for some sheets; empty otherwise.
    std::string reason;
};

// Writes `packageOut`: the package `packageIn` (an .xlsx/.xlsm that LibreOffice wrote from
// `sourceXls`) with each worksheet cell given the stored value and type of the source:
// formulas keep their formula text, constants and results take the source's value. Cells
// whose source holds no result keep LibreOffice's. When the source cannot be read or a
// sheet cannot be matched, that part of the package is copied unchanged and the report
// says why. `packageOut` may equal `packageIn`; it is replaced atomically.
// Throws package::PackageError when the package cannot be read or the output written.
CellExactReport ApplyStoredValues(const std::filesystem::path& sourceXls,
                                  const std::filesystem::path& packageIn,
                                  const std::filesystem::path& packageOut);

}  // namespace tabrook::calcserver::cellexact
