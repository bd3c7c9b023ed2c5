#pragma once
// Formatting as the source holds it: LibreOffice reads a legacy workbook's formatting into
// its own model and writes it back in its own terms (dates fixed to one locale, patterns
// blended to solid colours, fonts it lacks replaced, widths through its own metrics). This
// puts back the source's number formats, fonts, fills, borders, alignment, protection, cell
// styles, column widths, row heights, sheet states and defined names.

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace tabrook::calcserver::styles {

struct FormattingReport {
    // True when the styles part was rebuilt from the source and its sheets re-pointed.
    bool applied = false;
    std::size_t sheetsMatched = 0;
    std::size_t cellsPointed = 0;
    // Cells the source holds no format for; they take their row's, column's or the default.
    std::size_t cellsUnmatched = 0;
    std::size_t blanksAdded = 0;
    std::size_t damagedRecords = 0;  // formatting records of the source left out
    std::vector<std::string> unmatchedSheets;
    // The source's defined names: kept as LibreOffice wrote them, given back their own
    // spelling, or added from the source; a line for each one left out.
    std::size_t namesKept = 0;
    std::size_t namesRenamed = 0;
    std::size_t namesAdded = 0;
    std::vector<std::string> nameNotes;
    // Why the source's formatting was not applied, wholly or for some sheets; empty otherwise.
    std::string reason;
};

// Writes `packageOut`: the package `packageIn` (an .xlsx/.xlsm that LibreOffice wrote from
// `sourceXls`) with the source's formatting. When the source cannot be read, the package
// keeps the office's formatting and the report says why. Every worksheet is rewritten or
// none: a styles part from the source with a sheet still pointing into the office's would
// show wrong formats. `packageOut` may equal `packageIn`; it is replaced atomically.
// Throws package::PackageError when the package cannot be read or the output written.
FormattingReport ApplySourceFormatting(const std::filesystem::path& sourceXls,
                                       const std::filesystem::path& packageIn,
                                       const std::filesystem::path& packageOut);

}  // namespace tabrook::calcserver::styles
