#pragma once

namespace tabrook::app {
class Form1;
}

namespace tabrook::convert {

// Converts every ticked row of the file list into the chosen format and output folder.
void RunConversion(app::Form1& form);

}  // namespace tabrook::convert
