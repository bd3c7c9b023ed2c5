#include "sources/source_entry_commands.h"

#include "app/form1.h"

namespace tabrook::sources {

void AddSourceFile(app::Form1& /*form*/) {}
void AddSourceFolder(app::Form1& /*form*/) {}
void RemoveSourceEntry(app::Form1& /*form*/) {}
void RemoveAllSourceEntries(app::Form1& /*form*/) {}
void MoveSourceEntryUp(app::Form1& /*form*/) {}
void MoveSourceEntryDown(app::Form1& /*form*/) {}
void ShowSourceEntryFiles(app::Form1& /*form*/) {}

}  // namespace tabrook::sources
