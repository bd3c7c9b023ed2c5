#pragma once
// A styles part built from the legacy workbook's own formatting records, so that every
// cell can point at the format the source gave it.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "calcserver/biff/format_records.h"

namespace tabrook::calcserver::styles {

struct Stylesheet {
    std::string xml;
    // For each XF index of the source, the index of its cell format in the styles part; -1
    // for style XFs, which no cell may point at.
    std::vector<std::int32_t> cellFormatOf;
};

// Builds the styles part from `formats`, keeping the differential formats (conditional
// formatting), table styles and colour list of `officeStyles`, the part the office wrote.
// Throws package::PackageError when the source holds no cell format or `officeStyles` is
// not well-formed.
Stylesheet BuildStylesheet(const biff::WorkbookFormats& formats, std::string_view officeStyles);

}  // namespace tabrook::calcserver::styles
