#pragma once

namespace tabrook::app {
class Form1;
}

namespace tabrook::convert {

// How one conversion ended, by the numbers the program has always used.
enum class ConvertResult {
    TransportFailure = 0,  // nothing shown; no Close or Quit sent
    Done = 1,
    ServerError = 2,  // the server's description was shown
    SourceMissing = 3,
};

// Converts the workbook of file-list row `row` (1-based) through a new "Excel.Application"
// instance into TargetPath plus the extension of the format chosen in Combo1.
ConvertResult ConvertWorkbook(app::Form1& form, int row);

}  // namespace tabrook::convert
