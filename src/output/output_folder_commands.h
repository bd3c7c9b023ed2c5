#pragma once
// Commands on the remembered output folders (Combo2) and the preparation before a run.

namespace tabrook::app {
class Form1;
}

namespace tabrook::output {

void BrowseOutputFolder(app::Form1& form);
void ViewOutputFolder(app::Form1& form);
void RemoveOutputFolder(app::Form1& form);
void RemoveAllOutputFolders(app::Form1& form);
// True when OutputDir is ready; false after a message was shown.
bool PrepareOutputFolder(app::Form1& form);

}  // namespace tabrook::output
