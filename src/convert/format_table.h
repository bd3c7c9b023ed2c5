#pragma once
// The output formats offered in Combo1, looked up by list index, never by text.

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/file_formats.h"

namespace tabrook::convert {

struct OutputFormat {
    std::string_view caption;
    std::string_view extension;
    std::int32_t fileFormat;  // the server's file-format code
};

constexpr OutputFormat ChoiceOf(std::string_view caption, platform::FileFormat format) {
    return {caption, platform::InfoOf(format).extension, static_cast<std::int32_t>(format)};
}

inline constexpr std::array<OutputFormat, 3> kFormatChoices{{
    ChoiceOf("Excel Workbook without macro's (*.xlsx)", platform::FileFormat::OpenXmlWorkbook),
    ChoiceOf("Excel Workbook with or without macro's (*.xlsm)",
             platform::FileFormat::OpenXmlMacroWorkbook),
    ChoiceOf("Excel Binary Workbook with or without macro's (*.xlsb)",
             platform::FileFormat::BinaryWorkbook),
}};

// Index 0 and 1 pick their row; any other value, -1 included, picks the binary workbook.
constexpr const OutputFormat& FormatForListIndex(int listIndex) {
    return (listIndex == 0 || listIndex == 1) ? kFormatChoices[static_cast<std::size_t>(listIndex)]
                                              : kFormatChoices[2];
}

}  // namespace tabrook::convert
