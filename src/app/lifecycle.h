#pragma once

namespace tabrook::app {

class Form1;

// When the window loads, before it is shown: list columns and icons, the restored source
// entries and output folders, and the format choice.
void StartUp(Form1& form);
// When the window unloads: saves each list whose preference in set.txt is "1".
void ShutDown(Form1& form);

}  // namespace tabrook::app
