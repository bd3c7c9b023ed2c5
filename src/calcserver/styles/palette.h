#pragma once
// What a BIFF colour index means: eight fixed colours, 56 that the workbook's palette may
// change, and the system's window colours.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "calcserver/biff/format_records.h"

namespace tabrook::calcserver::styles {

// "FFRRGGBB" for an index of the palette; nothing for the system colours and automatic.
std::optional<std::string> PaletteArgb(std::uint16_t index,
                                       const std::optional<std::vector<biff::Rgb>>& custom);

}  // namespace tabrook::calcserver::styles
