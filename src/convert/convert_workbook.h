#pragma once

#include "convert/workbook_conversion.h"

namespace tabrook::app {
class Form1;
}

namespace tabrook::convert {

// Converts the workbook of file-list row `row` (1-based) through a new "Excel.Application"
// instance into TargetPath plus the extension of the format chosen in Combo1.
ConvertResult ConvertWorkbook(app::Form1& form, int row);

}  // namespace tabrook::convert
