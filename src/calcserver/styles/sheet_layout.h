#pragma once
// Giving one worksheet part the source sheet's cell formats, column widths, row heights and
// default sizes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "calcserver/biff/format_records.h"

namespace tabrook::calcserver::styles {

struct SheetLayoutOutcome {
    std::size_t cellsPointed = 0;    // cells given the source's format
    std::size_t cellsUnmatched = 0;  // cells the source holds no format for (default kept)
    std::size_t blanksAdded = 0;     // formatted empty cells the office left out
    std::size_t columns = 0;
    std::size_t rows = 0;
};

// Rewrites `worksheetXml` in place. `cellFormatOf` maps the source's XF indices to the
// cell formats of the new styles part. Throws package::PackageError when the part is not a
// well-formed worksheet; `worksheetXml` is then unchanged.
SheetLayoutOutcome RestoreSheetLayout(std::string& worksheetXml, const biff::SheetFormats& source,
                                      const std::vector<std::int32_t>& cellFormatOf);

}  // namespace tabrook::calcserver::styles
