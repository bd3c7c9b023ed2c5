#pragma once

namespace tabrook::app {
class Form1;
}

namespace tabrook::state {

// Creates the settings dialog anew and shows it modally with no owner window.
void ShowSettingDialog(app::Form1& form);

}  // namespace tabrook::state
