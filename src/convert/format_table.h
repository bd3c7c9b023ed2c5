#pragma once
// The output formats offered in Combo1, looked up by list index, never by text.

#include <array>
#include <cstdint>
#include <string_view>

namespace tabrook::convert {

struct OutputFormat {
    std::string_view caption;
    std::string_view extension;
    std::int32_t fileFormat;  // the server's file-format code
};

inline constexpr std::array<OutputFormat, 3> kFormatChoices{{
    {"Excel Workbook without macro's (*.xlsx)", ".xlsx", 51},
    {"Excel Workbook with or without macro's (*.xlsm)", ".xlsm", 52},
    {"Excel Binary Workbook with or without macro's (*.xlsb)", ".xlsb", 50},
}};

// Index 0 and 1 pick their row; any other value, -1 included, picks the binary workbook.
constexpr const OutputFormat& FormatForListIndex(int listIndex) {
    return (listIndex == 0 || listIndex == 1) ? kFormatChoices[static_cast<std::size_t>(listIndex)]
                                              : kFormatChoices[2];
}

}  // namespace tabrook::convert
