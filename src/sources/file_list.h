#pragma once
// The file list (ListView2): the workbooks the selected source entry stands for.

#include <string>

namespace tabrook::app {
class Form1;
}

namespace tabrook::sources {

// Empties ListView2 and lists the workbooks of `entryPath` (a file, or the "*.xls*"
// files directly in a folder), every row ticked.
void FillFileList(app::Form1& form, const std::string& entryPath);

// The full path of the workbook at 1-based `row`, formed afresh from the selected source
// entry; empty when it cannot be found.
std::string ResolveSourcePath(app::Form1& form, int row);

}  // namespace tabrook::sources
