#pragma once
// The workbook formats SaveAs writes: the FileFormat codes callers pass and the extension
// of each. The one table both sides of the automation layer read.

#include <array>
#include <cstdint>
#include <string_view>

namespace tabrook::platform {

enum class FileFormat : std::int32_t {
    BinaryWorkbook = 50,        // .xlsb
    OpenXmlWorkbook = 51,       // .xlsx
    OpenXmlMacroWorkbook = 52,  // .xlsm
};

struct FileFormatInfo {
    FileFormat format;
    std::string_view extension;
    bool keepsMacros;
};

inline constexpr std::array<FileFormatInfo, 3> kFileFormats{{
    {FileFormat::OpenXmlWorkbook, ".xlsx", false},
    {FileFormat::OpenXmlMacroWorkbook, ".xlsm", true},
    {FileFormat::BinaryWorkbook, ".xlsb", true},
}};

// The entry for a FileFormat code, or nullptr for a code no format has.
constexpr const FileFormatInfo* FindFileFormat(std::int32_t code) {
    for (const FileFormatInfo& info : kFileFormats) {
        if (static_cast<std::int32_t>(info.format) == code) {
            return &info;
        }
    }
    return nullptr;
}

constexpr const FileFormatInfo& InfoOf(FileFormat format) {
    return *FindFileFormat(static_cast<std::int32_t>(format));
}

}  // namespace tabrook::platform
