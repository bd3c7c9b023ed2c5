#pragma once
// The relationship and content types a package's VBA project and its main part go by.

#include <string_view>

namespace tabrook::calcserver::vba {

inline constexpr std::string_view kVbaProjectRelType =
    "http://schemas.microsoft.com/office/2006/relationships/vbaProject";
inline constexpr std::string_view kOfficeDocumentRelType =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument";
inline constexpr std::string_view kVbaProjectContentType = "application/vnd.ms-office.vbaProject";
inline constexpr std::string_view kMacroEnabledMainType =
    "application/vnd.ms-excel.sheet.macroEnabled.main+xml";
inline constexpr std::string_view kPlainMainType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";

}  // namespace tabrook::calcserver::vba
