#pragma once

namespace tabrook::app {
class Form1;
}

namespace tabrook::convert {

inline constexpr int kConvertTransportFailure = 0;  // nothing shown; no Close or Quit sent
inline constexpr int kConvertDone = 1;
inline constexpr int kConvertServerError = 2;  // the server's description was shown
inline constexpr int kConvertSourceMissing = 3;

// Converts the workbook of file-list row `row` (1-based) through a new "Excel.Application"
// instance into TargetPath plus the extension of the format chosen in Combo1.
int ConvertWorkbook(app::Form1& form, int row);

}  // namespace tabrook::convert
