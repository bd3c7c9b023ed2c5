#pragma once
// Commands on the source entry list (ListView1): add, remove, reorder, show an entry's files.

namespace tabrook::app {
class Form1;
}

namespace tabrook::sources {

void AddSourceFile(app::Form1& form);
void AddSourceFolder(app::Form1& form);
void RemoveSourceEntry(app::Form1& form);
void RemoveAllSourceEntries(app::Form1& form);
void MoveSourceEntryUp(app::Form1& form);
void MoveSourceEntryDown(app::Form1& form);
void ShowSourceEntryFiles(app::Form1& form);

}  // namespace tabrook::sources
