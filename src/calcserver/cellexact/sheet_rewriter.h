#pragma once
// Giving the cells of one worksheet part the stored values of the source sheet.

#include <cstddef>
#include <string>
#include <vector>

#include "calcserver/biff/biff_workbook.h"
#include "calcserver/cellexact/shared_string_table.h"

namespace tabrook::calcserver::cellexact {

struct SheetOutcome {
    std::size_t compared = 0;
    std::size_t changed = 0;
    std::size_t refined = 0;
    // Source cells past the grid of the formats written (Excel drops them too).
    std::size_t outsideGrid = 0;
    // Texts longer than a cell can hold, cut to the limit as Excel cuts them.
    std::size_t textsCut = 0;
    bool modified = false;
};

// Rewrites `worksheetXml` in place; constant texts go to `strings`, each text once.
// Formulas that LibreOffice gave to constant cells are
// removed unless `keepFormulas` (a calculation chain lists them, and Excel refuses a chain
// that names cells without formulas). Throws package::PackageError when the part is not
// a well-formed worksheet; `worksheetXml` is then unchanged.
SheetOutcome RewriteSheet(std::string& worksheetXml, const biff::Sheet& source,
                          SharedStringTable& strings, bool keepFormulas = false);

// "A1"-style reference to 0-based row and column; false when it is not one.
bool ParseCellReference(std::string_view reference, biff::CellAddress& address);
std::string CellReference(biff::CellAddress address);

}  // namespace tabrook::calcserver::cellexact
